#include "support/tdm_fixture.h"

#include <rapidjson/document.h>

#include "handlers/gateway/connection.h"
#include "handlers/gateway/query.h"
#include "handlers/tdm.h"
#include "handlers/tdm_dispatch.h"
#include "rest/wire/text_codec.h"
#include "support/firebird_db.h"
#include "support/http_client.h"

namespace livrexa::test {

void RecordingHost::AppendLog(const std::string& entry) {
  std::lock_guard lock(mutex_);
  log_.push_back(entry);
}

std::string RecordingHost::LocalDB() const {
  std::lock_guard lock(mutex_);
  return localDB_;
}

std::string RecordingHost::StatusAtualizacao() const {
  std::lock_guard lock(mutex_);
  return status_;
}

void RecordingHost::SetStatusAtualizacao(const std::string& status) {
  std::lock_guard lock(mutex_);
  status_ = status;
}

void RecordingHost::SetLocalDB(const std::string& path) {
  std::lock_guard lock(mutex_);
  localDB_ = path;
}

std::vector<std::string> RecordingHost::Log() const {
  std::lock_guard lock(mutex_);
  return log_;
}

void RecordingHost::ClearLog() {
  std::lock_guard lock(mutex_);
  log_.clear();
}

std::optional<std::string> EventReply::Param(const std::string& name) const {
  const auto it = params.find(name);
  if (it == params.end()) {
    ADD_FAILURE() << "no output parameter " << name << " in " << body;
    return std::nullopt;
  }
  return it->second;
}

std::string EventReply::Resposta() const {
  const std::optional<std::string> resposta = Param("RESPOSTA");
  EXPECT_TRUE(resposta.has_value()) << "Resposta is null in " << body;
  return resposta.value_or("");
}

namespace {

std::string PercentEncode(const std::string& text) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
        c == '.') {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back('%');
      out.push_back(hex[c >> 4]);
      out.push_back(hex[c & 15]);
    }
  }
  return out;
}

EventReply Decode(const livrexa::test::RawReply& raw) {
  EventReply reply;
  reply.status = raw.status;
  reply.body = raw.body;
  rapidjson::Document doc;
  doc.Parse(raw.body.c_str());
  if (doc.HasParseError() || !doc.IsObject() || !doc.HasMember("PARAMS") || !doc["PARAMS"].IsArray())
    return reply;
  for (const auto& p : doc["PARAMS"].GetArray()) {
    if (!p.IsObject() || p.MemberCount() < 5) continue;
    const auto member = p.MemberBegin() + 4;
    const std::string name = member->name.GetString();
    if (member->value.IsNull())
      reply.params[name] = std::nullopt;
    else if (member->value.IsString())
      reply.params[name] = DecodeText(member->value.GetString());
    else if (member->value.IsInt())
      reply.params[name] = std::to_string(member->value.GetInt());
  }
  return reply;
}

}  // namespace

void TdmTest::SetUp() {
  RegisterCatalogueOperations();
  RegisterCirculationOperations();
  database_ = NewDatabase(/*demo=*/true);
  host_.SetLocalDB(database_.string());
  SetHost(&host_);
  listener_ = std::make_unique<TRESTServicePooler>();
  listener_->ServicePort = 0;
  listener_->BindAddresses = {"127.0.0.1"};
  listener_->SetServerMethodClass(TServerMethodClass::Of<TDM>());
  listener_->SetActive(true);
  port_ = listener_->BoundPort();
}

void TdmTest::TearDown() {
  listener_->SetActive(false);
  listener_.reset();
  SetHost(nullptr);
  TFbPool::Shared().Clear();
}

EventReply CallEvent(uint16_t port, const std::string& group, const std::string& event,
                     const std::vector<std::pair<std::string, std::string>>& inputs) {
  std::string body;
  for (const auto& [name, value] : inputs) {
    if (!body.empty()) body += "&";
    body += name + "=" + PercentEncode(value);
  }
  const std::string headers = livrexa::test::BasicAuthLine("Tivel", "Tivel1968") +
                              "Content-Type: application/x-www-form-urlencoded\r\n";
  const auto raw = livrexa::test::Exchange(
      port, livrexa::test::BuildRequest("POST", "/" + group + "/" + event, headers, body));
  return Decode(raw);
}

EventReply TdmTest::Call(const std::string& group, const std::string& event,
                         const std::vector<std::pair<std::string, std::string>>& inputs) {
  return CallEvent(port_, group, event, inputs);
}

EventReply TdmTest::Send(const std::string& event, int flag,
                         const std::vector<std::pair<std::string, std::string>>& inputs) {
  std::vector<std::pair<std::string, std::string>> all{{"Flag", std::to_string(flag)}};
  all.insert(all.end(), inputs.begin(), inputs.end());
  return Call("DWServerEventsTAB_GERAL", event, all);
}

EventReply TdmTest::Consulta(int flag, const TConsultaInputs& in) {
  return Send("Consulta", flag,
              {{"Filtro", in.Filtro},
               {"Filtro2", in.Filtro2},
               {"Desativados", in.Desativados ? "true" : "false"},
               {"Data1", in.Data1},
               {"Data2", in.Data2},
               {"Usuario", in.Usuario},
               {"Rotina", in.Rotina}});
}

EventReply TdmTest::Grava(int flag, const TGravaInputs& in) {
  return Send("Grava", flag,
              {{"Tabela", in.Tabela},
               {"Tabela2", in.Tabela2},
               {"Tabela3", in.Tabela3},
               {"Tabela4", in.Tabela4},
               {"Usuario", in.Usuario},
               {"Rotina", in.Rotina}});
}

EventReply TdmTest::Exclui(int flag, const TExcluiInputs& in) {
  return Send("Exclui", flag,
              {{"Numero", std::to_string(in.Numero)},
               {"NumUsuario", std::to_string(in.NumUsuario)},
               {"Usuario", in.Usuario},
               {"Rotina", in.Rotina}});
}

std::vector<std::string> TdmTest::ErrLogRows() {
  TFbConnection connection([this] { return database_.string(); }, nullptr);
  TFbQuery query(connection);
  query.SQL.Add("Select T99_Usuario, T99_Rotina, T99_Descricao From T99_ErrLog Order by T99_NumLog");
  query.Open();
  std::vector<std::string> rows;
  for (; !query.Eof(); query.Next())
    rows.push_back(query.AsString(size_t{0}) + "|" + query.AsString(size_t{1}) + "|" +
                   query.AsString(size_t{2}));
  return rows;
}

std::string TdmTest::Scalar(const std::string& sql) {
  TFbConnection connection([this] { return database_.string(); }, nullptr);
  TFbQuery query(connection);
  query.SQL.Add(sql);
  query.Open();
  return query.Eof() ? std::string() : query.AsString(size_t{0});
}

void TdmTest::Exec(const std::string& sql) {
  TFbConnection connection([this] { return database_.string(); }, nullptr);
  TFbQuery query(connection);
  connection.StartTransaction();
  query.SQL.Add(sql);
  query.ExecSQL();
  connection.Commit();
}

}  // namespace livrexa::test
