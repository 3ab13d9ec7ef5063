#include "handlers/host_services.h"

#include <atomic>

namespace livrexa {
namespace {

// Used until a host installs itself (tools and tests that need no window): it keeps nothing.
class TNoHost final : public THostServices {
 public:
  void AppendLog(const std::string&) override {}
  void AddRequest() override {}
  std::string LocalDB() const override { return {}; }
  std::string Title() const override { return {}; }
  std::string StatusAtualizacao() const override { return {}; }
  void SetStatusAtualizacao(const std::string&) override {}
  void CheckUpdate() override {}
  std::string SupportAddress() const override { return {}; }
};

TNoHost gNoHost;
std::atomic<THostServices*> gHost{&gNoHost};

}  // namespace

THostServices& Host() {
  return *gHost.load(std::memory_order_acquire);
}

void SetHost(THostServices* host) {
  gHost.store(host ? host : &gNoHost, std::memory_order_release);
}

}  // namespace livrexa
