#pragma once
// Loans and returns (T12_EMPRE1, T13_EMPRE2).
//
// The loan mark T09_Emprestado of a holding is kept here, in the operations' own transactions:
// a loan sets it, and only when it was clear, so of two desks lending one holding at once exactly
// one gets it; a return or an item delete clears it once no live item of the holding is out.

#include <string>

namespace livrexa {

class TDM;
class TFDMemTable;

// "Consulta" 210: every live item of the loans, returned or not, with reader and title.
void ConsultaEmprestimosPeriodo(TDM& dm, const std::string& Filtro, const std::string& Data1,
                                const std::string& Data2);
// "Consulta" 300: the loan headers with at least one live item.
void ConsultaNotas(TDM& dm, const std::string& Filtro, const std::string& Data1, const std::string& Data2);
// "Consulta" 330: the live items (only those still out unless Desativados), searched by reader,
// holding or loan number, or by the beginning of a title or reader name.
void ConsultaItensEmprestimo(TDM& dm, const std::string& Filtro, const std::string& Filtro2, bool Desativados,
                             const std::string& Data1, const std::string& Data2);
// "Consulta" 340: the due dates of the items the reader has out.
void ConsultaPrevisoes(TDM& dm, const std::string& Filtro);

// "Grava" 210: the header row of Tabela and the items of Tabela2 in one transaction; answers the
// new loan number. An item that is not available refuses the whole loan.
std::string GravaEmprestimo(TDM& dm, TFDMemTable& Tabela, TFDMemTable& Tabela2);
// Step of the loan save: every row of Tabela as an item of loan NumEmprest, in the caller's
// transaction.
void GravaItensEmprestimo(TDM& dm, TFDMemTable& Tabela, int NumEmprest);
// "Grava" 220: the return of one item, with its fine; answers "OK" or the failure's message.
std::string GravaDevolucao(TDM& dm, TFDMemTable& Tabela);
// "Grava" 225: a new due date for one item; answers "OK" or the failure's message.
std::string GravaRenovacao(TDM& dm, TFDMemTable& Tabela);
// "Exclui" 210: soft delete of one item (by T13_SeqEmprest); answers "OK" or the failure's message.
std::string ExcluiItemEmprestimo(TDM& dm, int Numero, int NumUsuario);

// Adds this library's flags to the handler module's tables (once, at start-up).
void RegisterLoanOperations();

}  // namespace livrexa
