// The five authority tables over HTTP against real database files: every case runs for each
// member of the family (authors, publishers, classifications, item types, languages).

#include <gtest/gtest.h>

#include "catalogue/authority_tables.h"
#include "rest/wire/wire_consts.h"
#include "support/tdm_fixture.h"

namespace livrexa::test {
namespace {

using enum TFieldType;

const std::string kCantDelete = "\rPor este motivo a exclusão não poderá ser realizada.";

}  // namespace
}  // namespace livrexa::test

namespace livrexa {
void PrintTo(const TAuthorityTable& member, std::ostream* os) {
  *os << member.table;
}
}  // namespace livrexa

namespace livrexa::test {
namespace {

class AuthorityTablesTest : public TdmTest, public ::testing::WithParamInterface<TAuthorityTable> {
 protected:
  const TAuthorityTable& member() const { return GetParam(); }
  std::string Prefixed(const char* name) const { return std::string(member().prefix) + "_" + name; }

  // The dataset text of one record as the client sends it.
  std::string Row(int numero, const std::string& text, bool desativado) const {
    std::vector<TColumn> columns = {{member().key, ftInteger},
                                    {member().description, ftString, 150},
                                    {Prefixed("Desativado"), ftBoolean}};
    std::vector<TCell> cells = {numero, text, desativado};
    if (member().further) {
      columns.push_back({member().further, member().furtherType, 150});
      cells.push_back(member().furtherType == ftInteger ? TCell(14) : TCell("Porto Alegre - RS"));
    }
    return TRows(columns).Row(cells).Text();
  }
  EventReply Save(int numero, const std::string& text, bool desativado = false) {
    return Grava(member().flag,
                 {.Tabela = Row(numero, text, desativado), .Usuario = "ana", .Rotina = "Cadastro"});
  }
  int SaveNew(const std::string& text) {
    const std::string reply = Save(0, text).Resposta();
    EXPECT_GT(StrToIntDef(reply, 0), 0) << reply;
    return StrToIntDef(reply, 0);
  }
  std::vector<std::string> List(const std::string& filtro, bool desativados) {
    TFDMemTable rows = Consulta(member().flag, {.Filtro = filtro, .Desativados = desativados}).Rows();
    return ColumnTexts(rows, member().description);
  }
  std::string Count() { return Scalar("Select count(*) From " + std::string(member().table)); }
  std::string Stored(int numero, const std::string& column) {
    return Scalar("Select " + column + " From " + member().table + " Where " + member().key + " = " +
                  std::to_string(numero));
  }
  // Soft-deletes the demo holdings that use record 1 of the member.
  void DeleteHoldingsUsingRecordOne() {
    Exec(std::string("Update T09_ACERVO Set T09_Exclusao = CURRENT_DATE Where ") +
         (member().holdingsColumn
              ? std::string(member().holdingsColumn) + " = 1"
              : "T09_NumAcervo in (Select T10_NumAcervo From T10_LINKAU Where T10_NumAutor = 1)"));
  }
};

TEST_P(AuthorityTablesTest, ListFiltersByTextAndDeactivationInItsColumnOrder) {
  const int ana = SaveNew("Ana Maria Machado");
  SaveNew("Mariana Colasanti");
  const int joao = SaveNew("João Ubaldo");
  ASSERT_EQ(Save(joao, "João Ubaldo", true).Resposta(), std::to_string(joao));
  EXPECT_EQ(Stored(joao, Prefixed("Desativado")), "True");

  const std::vector<std::string> all = List("", true);
  EXPECT_NE(std::find(all.begin(), all.end(), "João Ubaldo"), all.end());
  EXPECT_TRUE(std::is_sorted(all.begin(), all.end())) << "ordered by the description";
  EXPECT_EQ(List("   ", true), all) << "a blank filter filters nothing";
  // The filter is a part of the text, compared as the database's collation compares (letter case counts).
  EXPECT_EQ(List("ana", false), std::vector<std::string>{"Mariana Colasanti"});
  EXPECT_EQ(List("Ana", false), std::vector<std::string>{"Ana Maria Machado"});
  EXPECT_EQ(List("Ubaldo", false), std::vector<std::string>{});
  EXPECT_EQ(List("Ubaldo", true), std::vector<std::string>{"João Ubaldo"});

  // The list's columns are the clients' columns, in their order.
  TFDMemTable rows = Consulta(member().flag, {.Filtro = "Ana Maria"}).Rows();
  std::string names;
  for (size_t i = 0; i < rows.FieldCount(); ++i) names += (i ? ", " : "") + rows.FieldDef(i).Name;
  EXPECT_EQ(names, UpperCase(member().listColumns));
  ASSERT_EQ(rows.RecordCount(), 1u);
  EXPECT_EQ(rows.AsInteger(member().key), ana);
  if (member().further) {
    EXPECT_EQ(rows.AsString(member().further),
              member().furtherType == ftInteger ? "14" : "Porto Alegre - RS");
  }
}

TEST_P(AuthorityTablesTest, SaveInsertsActiveUpdatesAndTestsDuplicates) {
  // A new record is inserted active even when the row says otherwise.
  const int numero = StrToIntDef(Save(0, "Érico Veríssimo", true).Resposta(), 0);
  ASSERT_GT(numero, 0);
  EXPECT_EQ(Stored(numero, Prefixed("Desativado")), "False");
  EXPECT_EQ(Stored(numero, Prefixed("Exclusao")), "");
  // Its own unchanged description passes the duplicate test; the update keeps the key.
  EXPECT_EQ(Save(numero, "Érico Veríssimo", true).Resposta(), std::to_string(numero));
  EXPECT_EQ(Stored(numero, Prefixed("Desativado")), "True");
  // A key that names no record updates nothing and still answers it.
  EXPECT_EQ(Save(9999, "Nenhum").Resposta(), "9999");
  EXPECT_TRUE(host_.Log().empty());
  EXPECT_TRUE(ErrLogRows().empty());

  // Another record with the same description is refused, as a failed save: logged, nothing written.
  const std::string before = Count();
  for (int key : {0, 1}) {
    host_.ClearLog();
    const auto reply = Save(key, "Érico Veríssimo");
    EXPECT_EQ(reply.Resposta(), member().duplicateMessage) << "key " << key;
    ASSERT_EQ(host_.Log().size(), 1u);
    EXPECT_EQ(host_.Log()[0].rfind("Grava --> ", 0), 0u);
    EXPECT_NE(host_.Log()[0].find(" - \r" + std::string(member().duplicateMessage)), std::string::npos);
  }
  EXPECT_EQ(Count(), before);
  EXPECT_NE(Stored(1, member().description), "Érico Veríssimo");
  EXPECT_EQ(ErrLogRows(),
            std::vector<std::string>(2, "ana|Cadastro|" + std::string(member().duplicateMessage)));
}

TEST_P(AuthorityTablesTest, DeleteRefusedWhileInUseWithoutLogging) {
  // Record 1 of every member is used by demo holding 1.
  const auto reply = Exclui(member().flag, {.Numero = 1, .NumUsuario = 1, .Usuario = "ana", .Rotina = "R"});
  EXPECT_EQ(reply.Resposta(),
            member().inUseHead + std::string("000001 (podendo haver outros).") + kCantDelete);
  EXPECT_EQ(Stored(1, Prefixed("Exclusao")), "");
  EXPECT_TRUE(host_.Log().empty());
  EXPECT_TRUE(ErrLogRows().empty());

  // Holdings that were deleted no longer use a record; the author links carry no deletion mark.
  DeleteHoldingsUsingRecordOne();
  const std::string after = Exclui(member().flag, {.Numero = 1, .NumUsuario = 1}).Resposta();
  EXPECT_EQ(after, member().holdingsColumn ? "OK" : reply.Resposta());
}

TEST_P(AuthorityTablesTest, DeletedRecordLeavesTheListsAndFreesItsDescription) {
  const int numero = SaveNew("Lygia Fagundes Telles");
  EXPECT_EQ(Exclui(member().flag, {.Numero = numero, .NumUsuario = 7}).Resposta(), "OK");
  EXPECT_NE(Stored(numero, Prefixed("Exclusao")), "");
  EXPECT_EQ(Stored(numero, Prefixed("ExcluidoPor")), "7");
  EXPECT_EQ(List("Lygia", true), std::vector<std::string>{});
  // A new record may take the deleted one's description.
  const int again = SaveNew("Lygia Fagundes Telles");
  EXPECT_NE(again, numero);
  EXPECT_EQ(List("Lygia", false), std::vector<std::string>{"Lygia Fagundes Telles"});
  // Deleting again overwrites the day and the user; a number that names nothing answers "OK".
  EXPECT_EQ(Exclui(member().flag, {.Numero = numero, .NumUsuario = 3}).Resposta(), "OK");
  EXPECT_EQ(Stored(numero, Prefixed("ExcluidoPor")), "3");
  EXPECT_EQ(Exclui(member().flag, {.Numero = 424242, .NumUsuario = 1}).Resposta(), "OK");
  EXPECT_TRUE(host_.Log().empty());
}

TEST_P(AuthorityTablesTest, SaveWithoutARowFailsWithTheMissingColumn) {
  const std::string before = Count();
  const auto reply = Grava(member().flag, {.Usuario = "ana", .Rotina = "Cadastro"});
  EXPECT_EQ(reply.Resposta(), "Field '" + std::string(member().key) + "' not found");
  EXPECT_EQ(Count(), before);
  EXPECT_EQ(ErrLogRows().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Members, AuthorityTablesTest, ::testing::ValuesIn(AuthorityTables()),
                         [](const ::testing::TestParamInfo<TAuthorityTable>& info) {
                           return std::string(info.param.table);
                         });

}  // namespace
}  // namespace livrexa::test
