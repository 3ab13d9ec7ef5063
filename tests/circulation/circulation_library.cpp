#include "circulation/circulation_library.h"

#include <algorithm>
#include <cctype>

namespace livrexa::test {
namespace {

using enum TFieldType;

// One statement, so seeding costs one attachment.
constexpr const char* kSeed = R"(execute block as begin
insert into T09_ACERVO (T09_Titulo, T09_NumEditora, T09_NumTipoItem, T09_NumClassific, T09_NumIdioma,
  T09_Tombo, T09_Paginas, T09_Aquisicao, T09_NaoEmprestar, T09_Emprestado)
  values ('Memórias Póstumas de Brás Cubas', 1, 1, 1, 1, 1005, 208, '2023-06-01', False, False);
insert into T09_ACERVO (T09_Titulo, T09_NumEditora, T09_NumTipoItem, T09_NumClassific, T09_NumIdioma,
  T09_Tombo, T09_Paginas, T09_Aquisicao, T09_NaoEmprestar, T09_Emprestado)
  values ('Revista Ciência Hoje', 3, 2, 3, 1, 2001, 80, '2024-01-10', False, False);
insert into T09_ACERVO (T09_Titulo, T09_NumEditora, T09_NumTipoItem, T09_NumClassific, T09_NumIdioma,
  T09_Tombo, T09_Paginas, T09_Aquisicao, T09_NaoEmprestar, T09_Emprestado)
  values ('Dicionário Aurélio', 3, 3, 3, 1, 3001, 2128, '2022-02-01', False, False);
insert into T09_ACERVO (T09_Titulo, T09_NumEditora, T09_NumTipoItem, T09_NumClassific, T09_NumIdioma,
  T09_Tombo, T09_Paginas, T09_Aquisicao, T09_NaoEmprestar, T09_Emprestado)
  values ('Manual do Professor', 1, 1, 3, 1, 1008, 120, '2023-08-01', False, False);
insert into T09_ACERVO (T09_Titulo, T09_NumEditora, T09_NumTipoItem, T09_NumClassific, T09_NumIdioma,
  T09_Tombo, T09_Paginas, T09_Aquisicao, T09_NaoEmprestar, T09_Emprestado, T09_Exclusao, T09_ExcluidoPor)
  values ('Quincas Borba', 1, 1, 1, 1, 1009, 300, '2023-08-01', False, False, '2024-02-01', 1);
insert into T09_ACERVO (T09_Titulo, T09_NumEditora, T09_NumTipoItem, T09_NumClassific, T09_NumIdioma,
  T09_Tombo, T09_Paginas, T09_Aquisicao, T09_NaoEmprestar, T09_Emprestado)
  values ('O Cortiço', 1, 1, 1, 1, 1010, 240, '2023-09-01', False, False);

insert into T12_EMPRE1 (T12_NumLeitor, T12_Data) values (1, '2024-03-04');
insert into T12_EMPRE1 (T12_NumLeitor, T12_Data) values (2, '2024-03-20');
insert into T12_EMPRE1 (T12_NumLeitor, T12_Data) values (1, '2024-04-10');
insert into T12_EMPRE1 (T12_NumLeitor, T12_Data) values (3, '2024-05-02');
insert into T12_EMPRE1 (T12_NumLeitor, T12_Data) values (2, '2024-05-06');

insert into T13_EMPRE2 (T13_NumEmprest, T13_NumAcervo, T13_Previsao, T13_Devolucao, T13_Multa)
  values (1, 1, '2024-03-11', '2024-03-15', 4);
insert into T13_EMPRE2 (T13_NumEmprest, T13_NumAcervo, T13_Previsao, T13_Devolucao, T13_Multa)
  values (1, 2, '2024-03-11', '2024-03-10', 0);
insert into T13_EMPRE2 (T13_NumEmprest, T13_NumAcervo, T13_Previsao) values (2, 3, '2024-03-27');
insert into T13_EMPRE2 (T13_NumEmprest, T13_NumAcervo, T13_Previsao, T13_Devolucao, T13_Multa, T13_PgtoMulta)
  values (2, 5, '2024-03-27', '2024-04-02', 6, '2024-04-02');
insert into T13_EMPRE2 (T13_NumEmprest, T13_NumAcervo, T13_Previsao, T13_Devolucao, T13_Multa,
  T13_MultaCancelada) values (3, 6, '2024-04-13', '2024-04-20', 7, '2024-04-21');
insert into T13_EMPRE2 (T13_NumEmprest, T13_NumAcervo, T13_Previsao) values (3, 1, '2024-04-17');
insert into T13_EMPRE2 (T13_NumEmprest, T13_NumAcervo, T13_Previsao, T13_Exclusao, T13_ExcluidoPor)
  values (4, 7, '2024-05-03', '2024-05-04', 1);
insert into T13_EMPRE2 (T13_NumEmprest, T13_NumAcervo, T13_Previsao, T13_Devolucao, T13_Multa, T13_PgtoMulta,
  T13_MultaCancelada) values (5, 8, '2024-05-13', '2024-05-20', 2.5, '2024-05-21', '2024-05-22');
insert into T13_EMPRE2 (T13_NumEmprest, T13_NumAcervo, T13_Previsao) values (5, 2, '2024-05-13');
update T09_ACERVO set T09_Emprestado = True where T09_NumAcervo in (1, 2, 3);

insert into T15_RESERV (T15_NumLeitor, T15_NumAcervo, T15_Validade1, T15_Validade2, T15_Data, T15_Utilizou)
  values (1, 3, '2024-05-01', '2024-05-08', '2024-04-28', False);
insert into T15_RESERV (T15_NumLeitor, T15_NumAcervo, T15_Validade1, T15_Validade2, T15_Data, T15_Utilizou)
  values (2, 3, '2024-05-09', '2024-05-16', '2024-04-29', False);
insert into T15_RESERV (T15_NumLeitor, T15_NumAcervo, T15_Validade1, T15_Validade2, T15_Data, T15_Utilizou,
  T15_Exclusao, T15_ExcluidoPor) values (3, 3, '2024-05-17', '2024-05-24', '2024-04-30', False, '2024-05-01', 1);
insert into T15_RESERV (T15_NumLeitor, T15_NumAcervo, T15_Validade1, T15_Validade2, T15_Data, T15_Utilizou)
  values (0, 3, '2024-05-01', '2024-05-08', '2024-04-27', False);
insert into T15_RESERV (T15_NumLeitor, T15_NumAcervo, T15_Validade1, T15_Validade2, T15_Data, T15_Utilizou)
  values (2, 1, '2024-05-03', '2024-05-10', '2024-05-03', True);
insert into T15_RESERV (T15_NumLeitor, T15_NumAcervo, T15_Validade1, T15_Validade2, T15_Data, T15_Utilizou)
  values (1, 99, '2024-05-04', '2024-05-11', '2024-05-04', False);
end)";

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
  return text;
}

}  // namespace

std::string ItemMessage(const std::string& sixDigits) {
  return "O item " + sixDigits +
         " foi emprestado a outro leitor neste momento. Será necessário excluí-lo desse empréstimo.";
}

void CirculationTest::SetUp() {
  TdmTest::SetUp();
  Exec(kSeed);
}

std::string CirculationTest::LoanHeader(int numLeitor, const TCell& data) {
  return TRows({{"T12_NumEmprest", ftInteger}, {"T12_NumLeitor", ftInteger}, {"T12_Data", ftDate}})
      .Row({0, numLeitor, data})
      .Text();
}

std::string CirculationTest::LoanItems(const std::vector<int>& acervos, const TCell& previsao) {
  TRows rows({{"T13_NumAcervo", ftInteger}, {"T13_Previsao", ftDate}});
  for (int acervo : acervos) rows.Row({acervo, previsao});
  return rows.Text();
}

std::string CirculationTest::ReturnRow(int numEmprest, int numAcervo, const TCell& multa, bool pago) {
  return TRows({{"T13_NumEmprest", ftInteger},
                {"T13_NumAcervo", ftInteger},
                {"T13_Multa", ftFloat},
                {"T13_PgtoMulta", ftBoolean}})
      .Row({numEmprest, numAcervo, multa, pago})
      .Text();
}

std::string CirculationTest::RenewalRow(int numEmprest, int numAcervo, const TCell& previsao) {
  return TRows({{"T13_NumEmprest", ftInteger}, {"T13_NumAcervo", ftInteger}, {"T13_Previsao", ftDate}})
      .Row({numEmprest, numAcervo, previsao})
      .Text();
}

EventReply CirculationTest::Lend(int numLeitor, const std::vector<int>& acervos) {
  return Grava(210, {.Tabela = LoanHeader(numLeitor, Day(2024, 6, 3)),
                     .Tabela2 = LoanItems(acervos, Day(2024, 6, 10)),
                     .Usuario = "balcao",
                     .Rotina = "Emprestimo"});
}

bool CirculationTest::Emprestado(int numAcervo) {
  return Scalar("Select T09_Emprestado From T09_ACERVO Where T09_NumAcervo = " + std::to_string(numAcervo)) ==
         "True";
}

int CirculationTest::Count(const std::string& sql) {
  return std::stoi(Scalar(sql));
}

std::string CirculationTest::OpenItems(int numAcervo) {
  return Scalar(
      "Select List(T13_SeqEmprest, ',') From (Select T13_SeqEmprest From T13_EMPRE2 Where T13_Devolucao is "
      "Null and T13_Exclusao is Null and T13_NumAcervo = " +
      std::to_string(numAcervo) + " Order by T13_SeqEmprest)");
}

std::vector<std::string> CirculationTest::KeysInOrder(const EventReply& reply,
                                                      const std::vector<std::string>& key,
                                                      const std::vector<std::string>& order) {
  TFDMemTable table = reply.Rows();
  std::vector<std::pair<std::vector<std::string>, std::string>> rows;
  for (table.First(); !table.Eof(); table.Next()) {
    std::vector<std::string> sort;
    for (const std::string& column : order) sort.push_back(table.AsString(column));
    std::string text;
    for (const std::string& column : key) text += (text.empty() ? "" : "/") + table.AsString(column);
    rows.emplace_back(std::move(sort), std::move(text));
  }
  std::vector<std::string> keys;
  for (size_t i = 0; i < rows.size();) {
    size_t j = i;
    while (j < rows.size() && rows[j].first == rows[i].first) ++j;
    std::vector<std::string> group;
    for (size_t k = i; k < j; ++k) group.push_back(rows[k].second);
    std::sort(group.begin(), group.end());
    keys.insert(keys.end(), group.begin(), group.end());
    i = j;
  }
  return keys;
}

std::vector<std::string> CirculationTest::Columns(const EventReply& reply) {
  TFDMemTable table = reply.Rows();
  std::vector<std::string> names;
  for (size_t i = 0; i < table.FieldCount(); ++i) names.push_back(Upper(table.FieldDef(i).Name));
  return names;
}

void CirculationTest::ExpectQueryError(const EventReply& reply, const std::string& message) {
  const std::string resposta = reply.Resposta();
  EXPECT_EQ(resposta.rfind("Servidor do Banco de Dados do Livrexa 1.1 - Porta 7022\r\rErro na consulta", 0),
            0u)
      << resposta;
  EXPECT_NE(resposta.find("\r" + message + "\r"), std::string::npos) << resposta;
  const auto tabela = reply.params.find("TABELA");
  EXPECT_TRUE(tabela == reply.params.end() || !tabela->second.has_value() || tabela->second->empty())
      << "rows written on the error path";
}

}  // namespace livrexa::test
