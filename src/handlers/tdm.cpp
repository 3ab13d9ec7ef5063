#include "handlers/tdm.h"

#include <exception>
#include <vector>

#include "handlers/handler_limits.h"
#include "handlers/host_services.h"
#include "handlers/local_clock.h"
#include "handlers/login_throttle.h"
#include "handlers/tdm_dispatch.h"
#include "rest/http/allocator_tuning.h"
#include "rest/params/dw_params.h"
#include "rest/params/json_param.h"
#include "rest/params/json_value.h"

namespace livrexa {
namespace {

constexpr char CR = '\r';
const std::string kSeparatorLine(53, '-');

std::string MessageOf(const std::exception& e) {
  return e.what();
}

// The first `count` characters of a UTF-8 text (all of it when shorter).
std::string LeadingCharacters(const std::string& text, size_t count) {
  size_t pos = 0;
  for (size_t n = 0; n < count && pos < text.size(); ++n) {
    ++pos;
    while (pos < text.size() && (static_cast<unsigned char>(text[pos]) & 0xC0) == 0x80) ++pos;
  }
  return text.substr(0, pos);
}

}  // namespace

TDM::TDM()
    : DWServerEventsT01_USUARI(AddServerEvents("DWServerEventsT01_USUARI")),
      DWServerEventsFerramentas(AddServerEvents("DWServerEventsFerramentas")),
      DWServerEventsTAB_GERAL(AddServerEvents("DWServerEventsTAB_GERAL")),
      Database1([] { return Host().LocalDB(); }),
      DatabaseConsulta([] { return Host().LocalDB(); }),
      Query1(Database1) {
  DatabaseConsulta.UserName = HandlerLimits().ReadOnlyUser;
  DatabaseConsulta.Password = HandlerLimits().ReadOnlyPassword;
  Encoding = TEncodeSelect::esASCII;
  Host().AddRequest();
  DeclareEvents();
}

TDM::~TDM() {
  try {
    Query1.Close();
    DatabaseConsulta.Disconnect();
    Database1.Disconnect();
  } catch (...) {
    // A module going away must not take the request down with it.
  }
}

namespace {

struct TParamDeclaration {
  const char* name;
  TObjectDirection direction;
  TObjectValue kind;
  const char* defaultValue = "";
};

struct TEventDeclaration {
  int group;  // position of the group in the module: T01_USUARI, Ferramentas, TAB_GERAL
  const char* name;
  void (TDM::*handler)(TDWParams&, std::string&);
  std::vector<TParamDeclaration> params;
};

// The module's events with their parameters, in declaration order. Every parameter travels
// encoded; "Flag" falls back to 5 when a request leaves it out.
const std::vector<TEventDeclaration>& EventDeclarations() {
  using enum TObjectDirection;
  using enum TObjectValue;
  static const std::vector<TEventDeclaration> declarations = {
      {0,
       "ValidaUsuario",
       &TDM::DWServerEventsT01_USUARI_ValidaUsuario,
       {{"Usuario", odIN, ovString}, {"Senha", odIN, ovString}, {"Resposta", odOUT, ovString}}},
      {0,
       "NovaSenha",
       &TDM::DWServerEventsT01_USUARI_NovaSenha,
       {{"NumUsuario", odIN, ovString},
        {"Senha1", odIN, ovString},
        {"Senha2", odIN, ovString},
        {"Resposta", odOUT, ovString}}},
      {1,
       "AtualizaServidor",
       &TDM::DWServerEventsFerramentas_AtualizaServidor,
       {{"Resposta", odOUT, ovString}}},
      {2,
       "Consulta",
       &TDM::DWServerEvents_Consulta,
       {{"Flag", odIN, ovInteger, "5"},
        {"Filtro", odIN, ovString},
        {"Tabela", odOUT, ovString},
        {"Desativados", odIN, ovBoolean},
        {"Data1", odIN, ovString},
        {"Data2", odIN, ovString},
        {"Rotina", odIN, ovString},
        {"Usuario", odIN, ovString},
        {"Resposta", odOUT, ovString},
        {"Filtro2", odIN, ovString}}},
      {2,
       "Grava",
       &TDM::DWServerEvents_Grava,
       {{"Flag", odIN, ovInteger, "5"},
        {"Tabela", odIN, ovString},
        {"Resposta", odOUT, ovString},
        {"Tabela2", odIN, ovString},
        {"Tabela3", odIN, ovString},
        {"Tabela4", odIN, ovString},
        {"Usuario", odIN, ovString},
        {"Rotina", odIN, ovString}}},
      {2,
       "Exclui",
       &TDM::DWServerEvents_Exclui,
       {{"Flag", odIN, ovInteger, "5"},
        {"Numero", odIN, ovInteger},
        {"NumUsuario", odIN, ovInteger},
        {"Resposta", odOUT, ovString},
        {"Usuario", odIN, ovString},
        {"Rotina", odIN, ovString},
        {"Numero2", odIN, ovString}}},
  };
  return declarations;
}

}  // namespace

void TDM::DeclareEvents() {
  TDWServerEvents* groups[] = {&DWServerEventsT01_USUARI, &DWServerEventsFerramentas,
                               &DWServerEventsTAB_GERAL};
  for (const TEventDeclaration& declaration : EventDeclarations()) {
    TDWEvent& event = groups[declaration.group]->Events.Add(declaration.name);
    for (const TParamDeclaration& param : declaration.params)
      event.DWParams.Add(param.name, param.direction, param.kind, param.defaultValue);
    event.Handlers.OnReplyEvent = [this, handler = declaration.handler](TDWParams& p, std::string& r) {
      (this->*handler)(p, r);
    };
  }
}

void TDM::DWServerEvents_Consulta(TDWParams& Params, std::string&) {
  try {
    TJSONValue JSONValue;
    const int flag = Params.ParamByName("Flag").AsInteger();
    const TConsultaOperation* operation = FindConsulta(flag);
    if (!operation) throw LivrexaError("Erro do servidor. Nenhuma alternativa no flag de consulta.");
    Query1.MaxFetchBytes = HandlerLimits().MaxResultBytes;
    (*operation)(*this, Params);
    JSONValue.SetEncoding(Encoding);
    if (Query1.Active())
      JSONValue.LoadFromDataset("temp", Query1, true, TJsonMode::jmDataware, "", "", false, false);
    const bool large = JSONValue.StoredText().size() >= kLargeTransfer;
    Query1.Close();  // the rows are in the dataset text now
    if (large) ReleaseFreedMemory();
    std::string tabela = JSONValue.ToJSON();
    JSONValue.ClearStoredText();  // a result may be hundreds of megabytes: held once at a time
    Params.ParamByName("Tabela").SetAsString(tabela);
  } catch (const std::exception& e) {
    const std::string now = NowText();
    const std::string message = MessageOf(e);
    const std::string rotina = Params.ParamByName("Rotina").AsString();
    const std::string usuario = Params.ParamByName("Usuario").AsString();
    THostServices& host = Host();
    host.AppendLog("Consulta -> " + now + " - " + CR + message);
    host.AppendLog("    Rotina: " + rotina + "   Usuario: " + usuario);
    const bool rawQuery = Params.ParamByName("Flag").AsInteger() == 999;
    // Only the start of a raw query is kept: a client may send statements of any length.
    const std::string filtro = rawQuery ? LeadingCharacters(Params.ParamByName("Filtro").AsString(),
                                                            HandlerLimits().LoggedStatementLength)
                                        : std::string();
    if (rawQuery) host.AppendLog("       SQL: " + filtro);
    host.AppendLog(kSeparatorLine);
    Params.ParamByName("Resposta")
        .SetAsString(host.Title() + CR + CR + "Erro na consulta na rotina " + rotina + CR + message + CR +
                     CR + "Favor enviar a imagem dessa tela para " + host.SupportAddress());
    GravaErrLog(usuario, rotina, message);
    if (rawQuery) GravaErrLog(usuario, rotina, filtro);
  }
}

void TDM::DWServerEvents_Grava(TDWParams& Params, std::string&) {
  try {
    TFDMemTable* tables[] = {&FDMemTable1, &FDMemTable2, &FDMemTable3, &FDMemTable4};
    const char* inputs[] = {"Tabela", "Tabela2", "Tabela3", "Tabela4"};
    for (int i = 0; i < 4; ++i) {
      const std::string text = Params.ParamByName(inputs[i]).AsString();
      if (text.empty()) continue;
      tables[i]->Close();
      TJSONValue JSONValue;
      JSONValue.WriteToDataset(TDatasetType::dtFull, text, *tables[i], true);
    }
    const int flag = Params.ParamByName("Flag").AsInteger();
    const TGravaOperation* operation = FindGrava(flag);
    if (!operation) throw LivrexaError("Erro do servidor. Nenhuma alternativa no flag de gravação.");
    const std::string reply = (*operation)(*this);
    Params.ParamByName("Resposta").SetAsString(reply);
  } catch (const std::exception& e) {
    const std::string message = MessageOf(e);
    Host().AppendLog("Grava --> " + NowText() + " - " + CR + message);
    Params.ParamByName("Resposta").SetAsString(message);
    GravaErrLog(Params.ParamByName("Usuario").AsString(), Params.ParamByName("Rotina").AsString(), message);
  }
}

void TDM::DWServerEvents_Exclui(TDWParams& Params, std::string&) {
  try {
    const int flag = Params.ParamByName("Flag").AsInteger();
    const TExcluiOperation* operation = FindExclui(flag);
    const std::string reply = operation ? (*operation)(*this, Params)
                                        : "Erro do servidor. Nenhuma alternativa no flag de exclusão.";
    Params.ParamByName("Resposta").SetAsString(reply);
  } catch (const std::exception& e) {
    const std::string message = MessageOf(e);
    const std::string numero = Params.ParamByName("Numero").AsString();
    Host().AppendLog("Exclui --> " + NowText() + " - " + CR + message + " Numero " + numero);
    Params.ParamByName("Resposta").SetAsString(message);
    GravaErrLog(Params.ParamByName("Usuario").AsString(), Params.ParamByName("Rotina").AsString(),
                " Numero " + numero + " - " + message);
  }
}

void TDM::DWServerEventsT01_USUARI_ValidaUsuario(TDWParams& Params, std::string&) {
  try {
    const std::string senha = Params.ParamByName("Senha").AsString();
    const std::string usuario = Params.ParamByName("Usuario").AsString();
    // Repeated failures from one address slow its further attempts down.
    TLoginThrottle& throttle = TLoginThrottle::Shared();
    throttle.Wait(ClientInfo.ip);
    const std::string answer = ValidaLogin(usuario, senha);
    if (answer == "ERRO") throttle.RecordFailure(ClientInfo.ip);
    Params.ParamByName("Resposta").SetAsString(answer);
  } catch (const std::exception& e) {
    const std::string message = MessageOf(e);
    Host().AppendLog("ValidaUsuario --> " + std::string(1, CR) + message);
    Params.ParamByName("Resposta")
        .SetAsString("Ocorreu um erro na consulta no banco de dados." + std::string(1, CR) + message);
  }
}

void TDM::DWServerEventsT01_USUARI_NovaSenha(TDWParams& Params, std::string&) {
  try {
    const std::string senha2 = Params.ParamByName("Senha2").AsString();
    const std::string senha1 = Params.ParamByName("Senha1").AsString();
    const std::string numUsuario = Params.ParamByName("NumUsuario").AsString();
    Params.ParamByName("Resposta").SetAsString(GravaNovaSenha(numUsuario, senha1, senha2));
  } catch (const std::exception& e) {
    const std::string message = MessageOf(e);
    Host().AppendLog("GravaNovaSenha --> " + message);
    Params.ParamByName("Resposta").SetAsString(message);
  }
}

void TDM::DWServerEventsFerramentas_AtualizaServidor(TDWParams& Params, std::string&) {
  try {
    THostServices& host = Host();
    host.SetStatusAtualizacao("OK");
    host.CheckUpdate();
    Params.ParamByName("Resposta").SetAsString(host.StatusAtualizacao());
  } catch (const std::exception& e) {
    const std::string message = MessageOf(e);
    Host().AppendLog("AtualizaServidor --> " + std::string(1, CR) + message);
    Params.ParamByName("Resposta")
        .SetAsString("Ocorreu um erro na atualização do servidor. " + std::string(1, CR) + message);
  }
}

}  // namespace livrexa
