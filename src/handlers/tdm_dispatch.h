#pragma once
// The flag tables of "Consulta", "Grava" and "Exclui". Each entry reads the inputs its operation
// needs from the request and runs it. The handlers' own operations (users, settings record, error
// log, raw query) are always in the tables; the catalogue and circulation libraries add theirs
// through the Register functions while the process starts, before the listener is switched on,
// so request threads only ever read the tables.

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

void RegisterConsulta(int flag, TConsultaOperation operation);
void RegisterGrava(int flag, TGravaOperation operation);
void RegisterExclui(int flag, TExcluiOperation operation);

}  // namespace livrexa
