#include "host/assembly/limit_settings.h"

#include <chrono>

#include "handlers/handler_limits.h"
#include "host/config_file.h"
#include "host/ini_file.h"
#include "rest/listener/listener.h"

namespace livrexa::host {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

constexpr int64_t kKB = 1024;
constexpr int64_t kMB = 1024 * 1024;

struct TLimitKey {
  const char* name;
  int64_t min;
  int64_t max;
  void (*listener)(TRESTServicePooler&, int64_t);
  void (*handlers)(THandlerLimits&, int64_t);
};

// The keys of the section. Each sets one field of the listener or of the handlers.
const TLimitKey kLimitKeys[] = {
    {"ConexoesMaximas", 1, 65535, [](TRESTServicePooler& p, int64_t v) { p.MaxConnections = v; }, nullptr},
    {"ConexoesPorEndereco", 1, 65535, [](TRESTServicePooler& p, int64_t v) { p.MaxConnectionsPerPeer = v; },
     nullptr},
    {"PrazoCabecalhoSegundos", 1, 3600, [](TRESTServicePooler& p, int64_t v) { p.HeadTimeout = seconds(v); },
     nullptr},
    {"PrazoLeituraSegundos", 1, 3600, [](TRESTServicePooler& p, int64_t v) { p.IdleTimeout = seconds(v); },
     nullptr},
    {"PrazoEscritaSegundos", 1, 3600, [](TRESTServicePooler& p, int64_t v) { p.WriteTimeout = seconds(v); },
     nullptr},
    {"TaxaMinimaCorpoKB", 0, 1 << 20, [](TRESTServicePooler& p, int64_t v) { p.MinBodyRate = v * kKB; },
     nullptr},
    {"TaxaMinimaRespostaKB", 0, 1 << 20, [](TRESTServicePooler& p, int64_t v) { p.MinWriteRate = v * kKB; },
     nullptr},
    {"CorpoMaximoMB", 1, 4096, [](TRESTServicePooler& p, int64_t v) { p.MaxBodySize = v * kMB; }, nullptr},
    {"ParametrosMaximos", 1, 1000000, [](TRESTServicePooler& p, int64_t v) { p.MaxParams = v; }, nullptr},
    {"RespostaMaximaMB", 1, 16384, [](TRESTServicePooler& p, int64_t v) { p.MaxReplySize = v * kMB; },
     nullptr},
    {"ResultadoMaximoMB", 1, 16384, nullptr,
     [](THandlerLimits& l, int64_t v) { l.MaxResultBytes = v * kMB; }},
    {"ConsultaLivreSegundos", 1, 86400, nullptr,
     [](THandlerLimits& l, int64_t v) { l.RawQueryTimeLimit = seconds(v); }},
    {"TextoRegistradoCaracteres", 1, 1000000, nullptr,
     [](THandlerLimits& l, int64_t v) { l.LoggedStatementLength = v; }},
    {"FalhasLoginLivres", 1, 1000000, nullptr, [](THandlerLimits& l, int64_t v) { l.FreeLoginFailures = v; }},
    {"PausaLoginMaximaSegundos", 1, 3600, nullptr,
     [](THandlerLimits& l, int64_t v) { l.LoginDelayMax = seconds(v); }},
};

}  // namespace

TLimitSettings ReadLimitSettings(const std::filesystem::path& home) {
  TLimitSettings settings;
  const TIniFile ini(ConfigPath(home));
  for (size_t i = 0; i < std::size(kLimitKeys); ++i) {
    const TLimitKey& key = kLimitKeys[i];
    const std::optional<std::string> text = ini.Find(kLimitsSection, key.name);
    if (!text) continue;
    const std::optional<int> value = ParseIniInteger(*text);
    if (value && *value >= key.min && *value <= key.max) {
      settings.values.push_back({i, *value});
    } else {
      settings.problems.push_back("Config1.ini [" + std::string(kLimitsSection) + "] " + key.name + "=" +
                                  *text + ": valor inválido (de " + std::to_string(key.min) + " a " +
                                  std::to_string(key.max) + "); vale o padrão.");
    }
  }
  return settings;
}

void ApplyListenerLimits(const TLimitSettings& settings, TRESTServicePooler& pooler) {
  for (const TLimitSettings::TValue& v : settings.values)
    if (kLimitKeys[v.key].listener) kLimitKeys[v.key].listener(pooler, v.value);
}

void ApplyHandlerLimits(const TLimitSettings& settings, THandlerLimits& limits) {
  for (const TLimitSettings::TValue& v : settings.values)
    if (kLimitKeys[v.key].handlers) kLimitKeys[v.key].handlers(limits, v.value);
}

}  // namespace livrexa::host
