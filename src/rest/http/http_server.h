#pragma once
// The HTTP engine: listening sockets and every connection's reading and writing on one network
// thread (asynchronous, so a connection that is waiting for bytes holds no thread), and a pool of
// worker threads that run the handler for complete requests only. One request per connection
// ("Connection: close").
//
// Limits that keep a client from taking the server down:
//  - at most MaxConnections connections are open at once, and at most MaxConnectionsPerPeer
//    from one address (further ones from that address are closed as soon as they are accepted;
//    beyond the total cap they wait in the listen backlog until a slot frees);
//  - the request line and headers must arrive within HeadTimeout of the accept; after them the
//    body must keep up MinBodyRate (after BodyGrace); no read may wait longer than IdleTimeout;
//  - a reply must be written within WriteTimeout plus its size at MinWriteRate;
//  - a body longer than MaxBodySize is refused with 413 without being read, and a request with
//    more than MaxParams query, form or header items with 413 before any of them is decoded;
//  - a body whose length is ambiguous (Content-Length repeated or a list, a Transfer-Encoding
//    other than chunked, or both) is refused with 400.

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "rest/http/http_types.h"

namespace livrexa {

struct HttpServerOptions {
  uint16_t Port = 0;  // 0: a free port chosen by the system (see Port())
  // Addresses to listen on; empty means every local address: "0.0.0.0" and, where the system
  // has IPv6, "::" (IPv6 only, so the two do not collide).
  std::vector<std::string> BindAddresses;
  size_t MaxConnections = 256;
  size_t MaxConnectionsPerPeer = 16;
  size_t MaxWorkers = 0;  // threads that run handlers; 0: MaxConnections
  std::chrono::milliseconds IdleTimeout{60000};
  std::chrono::milliseconds HeadTimeout{10000};
  std::chrono::milliseconds BodyGrace{10000};
  uint64_t MinBodyRate = 8 * 1024;  // bytes per second; 0: none
  std::chrono::milliseconds WriteTimeout{60000};
  uint64_t MinWriteRate = 8 * 1024;  // bytes per second; 0: WriteTimeout alone
  uint64_t MaxBodySize = 256ull << 20;
  size_t MaxParams = 1000;  // query, form and header items of one request; 0: no limit
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
  // Stops accepting, cuts the connections in progress and waits until their handlers are done.
  void Stop();
  bool Listening() const;
  uint16_t Port() const;
  size_t ActiveConnections() const;
  size_t PoolThreads() const;
  const HttpServerOptions& Options() const;

  struct Engine;

 private:
  std::unique_ptr<Engine> engine_;
};

}  // namespace livrexa
