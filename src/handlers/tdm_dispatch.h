#pragma once
// The flag tables of "Consulta", "Grava" and "Exclui". Each entry reads the inputs its operation
// needs from the request and runs it. The handlers' own operations (users, settings record, error
// log, raw query) are always in the tables; the catalogue and circulation libraries add theirs
// with RegisterCatalogueOperations() and RegisterCirculationOperations(), which the server wiring
// (and the test fixture) call while the process starts, before the listener is switched on, so
// request threads only ever read the tables.
//
// An entry reads its inputs into locals in the order the flag table names them, so a request
// with two bad inputs always reports the same one:
//
//   RegisterConsulta(140, [](TDM& dm, TDWParams& p) {
//     const bool desativados = InputBoolean(p, "Desativados");
//     const std::string filtro = InputText(p, "Filtro");
//     ConsultaAutores(dm, filtro, desativados);
//   });

#include <functional>
#include <string>

namespace livrexa {

class TDM;
class TDWParams;

// Leaves its rows open in the module's Query1.
using TConsultaOperation = std::function<void(TDM&, TDWParams&)>;
// Takes the module's in-memory tables as loaded and answers the reply text.
using TGravaOperation = std::function<std::string(TDM&)>;
// Reads "Numero" (and "NumUsuario") and answers the reply text.
using TExcluiOperation = std::function<std::string(TDM&, TDWParams&)>;

const TConsultaOperation* FindConsulta(int flag);
const TGravaOperation* FindGrava(int flag);
const TExcluiOperation* FindExclui(int flag);

// Each flag has one operation: registering a flag that is already in the table fails with a
// LivrexaError naming the event and the flag.
void RegisterConsulta(int flag, TConsultaOperation operation);
void RegisterGrava(int flag, TGravaOperation operation);
void RegisterExclui(int flag, TExcluiOperation operation);

// The request's inputs by name, as the event declares them (a missing one reads as its default).
std::string InputText(TDWParams& params, const char* name);
int InputInteger(TDWParams& params, const char* name);
bool InputBoolean(TDWParams& params, const char* name);

// Defined by the catalogue and circulation libraries. Each registers its flags once per
// process; later calls do nothing.
void RegisterCatalogueOperations();
void RegisterCirculationOperations();

}  // namespace livrexa
