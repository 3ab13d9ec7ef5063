#pragma once
// A handler module for the listener tests: the three groups and six events that the real
// module declares, with small handlers that report what they received, so a test can see
// exactly which parameters reached an event.

#include <atomic>
#include <string>

#include "rest/listener/server_method_module.h"

namespace livrexa::test {

struct ModuleCounters {
  std::atomic<int> created{0};
  std::atomic<int> destroyed{0};
  std::atomic<int> events_run{0};
  std::atomic<int> slow_events_done{0};
};
ModuleCounters& Counters();

// Class name "TDM"; groups DWServerEventsT01_USUARI, DWServerEventsFerramentas and
// DWServerEventsTAB_GERAL in this order. Handlers:
//   ValidaUsuario     Resposta := "Usuario=<Usuario>"
//   NovaSenha         Resposta := "OK" when Senha1 = Senha2, else "ERRO"
//   AtualizaServidor  Resposta := "<ipVersion> <ip> <UserAgent> <welcome message>"
//   Consulta          Tabela := "flag=<Flag>;filtro=<Filtro>;desativados=<0|1>" (Filtro read as its own
//                     kind, so deciphered when the request asked for the cipher); Flag 999 raises "boom";
//                     Flag 998 waits 300 ms first
//   Grava             Resposta := "Tabela=<Tabela>"
//   Exclui            Resposta := "OK<Numero>"
class TestModule : public TServerMethodDataModule {
 public:
  TestModule();
  ~TestModule() override;
  std::string ClassName() const override { return "TDM"; }
};

}  // namespace livrexa::test
