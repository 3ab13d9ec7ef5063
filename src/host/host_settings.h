#pragma once
// The process-wide settings of the server and the window title, guarded by one lock. The host's
// thread writes them (start-up, listener start, settings dialog); request threads and the update
// checker read or write single values for the moment of the call.

#include <mutex>
#include <string>

namespace livrexa::host {

// The five values of Config1.ini, and the optional sixth: how many daily backups each backup
// folder keeps (0: every one). The settings dialog does not show it.
struct TServerSettings {
  std::string vLocalDB;
  std::string vPastaBackup1;
  std::string vPastaBackup2;
  int vPorta = 0;
  int vHoraBackup = 0;
  int vDiasBackup = 0;
};

inline constexpr const char* kFirstTitle = "Servidor do Banco de Dados do Livrexa 1.0 - Porta 8022";
inline constexpr const char* kServingTitlePrefix = "Servidor do Banco de Dados do Livrexa 1.1 - Porta ";

class THostSettings {
 public:
  TServerSettings Get() const;
  void Set(const TServerSettings& values);
  void Clear();

  std::string LocalDB() const;
  int Port() const;

  std::string Title() const;
  void SetTitle(const std::string& title);

  std::string UpdateStatus() const;
  void SetUpdateStatus(const std::string& status);

 private:
  mutable std::mutex lock_;
  TServerSettings values_;
  std::string title_ = kFirstTitle;
  std::string statusAtualizacao_;
};

}  // namespace livrexa::host
