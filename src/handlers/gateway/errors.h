#pragma once
// A failure reported by the database engine, without the engine's headers: the operations and the
// handler module catch and inspect it; only the gateway's own files include the client library.

#include <cstdint>
#include <string>
#include <vector>

#include "rest/wire/errors.h"

namespace livrexa {

// Fatal means the attachment that met it is unusable (connection lost, database shut down, file
// gone): it must not go back to the pool.
class TFbError : public LivrexaError {
 public:
  TFbError(const std::string& message, std::vector<intptr_t> codes, bool fatal)
      : LivrexaError(message), codes_(std::move(codes)), fatal_(fatal) {}
  bool Fatal() const { return fatal_; }
  // The engine's error codes (isc_...), in the order the status vector lists them.
  const std::vector<intptr_t>& Codes() const { return codes_; }
  bool Has(intptr_t code) const;
  // Another transaction holds or has changed the row (lock conflict, update conflict, deadlock).
  bool Conflict() const;
  // A unique key or index refused a value: another transaction stored it first.
  bool Duplicate() const;
  // The database server could not be reached or is shutting the database down: worth trying
  // again later, unlike a refusal (unknown database, wrong user or password).
  bool Unreachable() const;

 private:
  std::vector<intptr_t> codes_;
  bool fatal_;
};

}  // namespace livrexa
