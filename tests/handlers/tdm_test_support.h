#pragma once
// End-to-end harness for the handler module: a real listener with TDM on a loopback port, a
// real database file made from the schema, and a host that records what the handlers hand it.

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
#include "rest/listener.h"

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
};

class TdmTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Calls an event with the given inputs as form items of a POST (values sent as they are,
  // percent-encoded).
  EventReply Call(const std::string& group, const std::string& event,
                  const std::vector<std::pair<std::string, std::string>>& inputs);
  EventReply Consulta(int flag, const std::vector<std::pair<std::string, std::string>>& more = {});
  EventReply Grava(int flag, const std::vector<std::pair<std::string, std::string>>& more = {});
  EventReply Exclui(int flag, const std::vector<std::pair<std::string, std::string>>& more = {});

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

// A dataset text with the given columns (name, field type name, size) and rows of values already
// in their written form (e.g. "1", "\"QW5h\"", "true", "null").
std::string DatasetText(const std::vector<std::tuple<std::string, std::string, int>>& columns,
                        const std::vector<std::vector<std::string>>& rows);

}  // namespace livrexa::test
