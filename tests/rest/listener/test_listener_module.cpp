#include "test_listener_module.h"

#include <chrono>
#include <thread>

#include "rest/params/dw_params.h"
#include "rest/wire/errors.h"

namespace livrexa::test {

using enum TObjectDirection;
using enum TObjectValue;

ModuleCounters& Counters() {
  static ModuleCounters counters;
  return counters;
}

TestModule::TestModule() {
  ++Counters().created;

  TDWServerEvents& usuari = AddServerEvents("DWServerEventsT01_USUARI");
  TDWEvent& valida = usuari.Events.Add("ValidaUsuario");
  valida.DWParams.Add("Usuario", odIN, ovString);
  valida.DWParams.Add("Senha", odIN, ovString);
  valida.DWParams.Add("Resposta", odOUT, ovString);
  valida.Handlers.OnReplyEvent = [](TDWParams& p, std::string&) {
    ++Counters().events_run;
    p.ParamByName("Resposta").SetAsString("Usuario=" + p.ParamByName("Usuario").AsString());
  };
  TDWEvent& nova = usuari.Events.Add("NovaSenha");
  nova.DWParams.Add("NumUsuario", odIN, ovString);
  nova.DWParams.Add("Senha1", odIN, ovString);
  nova.DWParams.Add("Senha2", odIN, ovString);
  nova.DWParams.Add("Resposta", odOUT, ovString);
  nova.Handlers.OnReplyEvent = [](TDWParams& p, std::string&) {
    ++Counters().events_run;
    const bool same = p.ParamByName("Senha1").AsString() == p.ParamByName("Senha2").AsString();
    p.ParamByName("Resposta").SetAsString(same ? "OK" : "ERRO");
  };

  TDWServerEvents& tools = AddServerEvents("DWServerEventsFerramentas");
  TDWEvent& update = tools.Events.Add("AtualizaServidor");
  update.DWParams.Add("Resposta", odOUT, ovString);
  update.Handlers.OnReplyEvent = [this](TDWParams& p, std::string&) {
    ++Counters().events_run;
    p.ParamByName("Resposta")
        .SetAsString(ClientInfo.ipVersion + " " + ClientInfo.ip + " " + ClientInfo.UserAgent + " " +
                     ClientWelcomeMessage);
  };

  TDWServerEvents& geral = AddServerEvents("DWServerEventsTAB_GERAL");
  TDWEvent& consulta = geral.Events.Add("Consulta");
  consulta.DWParams.Add("Flag", odIN, ovInteger, "5");
  consulta.DWParams.Add("Filtro", odIN, ovString);
  consulta.DWParams.Add("Tabela", odOUT, ovString);
  consulta.DWParams.Add("Desativados", odIN, ovBoolean);
  consulta.DWParams.Add("Data1", odIN, ovString);
  consulta.DWParams.Add("Data2", odIN, ovString);
  consulta.DWParams.Add("Rotina", odIN, ovString);
  consulta.DWParams.Add("Usuario", odIN, ovString);
  consulta.DWParams.Add("Resposta", odOUT, ovString);
  consulta.DWParams.Add("Filtro2", odIN, ovString);
  consulta.Handlers.OnReplyEvent = [](TDWParams& p, std::string&) {
    ++Counters().events_run;
    const int flag = p.ParamByName("Flag").AsInteger();
    if (flag == 999) throw LivrexaError("boom");
    if (flag == 998) {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      ++Counters().slow_events_done;
    }
    p.ParamByName("Tabela").SetAsString(
        "flag=" + std::to_string(flag) + ";filtro=" + VarToText(p.ParamByName("Filtro").GetVariantValue()) +
        ";desativados=" + (p.ParamByName("Desativados").AsBoolean() ? "1" : "0"));
  };
  TDWEvent& grava = geral.Events.Add("Grava");
  grava.DWParams.Add("Flag", odIN, ovInteger, "5");
  grava.DWParams.Add("Tabela", odIN, ovString);
  grava.DWParams.Add("Resposta", odOUT, ovString);
  grava.DWParams.Add("Tabela2", odIN, ovString);
  grava.DWParams.Add("Tabela3", odIN, ovString);
  grava.DWParams.Add("Tabela4", odIN, ovString);
  grava.DWParams.Add("Usuario", odIN, ovString);
  grava.DWParams.Add("Rotina", odIN, ovString);
  grava.Handlers.OnReplyEvent = [](TDWParams& p, std::string&) {
    ++Counters().events_run;
    p.ParamByName("Resposta").SetAsString("Tabela=" + p.ParamByName("Tabela").AsString());
  };
  TDWEvent& exclui = geral.Events.Add("Exclui");
  exclui.DWParams.Add("Flag", odIN, ovInteger, "5");
  exclui.DWParams.Add("Numero", odIN, ovInteger);
  exclui.DWParams.Add("NumUsuario", odIN, ovInteger);
  exclui.DWParams.Add("Resposta", odOUT, ovString);
  exclui.DWParams.Add("Usuario", odIN, ovString);
  exclui.DWParams.Add("Rotina", odIN, ovString);
  exclui.DWParams.Add("Numero2", odIN, ovString);
  exclui.Handlers.OnReplyEvent = [](TDWParams& p, std::string&) {
    ++Counters().events_run;
    p.ParamByName("Resposta").SetAsString("OK" + std::to_string(p.ParamByName("Numero").AsInteger()));
  };
}

TestModule::~TestModule() {
  ++Counters().destroyed;
}

}  // namespace livrexa::test
