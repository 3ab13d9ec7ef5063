#pragma once
// End-to-end harness for the handler module: a real listener with TDM (and every catalogue and
// circulation flag) on a loopback port, a fresh database file made from the schema and the demo
// data, and a host that records what the handlers hand it.

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "handlers/host_services.h"
#include "rest/dataset/mem_table.h"
#include "rest/listener/listener.h"
#include "support/dataset_rows.h"

namespace livrexa::test {

class RecordingHost : public THostServices {
 public:
  void AppendLog(const std::string& entry) override;
  void AddRequest() override { ++requests; }
  std::string LocalDB() const override;
  std::string Title() const override { return "Servidor do Banco de Dados do Livrexa 1.1 - Porta 7022"; }
  std::string StatusAtualizacao() const override;
  void SetStatusAtualizacao(const std::string& status) override;
  void CheckUpdate() override { ++updateChecks; }
  std::string SupportAddress() const override { return "suporte@livrexa.example"; }

  void SetLocalDB(const std::string& path);
  std::vector<std::string> Log() const;
  void ClearLog();

  std::atomic<int> requests{0};
  std::atomic<int> updateChecks{0};

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> log_;
  std::string localDB_;
  std::string status_;
};

// A reply of the listener, with the output parameters decoded.
struct EventReply {
  int status = 0;
  std::string body;
  // Output parameters by upper-case name: the decoded text, or nullopt for a null value.
  std::map<std::string, std::optional<std::string>> params;
  std::optional<std::string> Param(const std::string& name) const;
  // "Resposta" ("" when absent or null, which fails the test).
  std::string Resposta() const;
  // The rows of "Tabela", as a client reads them.
  TFDMemTable Rows() const { return ReadRows(Param("TABELA")); }
};

// Calls an event of the listener on a loopback port with the given inputs as form items of a POST
// (values sent as they are, percent-encoded), with the clients' credentials.
EventReply CallEvent(uint16_t port, const std::string& group, const std::string& event,
                     const std::vector<std::pair<std::string, std::string>>& inputs);

// The inputs of the three general events; what a test leaves out is sent empty (false, 0).
struct TConsultaInputs {
  std::string Filtro{};
  std::string Filtro2{};
  bool Desativados = false;
  std::string Data1{};
  std::string Data2{};
  std::string Usuario{};
  std::string Rotina{};
};
struct TGravaInputs {
  std::string Tabela{};
  std::string Tabela2{};
  std::string Tabela3{};
  std::string Tabela4{};
  std::string Usuario{};
  std::string Rotina{};
};
struct TExcluiInputs {
  int Numero = 0;
  int NumUsuario = 0;
  std::string Usuario{};
  std::string Rotina{};
};

class TdmTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Calls an event with the given inputs as form items of a POST (values sent as they are,
  // percent-encoded).
  EventReply Call(const std::string& group, const std::string& event,
                  const std::vector<std::pair<std::string, std::string>>& inputs);
  // "Consulta", "Grava" or "Exclui" with the flag and the inputs given as texts, as they are.
  EventReply Send(const std::string& event, int flag,
                  const std::vector<std::pair<std::string, std::string>>& inputs = {});
  EventReply Consulta(int flag, const TConsultaInputs& in = {});
  EventReply Grava(int flag, const TGravaInputs& in = {});
  EventReply Exclui(int flag, const TExcluiInputs& in = {});

  // Rows of error-log, as "Usuario|Rotina|Descricao" in T99_NumLog order.
  std::vector<std::string> ErrLogRows();
  // Runs a statement with its own connection and returns the first column of the first row.
  std::string Scalar(const std::string& sql);
  void Exec(const std::string& sql);

  RecordingHost host_;
  std::filesystem::path database_;
  std::unique_ptr<TRESTServicePooler> listener_;
  uint16_t port_ = 0;
};

}  // namespace livrexa::test
