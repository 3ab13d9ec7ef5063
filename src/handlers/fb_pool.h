#pragma once
// Attachments kept open between handler modules. Attaching to the database file costs a few
// milliseconds, most of a small request; a module takes an idle attachment of the same file
// instead, keeps it for its whole life and hands it back, with no transaction open, when it ends.
//
// The pool is emptied when the database path changes (the first Acquire of another path), when
// the host switches the listener off (Clear(): a restore is about to move the file away) and when
// an attachment reports a fatal error (ReportFatal()). Attachments that are in use while the pool
// is emptied are detached when they come back instead of being kept. Switched off, the pool
// attaches for every Acquire and detaches at every Release (one attachment per module).

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "handlers/fb_attachment.h"

namespace livrexa {

class TFbPool {
 public:
  // The pool the handler modules share.
  static TFbPool& Shared();

  explicit TFbPool(size_t maxIdle = 32);
  ~TFbPool();
  TFbPool(const TFbPool&) = delete;
  TFbPool& operator=(const TFbPool&) = delete;

  void SetEnabled(bool enabled);  // switching off also empties the pool
  bool Enabled() const;
  void SetMaxIdle(size_t maxIdle);

  // An idle attachment of the file made for the same user, or a new one. Fails with the engine's
  // message.
  std::unique_ptr<TFbAttachment> Acquire(const std::string& path, const std::string& user,
                                         const std::string& password);
  // Takes an attachment back. The caller has ended its transactions. Broken attachments,
  // attachments of an emptied pool, of another path, or beyond the idle limit are detached.
  void Release(std::unique_ptr<TFbAttachment> attachment);

  // Detaches every idle attachment; attachments in use are detached when they come back.
  void Clear();
  // An attachment met a fatal error: the others of the same file are suspect too.
  void ReportFatal();

  size_t IdleCount() const;
  // Attachments made since the pool was created (a measure of reuse).
  uint64_t AttachCount() const;

 private:
  // Removes the idle attachments under the lock; they are detached after it is released.
  std::vector<std::unique_ptr<TFbAttachment>> TakeIdleLocked();

  mutable std::mutex mutex_;
  bool enabled_ = true;
  size_t maxIdle_;
  std::string path_;
  uint64_t generation_ = 1;
  uint64_t attachCount_ = 0;
  std::vector<std::unique_ptr<TFbAttachment>> idle_;
};

}  // namespace livrexa
