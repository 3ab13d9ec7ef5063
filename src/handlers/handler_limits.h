#pragma once
// Limits of the request handlers that keep one client from harming the others. The host sets them
// while the process starts, before the listener is switched on; request threads only read them.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace livrexa {

struct THandlerLimits {
  // The raw query ("Consulta" 999) runs as this database user, which may only read the tables
  // (db/grant-readonly.sql gives it SELECT on every table and nothing else).
  std::string ReadOnlyUser = "LIVREXA_LEITURA";
  // A raw query still running after this long is cancelled.
  std::chrono::milliseconds RawQueryTimeLimit{std::chrono::minutes(5)};
  // Characters of a raw query's text kept in the window log and the error log.
  size_t LoggedStatementLength = 1000;
  // Values a "Consulta" may fetch. A reply carries them base64-encoded twice (16/9 of their size)
  // with some framing, so this keeps it within the listener's 1 GiB reply limit.
  uint64_t MaxResultBytes = 576ull << 20;
  // Failed logins from one address within a minute that go unhindered; each further attempt from
  // that address waits LoginDelayStep longer than the one before, up to LoginDelayMax.
  int FreeLoginFailures = 10;
  std::chrono::milliseconds LoginDelayStep{1000};
  std::chrono::milliseconds LoginDelayMax{15000};
};

THandlerLimits& HandlerLimits();

}  // namespace livrexa
