/*
  The read-only database user of the raw query ("Consulta" 999): SELECT on every table and view
  of the database, and nothing else (no USAGE on sequences, no EXECUTE, no change of any kind), so
  a statement a client writes can read the data but neither change it nor move a sequence.
  The engine checks these rights in embedded mode too. Run after db/schema.sql on a new database
  (scripts/create-db.sh does) or on an existing one (scripts/grant-readonly.sh): it only grants,
  touches no data, and may be run again (rights already given stay as they are).
*/
SET TERM ^ ;
EXECUTE BLOCK AS
  DECLARE relation VARCHAR(63);
BEGIN
  FOR SELECT TRIM(RDB$RELATION_NAME) FROM RDB$RELATIONS
      WHERE COALESCE(RDB$SYSTEM_FLAG, 0) = 0
      INTO :relation DO
    EXECUTE STATEMENT 'GRANT SELECT ON "' || REPLACE(relation, '"', '""') || '" TO USER LIVREXA_LEITURA';
END^
SET TERM ; ^
COMMIT;
