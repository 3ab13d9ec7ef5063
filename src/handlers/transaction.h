#pragma once
// The explicit transaction of a saving operation, as a guard: started when the guard is made,
// rolled back when it goes out of scope uncommitted (a failure on the way out), so every path of
// an operation that fails leaves nothing written, and the failure passes on as it was raised.
//
//   TTransaction transaction(dm.Database1);
//   ... statements ...
//   transaction.Commit();
//
// A guard made while the connection already has a transaction joins it: it neither commits nor
// rolls back, so a step that runs inside its caller's transaction never ends it.

#include <type_traits>
#include <utility>

#include "handlers/gateway/connection.h"

namespace livrexa {

class TTransaction {
 public:
  explicit TTransaction(TFbConnection& database) : database_(database), owner_(!database.InTransaction()) {
    if (owner_) database_.StartTransaction();
  }
  ~TTransaction() {
    if (!owner_ || committed_) return;
    try {
      database_.Rollback();  // drops a lost attachment instead of failing
    } catch (...) {
      // Nothing may escape a guard that runs while a failure is on its way out.
    }
  }
  TTransaction(const TTransaction&) = delete;
  TTransaction& operator=(const TTransaction&) = delete;

  void Commit() {
    if (owner_ && !committed_) database_.Commit();
    committed_ = true;
  }
  // Whether this guard started the transaction (false when it joined an outer one).
  bool Owner() const { return owner_; }

 private:
  TFbConnection& database_;
  const bool owner_;
  bool committed_ = false;
};

// Runs the work in a transaction that is committed when the work returns, and rolled back when
// it fails; the failure passes on unchanged.
template <class Work>
auto RunInTransaction(TFbConnection& database, Work&& work) -> decltype(work()) {
  TTransaction transaction(database);
  if constexpr (std::is_void_v<decltype(work())>) {
    std::forward<Work>(work)();
    transaction.Commit();
  } else {
    auto result = std::forward<Work>(work)();
    transaction.Commit();
    return result;
  }
}

}  // namespace livrexa
