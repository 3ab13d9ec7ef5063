#include "handlers/gateway/connection.h"

#include <iterator>

#include "handlers/gateway/detail/attachment.h"

namespace livrexa {

TFbPool& TFbPool::Shared() {
  // Never destroyed: detaching at process exit could meet an engine that is already shutting down.
  static TFbPool* const pool = new TFbPool();
  return *pool;
}

TFbPool::TFbPool(size_t maxIdle) : maxIdle_(maxIdle) {}

TFbPool::~TFbPool() {
  Clear();
}

void TFbPool::SetEnabled(bool enabled) {
  std::vector<std::unique_ptr<TFbAttachment>> stale;
  {
    std::lock_guard lock(mutex_);
    enabled_ = enabled;
    if (!enabled) stale = TakeIdleLocked();
  }
}

bool TFbPool::Enabled() const {
  std::lock_guard lock(mutex_);
  return enabled_;
}

void TFbPool::SetMaxIdle(size_t maxIdle) {
  std::vector<std::unique_ptr<TFbAttachment>> surplus;
  std::lock_guard lock(mutex_);
  maxIdle_ = maxIdle;
  while (idle_.size() > maxIdle_) {
    surplus.push_back(std::move(idle_.back()));
    idle_.pop_back();
  }
}

std::vector<std::unique_ptr<TFbAttachment>> TFbPool::TakeIdleLocked() {
  ++generation_;
  std::vector<std::unique_ptr<TFbAttachment>> taken;
  taken.swap(idle_);
  return taken;
}

std::unique_ptr<TFbAttachment> TFbPool::Acquire(const std::string& path, const std::string& user,
                                                const std::string& password) {
  uint64_t generation = 0;
  {
    std::vector<std::unique_ptr<TFbAttachment>> stale;  // detached after the lock is released
    std::lock_guard lock(mutex_);
    if (path != path_) {
      stale = TakeIdleLocked();
      path_ = path;
    }
    if (enabled_) {
      // The newest idle attachment of the same user (attachments of other users have other rights).
      for (auto it = idle_.rbegin(); it != idle_.rend(); ++it) {
        if ((*it)->User() != user) continue;
        std::unique_ptr<TFbAttachment> reused = std::move(*it);
        idle_.erase(std::next(it).base());
        return reused;
      }
    }
    generation = generation_;
  }
  std::unique_ptr<TFbAttachment> attachment = TFbAttachment::Attach(path, user, password);
  attachment->SetGeneration(generation);
  std::lock_guard lock(mutex_);
  ++attachCount_;
  return attachment;
}

void TFbPool::Release(std::unique_ptr<TFbAttachment> attachment) {
  if (!attachment) return;
  {
    std::lock_guard lock(mutex_);
    const bool keep = enabled_ && !attachment->Broken() && attachment->Generation() == generation_ &&
                      attachment->Path() == path_ && idle_.size() < maxIdle_;
    if (keep) {
      idle_.push_back(std::move(attachment));
      return;
    }
  }
  attachment.reset();  // detach outside the lock
}

void TFbPool::Clear() {
  std::vector<std::unique_ptr<TFbAttachment>> stale;
  std::lock_guard lock(mutex_);
  stale = TakeIdleLocked();
}

void TFbPool::ReportFatal() {
  Clear();
}

size_t TFbPool::IdleCount() const {
  std::lock_guard lock(mutex_);
  return idle_.size();
}

uint64_t TFbPool::AttachCount() const {
  std::lock_guard lock(mutex_);
  return attachCount_;
}

}  // namespace livrexa
