#include "handlers/gateway/detail/client.h"

#include <ibase.h>

#include <algorithm>
#include <array>

#include "handlers/gateway/connection.h"

namespace livrexa {

Firebird::IMaster* FbMaster() {
  static Firebird::IMaster* const master = [] {
    TFbEnvironment::Instance().Activate();
    return Firebird::fb_get_master_interface();
  }();
  return master;
}

Firebird::IUtil* FbUtil() {
  return FbMaster()->getUtilInterface();
}

void FbShutdown() {
  TFbPool::Shared().Clear();
  TFbStatus status;
  try {
    FbMaster()->getDispatcher()->shutdown(status.get(), 0, fb_shutrsn_app_stopped);
  } catch (const Firebird::FbException&) {
    // Nothing is left to do at the end of the process when the engine refuses to stop.
  }
}

bool TFbError::Has(intptr_t code) const {
  return std::find(codes_.begin(), codes_.end(), code) != codes_.end();
}

bool TFbError::Conflict() const {
  return Has(isc_lock_conflict) || Has(isc_update_conflict) || Has(isc_deadlock);
}

bool TFbError::Duplicate() const {
  return Has(isc_unique_key_violation) || Has(isc_no_dup);
}

bool TFbError::Unreachable() const {
  for (intptr_t code :
       {isc_network_error, isc_net_connect_err, isc_net_connect_listen_err, isc_net_lookup_err,
        isc_net_read_err, isc_net_write_err, isc_conn_lost, isc_shutdown, isc_shutinprog})
    if (Has(code)) return true;
  return false;
}

TFbStatus::TFbStatus() : status_(FbMaster()->getStatus()), wrapper_(status_) {}

TFbStatus::~TFbStatus() {
  status_->dispose();
}

std::string FormatFbStatus(Firebird::IStatus* status) {
  std::array<char, 4096> buffer{};
  FbUtil()->formatStatus(buffer.data(), static_cast<unsigned>(buffer.size()), status);
  std::string text(buffer.data());
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

std::vector<intptr_t> FbErrorCodes(const intptr_t* v) {
  std::vector<intptr_t> codes;
  if (v == nullptr) return codes;
  // The vector is a series of (argument kind, value...) entries ending with isc_arg_end.
  while (*v != isc_arg_end) {
    const intptr_t kind = *v++;
    switch (kind) {
      case isc_arg_gds:
        codes.push_back(*v++);
        break;
      case isc_arg_cstring:
        v += 2;  // length, pointer
        break;
      default:
        ++v;  // one value: string pointer, number, interpreted text, SQL state, warning code
        break;
    }
  }
  return codes;
}

bool IsFatalFbError(const std::vector<intptr_t>& codes) {
  static constexpr std::array<intptr_t, 14> kFatal = {
      isc_bad_db_handle, isc_io_error,           isc_sys_request,   isc_unavailable,  isc_shutinprog,
      isc_shutdown,      isc_conn_lost,          isc_network_error, isc_net_read_err, isc_net_write_err,
      isc_io_open_err,   isc_lost_db_connection, isc_att_shutdown,  isc_db_corrupt};
  for (const intptr_t code : codes)
    if (std::find(kFatal.begin(), kFatal.end(), code) != kFatal.end()) return true;
  return false;
}

std::vector<unsigned char> FbTransactionParameters(bool readOnly, int lockTimeoutSeconds) {
  return WithFbErrors([&] {
    TFbStatus st;
    Firebird::IXpbBuilder* tpb = FbUtil()->getXpbBuilder(st.get(), Firebird::IXpbBuilder::TPB, nullptr, 0);
    struct TDisposer {
      Firebird::IXpbBuilder* b;
      ~TDisposer() { b->dispose(); }
    } disposer{tpb};
    tpb->insertTag(st.get(), readOnly ? isc_tpb_read : isc_tpb_write);
    tpb->insertTag(st.get(), isc_tpb_read_committed);
    tpb->insertTag(st.get(), isc_tpb_rec_version);
    if (readOnly) {
      tpb->insertTag(st.get(), isc_tpb_nowait);
    } else {
      tpb->insertTag(st.get(), isc_tpb_wait);
      tpb->insertInt(st.get(), isc_tpb_lock_timeout, lockTimeoutSeconds);
    }
    const unsigned char* bytes = tpb->getBuffer(st.get());
    return std::vector<unsigned char>(bytes, bytes + tpb->getBufferLength(st.get()));
  });
}

TFbError ToFbError(const Firebird::FbException& e) {
  Firebird::IStatus* status = e.getStatus();
  std::vector<intptr_t> codes = FbErrorCodes(status->getErrors());
  const bool fatal = IsFatalFbError(codes);
  return TFbError(FormatFbStatus(status), std::move(codes), fatal);
}

}  // namespace livrexa

#if defined(__SANITIZE_ADDRESS__)
// libfbclient keeps its character-set converters (iconv) in globals that it frees in its own
// library destructor, which runs after LeakSanitizer's check at exit; the check would report them
// as leaks. Only allocations made from inside libfbclient are exempted. The second line covers
// the push-back buffer of a stdio file that the library keeps open for the life of the process:
// the allocation is made inside the C library, where the quick stack walk stops before reaching
// libfbclient's frame. Nothing of ours uses stdio push-back.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfbclient.so\nleak:_IO_default_pbackfail\n";
}
#endif
