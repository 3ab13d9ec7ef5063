#include "rest/listener/server_method_module.h"

namespace livrexa {

void TServerMethodDataModule::SetClientInfo(const std::string& ip, const std::string& ip_version, int port,
                                            const std::string& user_agent) {
  ClientInfo.ip = ip;
  ClientInfo.ipVersion = ip_version;
  ClientInfo.port = port;
  ClientInfo.UserAgent = user_agent;
}

TDWServerEvents& TServerMethodDataModule::AddServerEvents(std::string component_name) {
  groups_.push_back(std::make_unique<TDWServerEvents>(std::move(component_name)));
  return *groups_.back();
}

}  // namespace livrexa
