#include "handlers/statement_watch.h"

namespace livrexa {

TStatementWatch::TStatementWatch(TFbConnection& connection, std::chrono::milliseconds limit,
                                 HttpEarlyReply* client)
    : connection_(connection), client_(client) {
  if (limit.count() > 0) {
    timer_ = std::thread([this, limit] {
      std::unique_lock lock(mutex_);
      if (!finished_.wait_for(lock, limit, [this] { return done_; })) Fire(TReason::TimeLimit);
    });
  }
  if (client_) client_->OnPeerGone([this] { Fire(TReason::ClientGone); });
}

TStatementWatch::~TStatementWatch() {
  if (client_) client_->OnPeerGone(nullptr);
  {
    std::lock_guard lock(mutex_);
    done_ = true;
  }
  finished_.notify_all();
  if (timer_.joinable()) timer_.join();
}

void TStatementWatch::Fire(TReason reason) {
  TReason none = TReason::None;
  if (!reason_.compare_exchange_strong(none, reason)) return;
  connection_.CancelRunningStatement();
}

}  // namespace livrexa
