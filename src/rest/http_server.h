#pragma once
// The HTTP engine: listening sockets, a blocking accept loop, one pooled thread per connection
// from accept to close, and one request per connection ("Connection: close").
//
// Limits that keep a client from taking the server down:
//  - at most max_connections connections are served at once; further ones wait in the listen
//    backlog until a slot frees;
//  - a connection that sends nothing for idle_timeout is closed;
//  - a body longer than body_limit is refused with 413 without being read.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "rest/http_types.h"

namespace livrexa {

class HttpThreadPool;

struct HttpServerOptions {
  uint16_t port = 0;  // 0: a free port chosen by the system (see Port())
  // Addresses to listen on; empty means every local address: "0.0.0.0" and, where the system
  // has IPv6, "::" (IPv6 only, so the two do not collide).
  std::vector<std::string> bind_addresses;
  size_t max_connections = 256;
  std::chrono::milliseconds idle_timeout{60000};
  uint64_t body_limit = 256ull << 20;
};

class HttpServer {
 public:
  HttpServer(HttpServerOptions options, HttpHandler handler);
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Binds and starts accepting. Throws LivrexaError with the system's reason when an address
  // cannot be bound (for instance the port is in use); nothing is left listening then.
  void Start();
  // Stops accepting, cuts the connections in progress and waits until their threads are done.
  void Stop();
  bool Listening() const { return listening_; }
  uint16_t Port() const { return bound_port_; }
  size_t ActiveConnections() const;
  size_t PoolThreads() const;
  const HttpServerOptions& Options() const { return options_; }

 private:
  void AcceptLoop();
  void Serve(int fd, std::string remote_ip, uint16_t remote_port, bool ipv6);
  void CloseListeners();

  HttpServerOptions options_;
  HttpHandler handler_;
  std::unique_ptr<HttpThreadPool> pool_;
  std::vector<int> listeners_;
  int wake_fd_ = -1;
  std::thread acceptor_;
  std::atomic<bool> listening_{false};
  uint16_t bound_port_ = 0;

  mutable std::mutex mutex_;
  std::condition_variable slot_freed_;
  std::set<int> connections_;
  bool stopping_ = false;
};

}  // namespace livrexa
