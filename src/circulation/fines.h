#pragma once
// Fines of returned loan items (T13_EMPRE2). A fine is a live, returned item with T13_Multa above
// 0; it is open, paid (T13_PgtoMulta) or cancelled (T13_MultaCancelada), addressed by the item's
// T13_SeqEmprest. The amounts come from the clients; the server computes none.

#include <string>

namespace livrexa {

class TDM;

// "Consulta" 350: at most one row, the reader's number and the sum of the fines never paid
// (a cancelled fine that was never paid still counts).
void ConsultaMultaLeitor(TDM& dm, const std::string& Filtro);
// "Consulta" 305: the fines in state "Filtro2" (0 open, 1 paid, 2 cancelled, any other every
// state) of reader number "Filtro", or of the readers whose names begin with it.
void ConsultaMultas(TDM& dm, const std::string& Filtro, const std::string& Filtro2);
// "Exclui" 307 and 305: the day of payment or cancellation; answer "OK" or the failure's message.
std::string PagaMulta(TDM& dm, int Numero);
std::string CancelaMulta(TDM& dm, int Numero);

// Adds this library's flags to the handler module's tables (once, at start-up).
void RegisterFineOperations();

}  // namespace livrexa
