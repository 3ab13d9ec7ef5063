#pragma once
// Readers (T04_LEITOR) with their photo (T21_FOTOS2), and school classes (T16_TURMAS).
//
// The lists leave their rows open in dm.Query1. The saves take the rows the client sent in
// dm.FDMemTable1 (and the reader's photo in dm.FDMemTable2) and raise their failures, after
// rolling back; the deletes answer "OK" or the message that stopped them.

#include <string>

namespace livrexa {

class TDM;
class TFDMemTable;

// ---- readers ----

// Live readers with their class's name (T04.*, T16_Turma), by name. A "Filtro" that is a
// number above 0 selects that reader; any other non-blank one, the names containing it.
void ConsultaLeitores(TDM& dm, const std::string& Filtro, bool Desativados);
// Number, name, class and both deactivation marks of the live readers; "Filtro" as above, but
// the names beginning with it. Without "Desativados" the readers of a deactivated class are
// left out too.
void ConsultaLeitoresTurma(TDM& dm, const std::string& Filtro, bool Desativados);
// The photo of the reader whose number is "Filtro" (no row when there is none).
void ConsultaFotoLeitor(TDM& dm, const std::string& Filtro);

// Saves the reader in the current row of FDMemTable1 and its photo from FDMemTable2; answers
// the reader's number as "000000".
std::string GravaLeitor(TDM& dm);
// Stores the photo in the table's current row for reader N, or removes the reader's photo when
// the table is closed, has no row or holds an empty photo. Runs in the caller's transaction.
void GravaFotoLeitor(TDM& dm, TFDMemTable& Tabela, int N);

// Fails with the in-use message when a live loan item (returned or not) names the reader.
void VerificaEmprestimoLeitor(TDM& dm, int K);
std::string ExcluiLeitor(TDM& dm, int Numero, int NumUsuario);

// ---- classes ----

void ConsultaTurmas(TDM& dm, const std::string& Filtro, bool Desativados);
// Saves the class in the current row of FDMemTable1; a changed deactivation is carried to every
// reader of the class. Answers the class's number in decimal.
std::string GravaTurma(TDM& dm);
// Fails with the in-use message when a live reader belongs to the class.
void VerificaUsoTurma(TDM& dm, int K);
std::string ExcluiTurma(TDM& dm, int Numero, int NumUsuario);

// Adds this library's flags to the handler module's tables (once, at start-up).
void RegisterReaderOperations();

}  // namespace livrexa
