#include "host/host_settings.h"

namespace livrexa::host {

TServerSettings THostSettings::Get() const {
  std::lock_guard guard(lock_);
  return values_;
}

void THostSettings::Set(const TServerSettings& values) {
  std::lock_guard guard(lock_);
  values_ = values;
}

void THostSettings::Clear() {
  Set(TServerSettings{});
}

std::string THostSettings::LocalDB() const {
  std::lock_guard guard(lock_);
  return values_.vLocalDB;
}

int THostSettings::Port() const {
  std::lock_guard guard(lock_);
  return values_.vPorta;
}

std::string THostSettings::Title() const {
  std::lock_guard guard(lock_);
  return title_;
}

void THostSettings::SetTitle(const std::string& title) {
  std::lock_guard guard(lock_);
  title_ = title;
}

std::string THostSettings::UpdateStatus() const {
  std::lock_guard guard(lock_);
  return statusAtualizacao_;
}

void THostSettings::SetUpdateStatus(const std::string& status) {
  std::lock_guard guard(lock_);
  statusAtualizacao_ = status;
}

}  // namespace livrexa::host
