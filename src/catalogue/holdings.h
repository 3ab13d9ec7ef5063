#pragma once
// Holdings (T09_ACERVO) with their authors (T10), contents entries (T11) and photo (T20).

#include <string>

namespace livrexa {

class TDM;
class TFDMemTable;

// ---- queries: the rows stay open in dm.Query1 ----
// Every holding (the deleted ones too when Desativados), filtered by number or title, with the
// constant column qReplicar (0) that the save reads back as the number of copies to create.
void ConsultaAcervo(TDM& dm, const std::string& Filtro, bool Desativados);
// The live authors of the holding numbered Filtro.
void ConsultaAutoresItem(TDM& dm, const std::string& Filtro);
// The contents entries of the holding numbered Filtro, by page.
void ConsultaIndiceItem(TDM& dm, const std::string& Filtro);
// The photo of the holding numbered Filtro (at most one row).
void ConsultaFotoItem(TDM& dm, const std::string& Filtro);
// Loan state, withdrawal day, do-not-lend mark and loan days of the live holdings, filtered by
// number or title prefix.
void ConsultaDisponibilidade(TDM& dm, const std::string& Filtro);
// The collection search: Filtro2 is the mode (0 title, 1 number, 2 on loan, 3 publisher,
// 4 item type, 5 classification, 6 keywords, 7 contents, 8 author, 9 accession number,
// 10 CDD/CDU, 11 Cutter), Filtro the text; Desativados lists the deleted holdings only.
void PesquisaAcervo(TDM& dm, const std::string& Filtro, const std::string& Filtro2, bool Desativados);

// ---- the save: the holding in FDMemTable1, its authors, contents and photo in 2, 3 and 4 ----
// Answers the holding's number (an update without copies) or the new numbers joined by ", ";
// raises its failures after undoing everything it wrote.
std::string GravaAcervo(TDM& dm);
// Steps of the save, run inside its transaction.
std::string InsereAcervo(TDM& dm);
void ExcluiAutoresItem(TDM& dm, TFDMemTable& Tabela, int NumAcervo);
void ExcluiIndiceItem(TDM& dm, TFDMemTable& Tabela, int NumAcervo);
void GravaAutoresItem(TDM& dm, TFDMemTable& Tabela, int NumAcervo);
void GravaIndiceItem(TDM& dm, TFDMemTable& Tabela, int NumAcervo);
void GravaFotoItem(TDM& dm, TFDMemTable& Tabela, int NumAcervo);

// ---- delete and restore: "OK" or the message that stopped them ----
// Fails with the loan message while an item of the holding is out (a soft-deleted loan item
// still counts).
void VerificaEmprestimoItem(TDM& dm, int NumAcervo);
std::string ExcluiAcervo(TDM& dm, int Numero, int NumUsuario);
std::string RestauraAcervo(TDM& dm, int Numero);

// Adds this library's flags to the handler module's tables (once, at start-up).
void RegisterHoldingOperations();

}  // namespace livrexa
