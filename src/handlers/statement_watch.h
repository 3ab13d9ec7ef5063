#pragma once
// Watches one statement of a connection while it runs: when the client hangs up, or when a time
// limit passes, the statement is cancelled on the engine (it then fails with the engine's
// cancellation error, and Reason() tells why).

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "handlers/gateway/connection.h"
#include "rest/http/http_types.h"

namespace livrexa {

class TStatementWatch {
 public:
  enum class TReason { None, TimeLimit, ClientGone };

  // client: the request's connection, or nullptr outside a request. The connection must already
  // be connected.
  TStatementWatch(TFbConnection& connection, std::chrono::milliseconds limit, HttpEarlyReply* client);
  // Stops watching; a cancellation in progress has finished when it returns.
  ~TStatementWatch();
  TStatementWatch(const TStatementWatch&) = delete;
  TStatementWatch& operator=(const TStatementWatch&) = delete;

  TReason Reason() const { return reason_; }

 private:
  void Fire(TReason reason);

  TFbConnection& connection_;
  HttpEarlyReply* client_;
  std::mutex mutex_;
  std::condition_variable finished_;
  bool done_ = false;
  std::atomic<TReason> reason_{TReason::None};
  std::thread timer_;
};

}  // namespace livrexa
