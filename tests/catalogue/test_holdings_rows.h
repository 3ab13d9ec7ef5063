#pragma once
// The rows a client sends to save a holding, and the reads the holdings tests share.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "handlers/gateway/connection.h"
#include "handlers/gateway/query.h"
#include "support/dataset_rows.h"
#include "support/tdm_fixture.h"

namespace livrexa::test {

// One holding as the client's holding screen sends it (the columns of the holdings list).
struct THolding {
  int NumAcervo = 0;
  std::string Titulo = "Memórias Póstumas de Brás Cubas";
  std::string SubTitulo = "";
  int NumEditora = 1;
  int NumTipoItem = 1;
  int NumClassific = 1;
  int NumIdioma = 1;
  int Tombo = 0;
  int Paginas = 208;
  TCell Aquisicao = Day(2024, 3, 14);
  TCell Baixa = nullptr;
  bool NaoEmprestar = false;
  bool Emprestado = false;
  std::string Exemplar = "Ex. 1";
  std::string Volume = "";
  std::string Edicao = "1ª";
  std::string AnoEdicao = "1881";
  std::string ISBN = "978-85-359-0000-1";
  std::string Obs1 = "";
  std::string Obs2 = "";
  std::string CDD = "869.3";
  std::string CDU = "";
  std::string Cutter = "A848m";
  std::string Palavras1 = "ironia";
  std::string Palavras2 = "";
  std::string Palavras3 = "";
  std::string Palavras4 = "";
  std::string Palavras5 = "";
  std::string Local = "Estante A3";
  int qReplicar = 0;
};

inline std::string HoldingText(const THolding& h) {
  using enum TFieldType;
  return TRows({{"T09_NumAcervo", ftInteger},
                {"T09_Titulo", ftString, 300},
                {"T09_SubTitulo", ftString, 300},
                {"T09_NumEditora", ftInteger},
                {"T09_NumTipoItem", ftInteger},
                {"T09_NumClassific", ftInteger},
                {"T09_NumIdioma", ftInteger},
                {"T09_Tombo", ftInteger},
                {"T09_Paginas", ftInteger},
                {"T09_Aquisicao", ftDate},
                {"T09_Baixa", ftDate},
                {"T09_NaoEmprestar", ftBoolean},
                {"T09_Emprestado", ftBoolean},
                {"T09_Exemplar", ftString, 30},
                {"T09_Volume", ftString, 30},
                {"T09_Edicao", ftString, 30},
                {"T09_AnoEdicao", ftString, 20},
                {"T09_ISBN", ftString, 30},
                {"T09_CDD", ftString, 30},
                {"T09_CDU", ftString, 30},
                {"T09_CUTTER", ftString, 30},
                {"T09_Palavras1", ftString, 100},
                {"T09_Palavras2", ftString, 100},
                {"T09_Palavras3", ftString, 100},
                {"T09_Palavras4", ftString, 100},
                {"T09_Palavras5", ftString, 100},
                {"T09_Local", ftString, 100},
                {"T09_Obs1", ftString, 1000},
                {"T09_Obs2", ftString, 1000},
                {"qReplicar", ftInteger}})
      .Row({h.NumAcervo,  h.Titulo,    h.SubTitulo, h.NumEditora, h.NumTipoItem, h.NumClassific,
            h.NumIdioma,  h.Tombo,     h.Paginas,   h.Aquisicao,  h.Baixa,       h.NaoEmprestar,
            h.Emprestado, h.Exemplar,  h.Volume,    h.Edicao,     h.AnoEdicao,   h.ISBN,
            h.CDD,        h.CDU,       h.Cutter,    h.Palavras1,  h.Palavras2,   h.Palavras3,
            h.Palavras4,  h.Palavras5, h.Local,     h.Obs1,       h.Obs2,        h.qReplicar})
      .Text();
}

inline std::string AuthorsText(const std::vector<int>& authors) {
  TRows rows({{"T10_NumAutor", TFieldType::ftInteger}, {"T05_Autor", TFieldType::ftString, 150}});
  for (const int author : authors) rows.Row({author, "autor " + std::to_string(author)});
  return rows.Text();
}

inline std::string ContentsText(const std::vector<std::pair<std::string, int>>& entries) {
  TRows rows({{"T11_Indice", TFieldType::ftString, 500}, {"T11_Pagina", TFieldType::ftInteger}});
  for (const auto& [indice, pagina] : entries) rows.Row({indice, pagina});
  return rows.Text();
}

inline std::string PhotoText(const std::string& bytes) {
  TRows rows({{"T20_NumAcervo", TFieldType::ftInteger}, {"T20_Foto", TFieldType::ftGraphic}});
  rows.Row({0, bytes});
  return rows.Text();
}

// The inputs of a "Consulta" (GCC warns about designated initializers that leave members out).
inline TConsultaInputs Filter(std::string filtro, bool desativados = false, std::string filtro2 = {}) {
  TConsultaInputs in;
  in.Filtro = std::move(filtro);
  in.Filtro2 = std::move(filtro2);
  in.Desativados = desativados;
  return in;
}

class HoldingsTest : public TdmTest {
 protected:
  // "Grava" 180 with a holding and its companions (empty tables unless given).
  EventReply Save(const THolding& h, const std::vector<int>& authors = {},
                  const std::vector<std::pair<std::string, int>>& contents = {},
                  const std::string& photo = "") {
    TGravaInputs in;
    in.Tabela = HoldingText(h);
    in.Tabela2 = AuthorsText(authors);
    in.Tabela3 = ContentsText(contents);
    if (!photo.empty()) in.Tabela4 = PhotoText(photo);
    return Grava(180, in);
  }
  // Saves a new holding and returns its number.
  int NewHolding(const THolding& h, const std::vector<int>& authors = {},
                 const std::vector<std::pair<std::string, int>>& contents = {},
                 const std::string& photo = "") {
    const std::string reply = Save(h, authors, contents, photo).Resposta();
    int numero = 0;
    EXPECT_NO_THROW(numero = std::stoi(reply)) << reply;
    return numero;
  }

  // One integer column of the reply's rows, in row order.
  static std::vector<int> Column(const EventReply& reply, const std::string& name) {
    TFDMemTable table = reply.Rows();
    std::vector<int> values;
    if (!table.Active()) return values;
    for (table.First(); !table.Eof(); table.Next()) values.push_back(table.AsInteger(name));
    return values;
  }
  std::vector<int> ListedNumbers(const TConsultaInputs& in, int flag = 180) {
    return Column(Consulta(flag, in), "T09_NumAcervo");
  }
  int Count(const std::string& sql) { return std::stoi(Scalar(sql)); }

  // Runs a statement with its texts bound as parameters, so a test can store any text.
  void ExecWithTexts(const std::string& sql, const std::vector<std::string>& texts) {
    TFbConnection connection([this] { return database_.string(); }, nullptr);
    TFbQuery query(connection);
    connection.StartTransaction();
    query.SQL.Add(sql);
    for (size_t i = 0; i < texts.size(); ++i) query.Params(i).SetAsString(texts[i]);
    query.ExecSQL();
    connection.Commit();
  }
};

}  // namespace livrexa::test
