#pragma once
// Reservations (T15_RESERV). The server keeps the records only: it refuses no loan because of a
// reservation, nor a reservation because of a loan; the client asks and decides.

#include <string>

namespace livrexa {

class TDM;
class TFDMemTable;

// "Consulta" 240: the live reservations with reader name, title and accession number, searched by
// reader or holding number, or by the beginning of a reader name or title ("Filtro2" says which).
void ConsultaReservas(TDM& dm, const std::string& Filtro, const std::string& Filtro2);
// "Consulta" 360: the live reservations of holding "Filtro2" by readers other than "Filtro".
void ConsultaReservasItem(TDM& dm, const std::string& Filtro, const std::string& Filtro2);
// "Grava" 240: inserts the reservation of the current row; answers its new number.
std::string GravaReserva(TDM& dm, TFDMemTable& Tabela);
// "Exclui" 240: soft delete; answers "OK" or the failure's message.
std::string ExcluiReserva(TDM& dm, int Numero, int NumUsuario);

// Adds this library's flags to the handler module's tables (once, at start-up).
void RegisterReservationOperations();

}  // namespace livrexa
