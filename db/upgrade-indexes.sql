/*
  Indexes for large libraries, for a database created before db/schema.sql had them.

    isql-fb -user sysdba -i db/upgrade-indexes.sql DATABASE_FILE

  Run it once, while no server has the database open (stop the server, or work on a copy). It
  adds indexes only: no table, column or row changes. The last part refreshes the selectivity
  the engine keeps for every index (the optimizer reads it; it is computed when an index is
  made), which in a database filled after its creation still describes the empty tables.

  The reader and author names are not indexed for the lists: the engine would walk such an index
  for the lists' "Order by" and visit every reader in name order to filter a few, slower than
  reading the table and sorting what it keeps; nor does an index speed up their "begins with" of a
  parameter. The reader save's test has an index led by the birth date, which the lists cannot
  use; the author save's test a descending one, which an ascending "Order by" never walks. The
  references of the holdings (publisher, item type, classification, language) have no index: with
  one, the engine drives the joined search from the small table and reaches every holding through
  the index, slower than its scan of the holdings.
*/

/* Login and the user save's name test. */
CREATE INDEX IX_T01_Usuario ON T01_USUARI (T01_Usuario);
/* The reader save's name and birth date test, and its CPF test. */
CREATE INDEX IX_T04_DataNasc_Leitor ON T04_LEITOR (T04_DataNasc, T04_Leitor);
CREATE INDEX IX_T04_CPF ON T04_LEITOR (T04_CPF);
/* The author save's name test. */
CREATE DESCENDING INDEX IX_T05_Autor ON T05_AUTOR1 (T05_Autor);
/* Holdings: accession number, the lent mark, the classification codes and the Cutter number as
   the search compares it. */
CREATE INDEX IX_T09_Tombo ON T09_ACERVO (T09_Tombo);
CREATE INDEX IX_T09_Emprestado ON T09_ACERVO (T09_Emprestado);
CREATE INDEX IX_T09_CDD ON T09_ACERVO (T09_CDD);
CREATE INDEX IX_T09_CDU ON T09_ACERVO (T09_CDU);
CREATE INDEX IX_T09_Cutter ON T09_ACERVO COMPUTED BY (Upper(T09_Cutter));
/* Loans of a period; items still out; fines. */
CREATE INDEX IX_T12_Data ON T12_EMPRE1 (T12_Data);
CREATE INDEX IX_T13_Devolucao ON T13_EMPRE2 (T13_Devolucao);
CREATE INDEX IX_T13_Multa ON T13_EMPRE2 (T13_Multa);
/* Reservations of a reader. */
CREATE INDEX IX_T15_NumLeitor ON T15_RESERV (T15_NumLeitor);
COMMIT;

/* Selectivity of every index of the Livrexa tables (the older ones included), from their rows now. */
SET TERM ^ ;
EXECUTE BLOCK AS
  DECLARE index_name VARCHAR(63);
BEGIN
  FOR SELECT Trim(RDB$INDEX_NAME) FROM RDB$INDICES
      WHERE RDB$RELATION_NAME STARTING WITH 'T' AND RDB$RELATION_NAME NOT STARTING WITH 'TMP$'
      INTO :index_name DO
    EXECUTE STATEMENT 'SET STATISTICS INDEX "' || index_name || '"';
END^
SET TERM ; ^
COMMIT;
