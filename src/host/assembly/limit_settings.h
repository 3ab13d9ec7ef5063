#pragma once
// The limits that keep one client of the school network from harming the others, as settings:
// the optional section "LIMITES" of Config1.ini. Every key is optional and the defaults are the
// ones the listener and the handlers are built with. A value that is not a whole number within
// its key's range keeps the default and is reported, so a typing error never lifts a limit.
//
//   [LIMITES]
//   ConexoesMaximas=256            connections open at once
//   ConexoesPorEndereco=16         connections from one address
//   PrazoCabecalhoSegundos=10      the request line and headers, from the accept
//   PrazoLeituraSegundos=60        any one read
//   PrazoEscritaSegundos=60        the reply, plus its size at TaxaMinimaRespostaKB
//   TaxaMinimaCorpoKB=8            KB per second a body must keep up (0: none)
//   TaxaMinimaRespostaKB=8         KB per second a reply must be taken at (0: none)
//   CorpoMaximoMB=256              a request body
//   ParametrosMaximos=1000         query, form and header items of one request
//   RespostaMaximaMB=1024          a reply
//   ResultadoMaximoMB=576          the values one "Consulta" may fetch
//   ConsultaLivreSegundos=300      a raw query ("Consulta" 999) before it is cancelled
//   TextoRegistradoCaracteres=1000 characters of a raw query kept in the logs
//   FalhasLoginLivres=10           failed logins a minute from one address before they are slowed
//   PausaLoginMaximaSegundos=15    the longest wait of a slowed login

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace livrexa {
class TRESTServicePooler;
struct THandlerLimits;
}  // namespace livrexa

namespace livrexa::host {

inline constexpr const char* kLimitsSection = "LIMITES";

struct TLimitSettings {
  struct TValue {
    size_t key;  // index into the table of keys
    int64_t value;
  };
  std::vector<TValue> values;         // the keys present with a valid value
  std::vector<std::string> problems;  // one log entry per rejected value
};

// Reads the section from the home's Config1.ini (a missing file or section: no values).
TLimitSettings ReadLimitSettings(const std::filesystem::path& home);

// Sets the values read on a listener before it is switched on, and on the handlers' limits.
void ApplyListenerLimits(const TLimitSettings& settings, TRESTServicePooler& pooler);
void ApplyHandlerLimits(const TLimitSettings& settings, THandlerLimits& limits);

}  // namespace livrexa::host
