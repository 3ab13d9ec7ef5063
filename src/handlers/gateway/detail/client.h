#pragma once
#if defined(LIVREXA_NO_ENGINE_HEADERS)
#error "code outside the gateway reaches the database through its public headers only"
#endif
// The database gateway's access to the Firebird client library (libfbclient): the engine in this
// process for a database file, the remote protocol for a database on a Firebird server.
//
// Why the object-oriented API (firebird/Interface.h: IMaster, IProvider, IAttachment, IStatement,
// IResultSet, IBlob) and not the ISC functions of ibase.h:
// - it is the engine's native API since Firebird 3 and the one Firebird 4 is built around, so the
//   same calls serve both versions' libfbclient (only calls Firebird 3 already had are used);
// - a prepared statement describes its columns through IMessageMetadata (relation, field, alias,
//   type, character set, nullability), which the mapping onto dataset field types needs, and the
//   input message is described by metadata we build ourselves (IMetadataBuilder), so each bound
//   value travels in its own type and the engine converts it to the column's type;
// - failures arrive as status objects that IUtil::formatStatus turns into the engine's own text.
//
// Every entry into the library goes through FbMaster(), which first sets up the process's
// Firebird folders (connection.h): the library reads them at its first call.

#include <firebird/Interface.h>

#include <string>
#include <vector>

#include "handlers/gateway/errors.h"
#include "rest/wire/errors.h"

namespace livrexa {

// The library's master interface; sets up the Firebird environment on the first call.
Firebird::IMaster* FbMaster();
Firebird::IUtil* FbUtil();

// A status object for one series of calls, which throws Firebird::FbException on an error.
class TFbStatus {
 public:
  TFbStatus();
  ~TFbStatus();
  TFbStatus(const TFbStatus&) = delete;
  TFbStatus& operator=(const TFbStatus&) = delete;
  Firebird::ThrowStatusWrapper* operator->() { return &wrapper_; }
  Firebird::ThrowStatusWrapper* get() { return &wrapper_; }

 private:
  Firebird::IStatus* status_;
  Firebird::ThrowStatusWrapper wrapper_;
};

// The engine's text for a status, lines joined by line feeds.
std::string FormatFbStatus(Firebird::IStatus* status);
// The error codes of a status vector (every isc_arg_gds entry).
std::vector<intptr_t> FbErrorCodes(const intptr_t* vector);
// Whether any of the codes means the attachment is lost.
bool IsFatalFbError(const std::vector<intptr_t>& codes);
// The engine's failure as a TFbError.
TFbError ToFbError(const Firebird::FbException& e);

// Transaction parameters: read committed (latest committed row versions); read-only without
// waiting, or read-write waiting up to lockTimeoutSeconds for a row another transaction holds.
std::vector<unsigned char> FbTransactionParameters(bool readOnly, int lockTimeoutSeconds);

// Runs f, turning an engine failure into TFbError.
template <typename F>
auto WithFbErrors(F&& f) -> decltype(f()) {
  try {
    return f();
  } catch (const Firebird::FbException& e) {
    throw ToFbError(e);
  }
}

}  // namespace livrexa
