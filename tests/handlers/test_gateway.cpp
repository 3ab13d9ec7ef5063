// The command and the connection against real database files: parameters, open versus execute,
// the cursor, null reads, transactions, large objects and text in every alphabet.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>

#include "handlers/cripto_senha.h"
#include "handlers/gateway/detail/client.h"
#include "handlers/gateway/detail/statement.h"
#include "handlers/gateway/query.h"
#include "rest/wire/errors.h"
#include "support/firebird_db.h"

namespace livrexa::test {
namespace {

// ---- parameter names in the text -----------------------------------------------------------

struct ScanCase {
  const char* name;
  const char* sql;
  std::vector<std::string> names;
  std::vector<size_t> markers;
  const char* engineSql;
};

class SqlParamScanTest : public ::testing::TestWithParam<ScanCase> {};

TEST_P(SqlParamScanTest, FindsEachDistinctNameOnceInOrder) {
  const ScanCase& c = GetParam();
  const TSqlParamScan scan = ScanSqlParams(c.sql);
  EXPECT_EQ(scan.Names, c.names);
  EXPECT_EQ(scan.Markers, c.markers);
  EXPECT_EQ(scan.EngineSql, c.engineSql);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SqlParamScanTest,
    ::testing::Values(
        ScanCase{"RepeatedName",
                 "and (T99_Usuario = :p02 or T99_Rotina = :p02) ",
                 {"p02"},
                 {0, 0},
                 "and (T99_Usuario = ? or T99_Rotina = ?) "},
        ScanCase{"RepeatedAmongOthers",
                 "values (:p00, :p01, :p00)",
                 {"p00", "p01"},
                 {0, 1, 0},
                 "values (?, ?, ?)"},
        ScanCase{
            "CaseInsensitiveRepeat", "where a = :P01 and b = :p01", {"P01"}, {0, 0}, "where a = ? and b = ?"},
        ScanCase{"P0IsNotP00", "where a = :p0 and b = :p00", {"p0", "p00"}, {0, 1}, "where a = ? and b = ?"},
        ScanCase{"QuotedTextAndIdentifiers",
                 "select ':p00', \":p01\" from t where x = :p02",
                 {"p02"},
                 {0},
                 "select ':p00', \":p01\" from t where x = ?"},
        ScanCase{"CommentsAndEscapedQuotes",
                 "select 'it''s :p00' from t -- :p01\nwhere /* :p02 */ y = :p03",
                 {"p03"},
                 {0},
                 "select 'it''s :p00' from t -- :p01\nwhere /* :p02 */ y = ?"},
        ScanCase{"QStringLiteral",
                 "select q'{a :p00 b}' from t where z = :p01",
                 {"p01"},
                 {0},
                 "select q'{a :p00 b}' from t where z = ?"},
        ScanCase{"UnderscoreAndDollar",
                 "select 1 from t where a=:_x and b=:y$1",
                 {"_x", "y$1"},
                 {0, 1},
                 "select 1 from t where a=? and b=?"},
        ScanCase{"ColonWithoutName",
                 "select 10:30 from t where a = : p00",
                 {},
                 {},
                 "select 10:30 from t where a = : p00"},
        ScanCase{"EmptyText", "", {}, {}, ""}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- the command's parameter list ----------------------------------------------------------

using GatewayTest = FbDatabaseTest;

TEST_F(GatewayTest, ParameterNamedTwiceIsOneParameterAtPositionZeroBoundOnce) {
  ExecCommitted(*connection_, "insert into T99_ErrLog (T99_Usuario, T99_Rotina) values ('ana', 'Leitores')");
  ExecCommitted(*connection_, "insert into T99_ErrLog (T99_Usuario, T99_Rotina) values ('Leitores', 'x')");
  ExecCommitted(*connection_, "insert into T99_ErrLog (T99_Usuario, T99_Rotina) values ('bia', 'Acervo')");

  query_->SQL.Add("Select T99_Usuario From T99_ErrLog ");
  query_->SQL.Add("Where (T99_Usuario = :p02 or T99_Rotina = :p02) ");
  query_->SQL.Add("Order by T99_NumLog");
  ASSERT_EQ(query_->ParamCount(), 1u);
  EXPECT_EQ(query_->Params(0).Name(), "p02");
  query_->ParamByName("p02").SetAsString("Leitores");
  query_->Open();
  std::vector<std::string> users;
  for (; !query_->Eof(); query_->Next()) users.push_back(query_->AsString("T99_Usuario"));
  EXPECT_EQ(users, (std::vector<std::string>{"ana", "Leitores"}));
}

TEST_F(GatewayTest, ParameterListFollowsTheTextAndRejectsUnknownNamesAndPositions) {
  query_->SQL.Add("Select * From T01_USUARI Where T01_Usuario = :p00 ");
  query_->SQL.Add("and T01_NumUsuario <> :p01");
  ASSERT_EQ(query_->ParamCount(), 2u);
  EXPECT_EQ(&query_->ParamByName("P01"), &query_->Params(1));
  try {
    query_->Params(2);
    FAIL() << "position beyond the list";
  } catch (const LivrexaError& e) {
    EXPECT_STREQ(e.what(), "List index out of bounds (2)");
  }
  try {
    query_->ParamByName("p02");
    FAIL() << "name not in the text";
  } catch (const LivrexaError& e) {
    EXPECT_STREQ(e.what(), "Parameter 'p02' not found");
  }
  // A value bound before the text changes is not carried into the new list.
  query_->Params(0).SetAsString("admin");
  query_->SQL.Clear();
  query_->SQL.Add("Select * From T01_USUARI Where T01_Usuario = :p00");
  EXPECT_FALSE(query_->Params(0).Bound());
}

TEST_F(GatewayTest, UnboundParameterFailsBeforeTheStatementRuns) {
  connection_->StartTransaction();
  query_->SQL.Add("Insert into T05_AUTOR1 (T05_Autor, T05_Desativado) Values (:p00, :p01)");
  query_->Params(0).SetAsString("Autor");
  try {
    query_->ExecSQL();
    FAIL() << "p01 was never bound";
  } catch (const LivrexaError& e) {
    EXPECT_STREQ(e.what(), "Parameter 'p01' has no value");
  }
  connection_->Commit();
  EXPECT_EQ(ScalarInt("select count(*) from T05_AUTOR1"), 0);
}

// ---- typed values ----------------------------------------------------------------------------

TEST_F(GatewayTest, EveryValueKindRoundTripsThroughItsColumn) {
  const TDateTime day = EncodeDate(2024, 2, 29);
  const TDateTime time = EncodeTime(13, 45, 7, 250);
  const TDateTime moment = EncodeDateTime(1999, 12, 31, 23, 59, 58);
  connection_->StartTransaction();
  query_->SQL.Add("Insert into T13_EMPRE2 (T13_NumEmprest, T13_Previsao, T13_Multa, T13_Exclusao) ");
  query_->SQL.Add("Values (:p00, :p01, :p02, :p03) Returning T13_SeqEmprest");
  query_->Params(0).SetAsInteger(-2147483647 - 1);
  query_->Params(1).SetAsDate(day + 0.75);  // the time of day is dropped
  query_->Params(2).SetAsFloat(1234.5678);
  query_->Params(3).SetAsDateTime(moment);  // a date column keeps the day
  query_->Open();
  const int32_t seq = query_->AsInteger(size_t{0});
  query_->Close();
  query_->SQL.Clear();
  query_->SQL.Add("Insert into T99_ErrLog (T99_Data, T99_Hora, T99_Usuario) Values (:p00, :p01, :p02)");
  query_->Params(0).SetAsDateTime(moment);
  query_->Params(1).SetAsTime(day + time);  // the date is dropped
  query_->Params(2).SetAsString("horário");
  query_->ExecSQL();
  query_->SQL.Clear();
  query_->SQL.Add("Update T09_ACERVO set T09_Emprestado = :p00");  // no rows: still runs
  query_->Params(0).SetAsBoolean(true);
  query_->ExecSQL();
  connection_->Commit();

  query_->SQL.Clear();
  query_->SQL.Add("Select T13_NumEmprest, T13_Previsao, T13_Multa, T13_Exclusao From T13_EMPRE2 ");
  query_->SQL.Add("Where T13_SeqEmprest = :p00");
  query_->Params(0).SetAsInteger(seq);
  query_->Open();
  ASSERT_FALSE(query_->Eof());
  EXPECT_EQ(query_->AsInteger("T13_NumEmprest"), -2147483647 - 1);
  EXPECT_EQ(query_->AsDateTime("T13_Previsao"), day);
  EXPECT_EQ(query_->AsFloat("T13_Multa"), 1234.5678);
  EXPECT_EQ(query_->AsDateTime("T13_Exclusao"), EncodeDate(1999, 12, 31));
  EXPECT_EQ(query_->AsString("T13_Previsao"), "29/02/2024");

  query_->SQL.Clear();
  query_->SQL.Add("Select T99_Data, T99_Hora, T99_Usuario From T99_ErrLog");
  query_->Open();
  ASSERT_FALSE(query_->Eof());
  EXPECT_EQ(query_->AsDateTime("T99_Data"), EncodeDate(1999, 12, 31));
  EXPECT_NEAR(query_->AsDateTime("T99_Hora"), time, 1e-9);
  EXPECT_EQ(query_->AsString("T99_Hora"), "13:45:07");
  EXPECT_EQ(query_->AsString("T99_Usuario"), "horário");
}

TEST_F(GatewayTest, BooleanParametersDriveTheNotFilters) {
  connection_->StartTransaction();
  for (const bool deactivated : {false, true, false}) {
    query_->SQL.Clear();
    query_->SQL.Add("Insert into T05_AUTOR1 (T05_Autor, T05_Desativado) Values (:p00, :p01)");
    query_->Params(0).SetAsString(deactivated ? "inativo" : "ativo");
    query_->Params(1).SetAsBoolean(deactivated);
    query_->ExecSQL();
  }
  connection_->Commit();
  EXPECT_EQ(ScalarInt("select count(*) from T05_AUTOR1 where not T05_Desativado"), 2);
  EXPECT_EQ(ScalarInt("select count(*) from T05_AUTOR1 where T05_Desativado = True"), 1);
}

TEST_F(GatewayTest, TypedNullIsStoredAsNull) {
  connection_->StartTransaction();
  query_->SQL.Add("Insert into T09_ACERVO (T09_Titulo, T09_Tombo, T09_Aquisicao, T09_NaoEmprestar) ");
  query_->SQL.Add("Values (:p00, :p01, :p02, :p03) Returning T09_NumAcervo");
  query_->Params(0).SetAsString("Sem tombo");
  query_->Params(1).SetDataType(TFieldType::ftInteger);
  query_->Params(1).Clear();
  query_->Params(2).SetDataType(TFieldType::ftDate);
  query_->Params(2).Clear();
  query_->Params(3).SetAsBoolean(true);
  query_->Params(3).Clear();  // a value, then cleared: null of its type
  query_->Open();
  const int32_t key = query_->AsInteger(size_t{0});
  connection_->Commit();
  EXPECT_GT(key, 0);
  EXPECT_EQ(ScalarInt("select count(*) from T09_ACERVO where T09_Tombo is null and T09_Aquisicao is null "
                      "and T09_NaoEmprestar is null and T09_NumAcervo = " +
                      std::to_string(key)),
            1);
}

// ---- null reads ------------------------------------------------------------------------------

TEST_F(GatewayTest, NullReadsGiveTheEmptyValueOfEachKind) {
  ExecCommitted(*connection_, "insert into T09_ACERVO (T09_Titulo, T09_Emprestado) values (null, null)");
  query_->SQL.Add(
      "Select T09_Titulo, T09_Tombo, T09_Emprestado, T09_Aquisicao, T09_NumAcervo From T09_ACERVO");
  query_->Open();
  ASSERT_FALSE(query_->Eof());
  for (const char* field : {"T09_Titulo", "T09_Tombo", "T09_Emprestado", "T09_Aquisicao"}) {
    SCOPED_TRACE(field);
    EXPECT_TRUE(query_->IsNull(field));
    EXPECT_EQ(query_->AsString(field), "");
    EXPECT_EQ(query_->AsInteger(field), 0);
    EXPECT_FALSE(query_->AsBoolean(field));
    EXPECT_EQ(query_->AsFloat(field), 0.0);
    EXPECT_EQ(query_->AsDateTime(field), 0.0);
  }
  EXPECT_FALSE(query_->IsNull("t09_numacervo"));  // names ignore letter case
  EXPECT_EQ(query_->BlobSize(size_t{0}), 0u);
}

// ---- open, execute and the cursor ------------------------------------------------------------

TEST_F(GatewayTest, SelectWithNoRowStandsAtEofAtOnce) {
  query_->SQL.Add("Select T05_NumAutor, T05_Autor From T05_AUTOR1 Where T05_Exclusao is Null");
  query_->Open();
  EXPECT_TRUE(query_->Active());
  EXPECT_TRUE(query_->Eof());
  EXPECT_EQ(query_->RecordCount(), 0u);
  ASSERT_EQ(query_->FieldCount(), 2u);  // the fields are described all the same
  EXPECT_EQ(query_->FieldDef(1).Name, "T05_AUTOR");
}

TEST_F(GatewayTest, NextWalksEveryRowAndSetsEofAfterTheLast) {
  for (int i = 1; i <= 3; ++i)
    ExecCommitted(*connection_,
                  "insert into T14_IDIOMA (T14_Idioma) values ('idioma " + std::to_string(i) + "')");
  query_->SQL.Add("Select T14_NumIdioma From T14_IDIOMA Order by T14_NumIdioma");
  query_->Open();
  std::vector<int> keys;
  for (; !query_->Eof(); query_->Next()) keys.push_back(query_->AsInteger(size_t{0}));
  EXPECT_EQ(keys, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(query_->AsInteger(size_t{0}), 3);  // Eof leaves the cursor on the last row
  query_->First();
  EXPECT_FALSE(query_->Eof());
  EXPECT_EQ(query_->AsInteger(size_t{0}), 1);
}

TEST_F(GatewayTest, OpeningADeleteFailsAndDeletesNothing) {
  ExecCommitted(*connection_, "insert into T02_ACESSO (T02_Acao, T02_NumUsuario) values ('Emprestar', 1)");
  connection_->StartTransaction();
  query_->SQL.Add("Delete From T02_ACESSO Where T02_NumUsuario = :p00");
  query_->Params(0).SetAsInteger(1);
  try {
    query_->Open();
    FAIL() << "a delete returns no result set";
  } catch (const LivrexaError& e) {
    EXPECT_STREQ(e.what(), kNoResultSetMessage);
  }
  EXPECT_FALSE(query_->Active());
  connection_->Commit();
  EXPECT_EQ(ScalarInt("select count(*) from T02_ACESSO"), 1);
}

TEST_F(GatewayTest, InsertReturningInATransactionIsUndoneByRollback) {
  auto insertUser = [&](const std::string& name) {
    query_->Close();
    query_->SQL.Clear();
    query_->SQL.Add("Insert into T01_USUARI (T01_Desativado, T01_Usuario, T01_Senha) ");
    query_->SQL.Add("Values (:p00, :p01, :p02) ");
    query_->SQL.Add("Returning T01_NumUsuario");
    query_->Params(0).SetAsBoolean(false);
    query_->Params(1).SetAsString(name);
    query_->Params(2).SetAsString("");
    query_->Open();
    EXPECT_EQ(query_->RecordCount(), 1u);
    return query_->AsInteger(size_t{0});
  };
  connection_->StartTransaction();
  const int first = insertUser("desfeito");
  EXPECT_GT(first, 0);
  EXPECT_EQ(ScalarInt("select count(*) from T01_USUARI"), 1);  // visible inside the transaction
  connection_->Rollback();
  EXPECT_FALSE(connection_->InTransaction());
  EXPECT_EQ(ScalarInt("select count(*) from T01_USUARI"), 0);

  connection_->StartTransaction();
  const int second = insertUser("mantido");
  connection_->Commit();
  EXPECT_GT(second, first);  // keys are never handed out twice, even after a rollback
  EXPECT_EQ(ScalarInt("select count(*) from T01_USUARI where T01_Usuario = 'mantido'"), 1);
}

TEST_F(GatewayTest, UpdateReturningThatMeetsNoRowGivesNoRow) {
  connection_->StartTransaction();
  query_->SQL.Add("Update T05_AUTOR1 set T05_Autor = 'x' Where T05_NumAutor = 99 Returning T05_NumAutor");
  query_->Open();
  EXPECT_TRUE(query_->Eof());
  connection_->Rollback();
}

TEST_F(GatewayTest, ClearingTheTextClosesTheCommand) {
  query_->SQL.Add("Select 1 From RDB$DATABASE");
  query_->Open();
  ASSERT_TRUE(query_->Active());
  query_->SQL.Clear();
  EXPECT_FALSE(query_->Active());
  EXPECT_EQ(query_->FieldCount(), 0u);
}

// ---- transactions ----------------------------------------------------------------------------

TEST_F(GatewayTest, RollbackAndCommitWithoutATransactionDoNothing) {
  EXPECT_NO_THROW(connection_->Rollback());
  EXPECT_NO_THROW(connection_->Commit());
  EXPECT_FALSE(connection_->Connected());  // nothing made it connect
  EXPECT_EQ(ScalarInt("select count(*) from T03_CONFIG"), 1);
  EXPECT_NO_THROW(connection_->Rollback());
  EXPECT_TRUE(connection_->Connected());
}

TEST_F(GatewayTest, SecondStartTransactionFails) {
  connection_->StartTransaction();
  EXPECT_THROW(connection_->StartTransaction(), LivrexaError);
  EXPECT_TRUE(connection_->InTransaction());
  connection_->Rollback();
}

TEST_F(GatewayTest, ChangesOutsideAnExplicitTransactionFailAndLeaveNothing) {
  query_->SQL.Add("Insert into T05_AUTOR1 (T05_Autor) Values ('fora')");
  try {
    query_->ExecSQL();
    FAIL() << "statements outside explicit transactions are reads";
  } catch (const LivrexaError& e) {
    EXPECT_NE(std::string(e.what()).find("read-only"), std::string::npos) << e.what();
  }
  EXPECT_EQ(ScalarInt("select count(*) from T05_AUTOR1"), 0);
}

TEST_F(GatewayTest, ReadsSeeCommittedWorkOfOtherConnectionsOnly) {
  auto writer = NewConnection();
  TFbQuery insert(*writer);
  writer->StartTransaction();
  insert.SQL.Add("Insert into T16_TURMAS (T16_Turma) Values ('3º Ano C')");
  insert.ExecSQL();
  EXPECT_EQ(ScalarInt("select count(*) from T16_TURMAS"), 0);  // not committed yet
  writer->Commit();
  EXPECT_EQ(ScalarInt("select count(*) from T16_TURMAS"), 1);
}

TEST_F(GatewayTest, TransactionsHaveTheirIsolationAndAccessMode) {
  struct Mode {
    int64_t readOnly, isolation, lockTimeout;
  };
  auto current = [&] {
    TFbQuery q(*connection_);
    q.SQL.Add("Select mon$read_only, mon$isolation_mode, mon$lock_timeout From mon$transactions ");
    q.SQL.Add("Where mon$transaction_id = current_transaction");
    q.Open();
    return Mode{q.AsLargeInt(size_t{0}), q.AsLargeInt(size_t{1}), q.AsLargeInt(size_t{2})};
  };
  // Outside explicit transactions: read committed, read-only, no wait. Firebird 3 reports read
  // committed as mode 2 (record versions); Firebird 4 runs every read committed transaction with
  // read consistency, mode 4.
  const Mode read = current();
  const std::vector<int64_t> readCommitted{2, 4};
  EXPECT_EQ(read.readOnly, 1);
  EXPECT_THAT(readCommitted, ::testing::Contains(read.isolation));
  EXPECT_EQ(read.lockTimeout, 0);
  // Every such read of the attachment shares that one transaction.
  const int64_t readTransaction = ScalarInt("select current_transaction from rdb$database");
  EXPECT_EQ(ScalarInt("select current_transaction from rdb$database"), readTransaction);
  // Explicit: read committed, read-write, waiting up to the lock timeout.
  connection_->LockTimeoutSeconds = 7;
  connection_->StartTransaction();
  const Mode write = current();
  EXPECT_EQ(write.readOnly, 0);
  EXPECT_THAT(readCommitted, ::testing::Contains(write.isolation));
  EXPECT_EQ(write.lockTimeout, 7);
  EXPECT_NE(ScalarInt("select current_transaction from rdb$database"), readTransaction);
  connection_->Rollback();
}

TEST_F(GatewayTest, EngineMessagePassesThrough) {
  query_->SQL.Add("Select * From NAO_EXISTE");
  try {
    query_->Open();
    FAIL() << "unknown table";
  } catch (const TFbError& e) {
    const std::string message = e.what();
    EXPECT_NE(message.find("Table unknown"), std::string::npos) << message;
    EXPECT_NE(message.find("NAO_EXISTE"), std::string::npos) << message;
    EXPECT_FALSE(e.Fatal());
  }
  EXPECT_TRUE(connection_->Connected());  // an ordinary failure keeps the connection
  EXPECT_EQ(ScalarInt("select count(*) from T03_CONFIG"), 1);
}

TEST_F(GatewayTest, EmptyTextFailsWithTheEnginesMessage) {
  for (const char* text : {"", "   ", "-- only a comment"}) {
    query_->SQL.Clear();
    query_->SQL.Add(text);
    EXPECT_THROW(query_->Open(), TFbError) << "[" << text << "]";
    EXPECT_FALSE(query_->Active());
  }
  EXPECT_EQ(ScalarInt("select count(*) from T03_CONFIG"), 1);  // the connection is still usable
}

TEST_F(GatewayTest, ConstraintViolationInATransactionFailsAtTheStatement) {
  connection_->StartTransaction();
  query_->SQL.Add("Insert into T20_FOTOS1 (T20_NumAcervo) Values (1)");
  query_->ExecSQL();
  EXPECT_THROW(query_->ExecSQL(), TFbError);  // the same key again
  EXPECT_TRUE(connection_->InTransaction());
  connection_->Rollback();
  EXPECT_EQ(ScalarInt("select count(*) from T20_FOTOS1"), 0);
}

// ---- connecting ------------------------------------------------------------------------------

TEST_F(GatewayTest, ConnectsLazilyWithThePathReadAtTheFirstStatement) {
  std::string path = (TempRoot() / "nao-existe.fdb").string();
  TFbConnection lazy([&path] { return path; }, pool_.get());
  TFbQuery query(lazy);
  query.SQL.Add("Select count(*) From T03_CONFIG");
  EXPECT_FALSE(lazy.Connected());
  try {
    query.Open();
    FAIL() << "the file does not exist";
  } catch (const TFbError& e) {
    EXPECT_NE(std::string(e.what()).find("nao-existe.fdb"), std::string::npos) << e.what();
  }
  EXPECT_FALSE(lazy.Connected());
  path = database_.string();  // the setting changes: the next statement tries again with it
  query.Open();
  EXPECT_TRUE(lazy.Connected());
  EXPECT_EQ(query.AsInteger(size_t{0}), 1);
}

// ---- large objects and text ------------------------------------------------------------------

TEST_F(GatewayTest, PictureOfSeveralMegabytesRoundTrips) {
  std::string bytes(5 * 1024 * 1024 + 123, '\0');
  std::mt19937 random(42);
  for (char& b : bytes) b = static_cast<char>(random() & 0xFF);
  bytes[0] = '\0';  // zero bytes are data too
  connection_->StartTransaction();
  query_->SQL.Add("Update or Insert into T20_FOTOS1 (T20_NumAcervo, T20_Foto) ");
  query_->SQL.Add("Values (:p00, :p01) Matching (T20_NumAcervo)");
  query_->Params(0).SetAsInteger(7);
  std::istringstream stream(bytes);
  query_->Params(1).LoadFromStream(stream);
  query_->ExecSQL();
  connection_->Commit();

  query_->SQL.Clear();
  query_->SQL.Add("Select T20_Foto From T20_FOTOS1 Where T20_NumAcervo = :p00");
  query_->Params(0).SetAsInteger(7);
  query_->Open();
  ASSERT_FALSE(query_->Eof());
  EXPECT_EQ(query_->FieldDef(0).DataType, TFieldType::ftBlob);
  EXPECT_EQ(query_->BlobSize("T20_Foto"), bytes.size());
  std::ostringstream out;
  query_->SaveToStream("T20_Foto", out);
  EXPECT_TRUE(out.str() == bytes) << "the bytes differ";
}

TEST_F(GatewayTest, TextInEveryAlphabetReadsBackUnchanged) {
  const std::vector<std::string> texts = {
      "Conceição, ação, pão, coração — Érico Veríssimo",
      "ÀÁÂÃÄÅÇÈÉÊËÌÍÎÏÑÒÓÔÕÖÙÚÛÜÝàáâãäåçèéêëìíîïñòóôõöùúûüýÿ",
      "€ ‚ƒ„…†‡ˆ‰Š‹ŒŽ ‘’“”•–—˜™š›œžŸ",
      "日本語 中文 한국어 Ελληνικά Русский עברית العربية",
      "emoji 📚🦉 and combining e\xCC\x81",
      "   leading and trailing blanks   ",
      "",
  };
  connection_->StartTransaction();
  for (const std::string& text : texts) {
    query_->SQL.Clear();
    query_->SQL.Add("Insert into T05_AUTOR1 (T05_Autor) Values (:p00)");
    query_->Params(0).SetAsString(text);
    query_->ExecSQL();
  }
  connection_->Commit();
  query_->SQL.Clear();
  query_->SQL.Add("Select T05_Autor, Char_Length(T05_Autor) From T05_AUTOR1 Order by T05_NumAutor");
  query_->Open();
  for (const std::string& text : texts) {
    ASSERT_FALSE(query_->Eof());
    EXPECT_EQ(query_->AsString(size_t{0}), text);
    // Stored as characters, not as bytes: the engine counts the code points.
    size_t codePoints = 0;
    for (const unsigned char c : text) codePoints += (c & 0xC0) != 0x80;
    EXPECT_EQ(query_->AsInteger(size_t{1}), static_cast<int>(codePoints)) << text;
    query_->Next();
  }
  // Equality and like work on the characters too.
  query_->SQL.Clear();
  query_->SQL.Add("Select count(*) From T05_AUTOR1 Where T05_Autor like :p00");
  query_->Params(0).SetAsString("%ação%");
  query_->Open();
  EXPECT_EQ(query_->AsInteger(size_t{0}), 1);
}

TEST_F(GatewayTest, TextLongerThanAnyVarcharTravelsAsATextBlob) {
  ExecCommitted(*connection_, "create table TX_MEMO (TX_Texto blob sub_type text)");
  std::string text;
  while (text.size() < 100000) text += "Parágrafo número " + std::to_string(text.size()) + ". ";
  connection_->StartTransaction();
  query_->SQL.Add("Insert into TX_MEMO (TX_Texto) Values (:p00)");
  query_->Params(0).SetAsString(text);
  query_->ExecSQL();
  connection_->Commit();
  query_->SQL.Clear();
  query_->SQL.Add("Select TX_Texto From TX_MEMO");
  query_->Open();
  EXPECT_EQ(query_->FieldDef(0).DataType, TFieldType::ftMemo);
  EXPECT_TRUE(query_->AsString(size_t{0}) == text);
}

TEST(GatewayDemoData, AdministratorIsUserOneWithTheScrambledPasswordAdmin) {
  const auto path = NewDatabase(/*demo=*/true).string();
  TFbPool pool;
  TFbConnection connection([path] { return path; }, &pool);
  TFbQuery query(connection);
  query.SQL.Add("Select T01_NumUsuario, T01_Usuario, T01_Senha, T01_Desativado From T01_USUARI ");
  query.SQL.Add("Where T01_Exclusao is Null Order by T01_NumUsuario");
  query.Open();
  ASSERT_FALSE(query.Eof());
  EXPECT_EQ(query.AsInteger("T01_NumUsuario"), 1);
  EXPECT_EQ(query.AsString("T01_Usuario"), "ADMIN");
  EXPECT_FALSE(query.AsBoolean("T01_Desativado"));
  const std::string stored = query.AsString("T01_Senha");
  EXPECT_NE(stored, "ADMIN");
  EXPECT_EQ(stored.size(), 2u + 2u * 5u);
  EXPECT_EQ(CriptoSenha("D", stored), "ADMIN");
  for (const char* table : {"T04_LEITOR", "T05_AUTOR1", "T09_ACERVO", "T16_TURMAS"}) {
    query.SQL.Clear();
    query.SQL.Add(std::string("Select count(*) From ") + table);
    query.Open();
    EXPECT_GE(query.AsInteger(size_t{0}), 3) << table;
  }
}

}  // namespace
}  // namespace livrexa::test
