#pragma once
// The host's side of THostServices: log entries and counter increments are posted to the host's
// thread in the order they are issued; settings are read under the settings lock.

#include "handlers/host_services.h"
#include "host/host_settings.h"
#include "host/host_thread.h"
#include "host/host_view.h"
#include "host/update_checker.h"

namespace livrexa::host {

inline constexpr const char* kSupportAddress = "suporte@livrexa.com.br";

class THostServicesBridge : public THostServices {
 public:
  THostServicesBridge(THostSettings& settings, THostThread& thread, THostView& view, TUpdateChecker& checker)
      : settings_(settings), thread_(thread), view_(view), checker_(checker) {}

  void AppendLog(const std::string& entry) override {
    thread_.Post([this, entry] { view_.AppendLogEntry(entry); });
  }
  void AddRequest() override {
    thread_.Post([this] { view_.AddRequestCount(); });
  }
  std::string LocalDB() const override { return settings_.LocalDB(); }
  std::string Title() const override { return settings_.Title(); }
  std::string StatusAtualizacao() const override { return settings_.UpdateStatus(); }
  void SetStatusAtualizacao(const std::string& status) override { settings_.SetUpdateStatus(status); }
  void CheckUpdate() override { checker_.CheckUpdate(); }
  std::string SupportAddress() const override { return kSupportAddress; }

 private:
  THostSettings& settings_;
  THostThread& thread_;
  THostView& view_;
  TUpdateChecker& checker_;
};

}  // namespace livrexa::host
