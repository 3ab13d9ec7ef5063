#pragma once
// What the shared start-up, backup and restore logic shows: the window in desktop mode, standard
// output in headless mode. Every call comes on the host's thread.

#include <string>

namespace livrexa::host {

class THostView {
 public:
  virtual ~THostView() = default;
  virtual void ShowStatusPanels(const std::string& panel1, const std::string& panel2) = 0;
  virtual void ShowTitle(const std::string& title) = 0;
  virtual void ShowMessage(const std::string& text) = 0;
  // The settings dialog when the database is not found (desktop), or the advice on fixing
  // Config1.ini (headless).
  virtual void OpenSettings() = 0;
  virtual void AppendLogEntry(const std::string& entry) = 0;
  virtual void ClearLog() = 0;
  virtual void AddRequestCount() = 0;
};

}  // namespace livrexa::host
