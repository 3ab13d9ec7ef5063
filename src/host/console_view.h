#pragma once
// The headless mode's view: log entries on standard output, one per line (a CR inside an entry
// becomes a blank), messages on standard error.

#include <cstdio>
#include <string>

#include "host/host_view.h"

namespace livrexa::host {

class TConsoleView : public THostView {
 public:
  TConsoleView(std::FILE* out, std::FILE* err, std::string configPath)
      : out_(out), err_(err), configPath_(std::move(configPath)) {}

  void ShowStatusPanels(const std::string& panel1, const std::string& panel2) override;
  void ShowTitle(const std::string& title) override;
  void ShowMessage(const std::string& text) override;
  void OpenSettings() override;
  void AppendLogEntry(const std::string& entry) override;
  void ClearLog() override {}
  void AddRequestCount() override { ++requests_; }

  long long Requests() const { return requests_; }
  bool SettingsAsked() const { return settingsAsked_; }

 private:
  void Line(std::FILE* stream, const std::string& text);

  std::FILE* out_;
  std::FILE* err_;
  std::string configPath_;
  long long requests_ = 0;
  bool settingsAsked_ = false;
};

// One line of console output: CR and LF inside the text become blanks.
std::string SingleLine(const std::string& text);

}  // namespace livrexa::host
