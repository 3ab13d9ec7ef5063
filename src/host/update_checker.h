#pragma once
// The update check: reads a version manifest (file:// or http:// address, a setting of ours) on a
// thread of its own and reports through the checker's events, which write the update status text.
// Manifest format: an ini text with "[LIVREXA]" and "Versao=<number>".
// Downloading and installing a newer version is not done here: a newer version is only logged.

#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "host/host_settings.h"

namespace livrexa::host {

inline constexpr int kServerVersionNumber = 3;
inline constexpr const char* kStatusAtualizado = "Atualizado";
inline constexpr const char* kStatusSemAtualizacao = "Não existe atualização disponível no momento.";
inline constexpr const char* kStatusErroAtualizacao =
    "Ocorreu um erro na atualização.\rCausas possíveis:\rNão existe conexão com a internet ou foi "
    "desconectado.";

// Reads the manifest's text; throws LivrexaError when the address is unsupported or unreachable.
std::string FetchManifest(const std::string& address);
// The version number of a manifest's text; throws LivrexaError when it has none.
int ManifestVersion(const std::string& manifestText);

class TUpdateChecker {
 public:
  using TLog = std::function<void(const std::string&)>;

  TUpdateChecker(THostSettings& settings, std::string manifestAddress, TLog log,
                 int currentVersion = kServerVersionNumber);
  ~TUpdateChecker();  // waits for a check in progress

  // Starts a check and returns at once; a check already running is left to finish instead.
  void CheckUpdate();
  void WaitIdle();

  // The checker's events.
  void OnNoUpdateAvailable();
  void OnHostUnreachable();

 private:
  void Run();

  THostSettings& settings_;
  std::string address_;
  TLog log_;
  int currentVersion_;
  std::mutex lock_;
  std::thread worker_;
  bool running_ = false;
};

}  // namespace livrexa::host
