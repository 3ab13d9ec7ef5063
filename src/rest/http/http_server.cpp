#include "rest/http/http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

// <utility> first: this Boost's asio/awaitable.hpp needs std::exchange declared already.
#include <utility>

#include <array>
#include <atomic>
#include <boost/asio.hpp>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <future>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "rest/http/allocator_tuning.h"
#include "rest/http/detail/http_thread_pool.h"
#include "rest/http/detail/http_wire.h"
#include "rest/http/http_request.h"
#include "rest/wire/errors.h"

namespace livrexa {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;
using Clock = std::chrono::steady_clock;
using boost::system::error_code;

namespace {

struct BindError {
  int error;
  std::string address;
};

// Creates, binds and listens on one address. Returns the socket, or -1 with the failure in error.
int OpenListener(const std::string& address, uint16_t port, BindError& error, bool& unsupported) {
  unsupported = false;
  sockaddr_storage storage{};
  socklen_t length = 0;
  int family = AF_INET;
  if (address.find(':') != std::string::npos) {
    auto* a6 = reinterpret_cast<sockaddr_in6*>(&storage);
    a6->sin6_family = AF_INET6;
    a6->sin6_port = htons(port);
    if (::inet_pton(AF_INET6, address.c_str(), &a6->sin6_addr) != 1) {
      error = {EINVAL, address};
      return -1;
    }
    family = AF_INET6;
    length = sizeof(sockaddr_in6);
  } else {
    auto* a4 = reinterpret_cast<sockaddr_in*>(&storage);
    a4->sin_family = AF_INET;
    a4->sin_port = htons(port);
    if (::inet_pton(AF_INET, address.c_str(), &a4->sin_addr) != 1) {
      error = {EINVAL, address};
      return -1;
    }
    length = sizeof(sockaddr_in);
  }
  const int fd = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) {
    unsupported = family == AF_INET6 && (errno == EAFNOSUPPORT || errno == EPROTONOSUPPORT);
    error = {errno, address};
    return -1;
  }
  const int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (family == AF_INET6) ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&storage), length) != 0 || ::listen(fd, SOMAXCONN) != 0) {
    unsupported = family == AF_INET6 && errno == EADDRNOTAVAIL;
    error = {errno, address};
    ::close(fd);
    return -1;
  }
  return fd;
}

uint16_t LocalPort(int fd) {
  sockaddr_storage storage{};
  socklen_t length = sizeof storage;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&storage), &length);
  if (storage.ss_family == AF_INET6) return ntohs(reinterpret_cast<sockaddr_in6*>(&storage)->sin6_port);
  return ntohs(reinterpret_cast<sockaddr_in*>(&storage)->sin_port);
}

// Time for `bytes` at `rate` bytes per second (none when the rate is 0).
Clock::duration TimeFor(uint64_t bytes, uint64_t rate) {
  if (rate == 0) return Clock::duration::max() / 4;
  return std::chrono::duration_cast<Clock::duration>(
      std::chrono::duration<double>(double(bytes) / double(rate)));
}

}  // namespace

class Connection;

struct HttpServer::Engine {
  Engine(HttpServerOptions o, HttpHandler h) : options(std::move(o)), handler(std::move(h)) {
    if (options.MaxConnections == 0) options.MaxConnections = 1;
    if (options.MaxWorkers == 0) options.MaxWorkers = options.MaxConnections;
  }

  void StartAccepting();
  void Accept(size_t index);
  void Opened(const std::string& peer);
  void Closed(const std::shared_ptr<Connection>& connection);

  HttpServerOptions options;
  HttpHandler handler;
  std::unique_ptr<HttpThreadPool> pool;
  asio::io_context io{1};
  std::vector<std::unique_ptr<tcp::acceptor>> acceptors;
  std::vector<bool> accepting;  // whether an accept is pending on that acceptor (network thread)
  uint64_t generation = 0;      // one per Start
  std::thread network;
  std::atomic<bool> listening{false};
  uint16_t bound_port = 0;

  // Network thread only.
  std::map<std::string, size_t> per_peer;
  std::set<std::shared_ptr<Connection>> open;
  bool stopping = false;

  std::atomic<size_t> connections{0};
  std::mutex handlers_mutex;
  std::condition_variable handlers_done;
  size_t running_handlers = 0;
};

// One connection, from accept to close. Everything but the handler runs on the network thread.
class Connection : public std::enable_shared_from_this<Connection>, public HttpEarlyReply {
 public:
  Connection(HttpServer::Engine& engine, tcp::socket socket, std::string peer, uint16_t port, bool ipv6)
      : engine_(engine), socket_(std::move(socket)), timer_(engine.io), peer_(std::move(peer)) {
    request_.remote_ip = peer_;
    request_.remote_port = port;
    request_.ipv6 = ipv6;
    reader_ = std::make_unique<HttpRequestReader>(request_, engine.options.MaxBodySize);
    accepted_ = Clock::now();
    last_byte_ = accepted_;
  }

  const std::string& Peer() const { return peer_; }

  void Begin() {
    ArmReadDeadline();
    Read();
  }

  // Closes the socket; the connection is forgotten once nothing of it is pending.
  void Close() {
    if (closed_) return;
    closed_ = true;
    error_code ignored;
    timer_.cancel();
    socket_.shutdown(tcp::socket::shutdown_both, ignored);
    socket_.close(ignored);
    NotePeerGone();
    engine_.Closed(shared_from_this());
  }

  // ---- HttpEarlyReply, called from the handler's thread ----
  void SendEarly(const HttpReply& reply) override {
    if (early_sent_.exchange(true)) return;
    if (reply.drop) {
      asio::post(engine_.io, [self = shared_from_this()] { self->EarlyWritten(); });
      return;
    }
    auto copy = std::make_shared<HttpReply>(reply);
    asio::post(engine_.io, [self = shared_from_this(), copy] { self->Write(std::move(*copy), true); });
  }
  bool EarlySent() const override { return early_sent_; }
  void OnPeerGone(std::function<void()> action) override {
    std::lock_guard lock(peer_mutex_);
    if (action && peer_gone_) {
      action();
      return;
    }
    on_peer_gone_ = std::move(action);
  }

 private:
  void Read() {
    socket_.async_read_some(asio::buffer(chunk_),
                            [self = shared_from_this()](error_code ec, size_t n) { self->OnRead(ec, n); });
  }

  void OnRead(error_code ec, size_t n) {
    if (closed_) return;
    if (ec) return Close();  // the peer closed or failed before a whole request arrived
    last_byte_ = Clock::now();
    const bool head_was_done = reader_->HeaderDone();
    const RequestReadResult result = reader_->Feed(chunk_.data(), n);
    if (!head_was_done && reader_->HeaderDone()) head_done_ = last_byte_;
    switch (result) {
      case RequestReadResult::kNeedMore:
        ArmReadDeadline();
        return Read();
      case RequestReadResult::kComplete:
        return Dispatch();
      case RequestReadResult::kTooLarge:
        return Refuse(413, "Request body too large");
      case RequestReadResult::kBadFraming:
        return Refuse(400, "Ambiguous message framing");
      case RequestReadResult::kMalformed:
        return Close();  // not HTTP: closed without a reply
    }
  }

  // The earliest moment the request may still be read by: the head within HeadTimeout of the
  // accept, no silence longer than IdleTimeout, and the body at MinBodyRate after its grace.
  Clock::time_point ReadDeadline() const {
    const HttpServerOptions& o = engine_.options;
    Clock::time_point deadline = last_byte_ + o.IdleTimeout;
    if (!reader_->HeaderDone()) {
      deadline = std::min(deadline, accepted_ + o.HeadTimeout);
    } else if (o.MinBodyRate > 0) {
      deadline = std::min(deadline, head_done_ + o.BodyGrace + TimeFor(reader_->BodyBytes(), o.MinBodyRate));
    }
    return deadline;
  }

  void ArmReadDeadline() { ArmDeadline(ReadDeadline()); }

  void ArmDeadline(Clock::time_point deadline) {
    deadline_ = deadline;
    timer_.expires_at(deadline);
    timer_.async_wait([self = shared_from_this()](error_code ec) {
      if (ec || self->closed_) return;
      // A wait that fired just as the deadline moved on is stale.
      if (Clock::now() < self->deadline_) return;
      self->Close();
    });
  }

  void Dispatch() {
    deadline_ = Clock::time_point::max();  // no deadline while the handler works
    timer_.cancel();
    reader_bytes_ = reader_->BodyBytes();
    reader_.reset();
    handling_ = true;
    WatchPeer();
    {
      std::lock_guard lock(engine_.handlers_mutex);
      ++engine_.running_handlers;
    }
    engine_.pool->Submit([self = shared_from_this()] { self->RunHandler(); });
  }

  // While the handler runs, a read that ends tells that the client has hung up.
  void WatchPeer() {
    socket_.async_read_some(asio::buffer(chunk_), [self = shared_from_this()](error_code ec, size_t) {
      if (self->closed_) return;
      if (ec) return self->NotePeerGone();
      if (self->handling_) self->WatchPeer();  // bytes after the request are ignored
    });
  }

  void NotePeerGone() {
    std::function<void()> action;
    {
      std::lock_guard lock(peer_mutex_);
      if (peer_gone_) return;
      peer_gone_ = true;
      if (!on_peer_gone_) return;
      // Called under the lock, so that removing the action waits for it to finish.
      on_peer_gone_();
      on_peer_gone_ = nullptr;
    }
  }

  // On a worker thread.
  void RunHandler() {
    HttpReply reply;
    bool send = true;
    try {
      if (!FillDerivedItems(request_, engine_.options.MaxParams)) {
        reply.status = 413;
        reply.SetHeader("Content-Type", "text/plain; charset=utf-8");
        reply.body = "Too many parameters (more than " + std::to_string(engine_.options.MaxParams) + ")";
      } else if (request_.non_basic_authorization) {
        send = false;  // an Authorization of any scheme but Basic: dropped without a reply
      } else {
        try {
          engine_.handler(request_, reply, *this);
        } catch (const std::exception& e) {
          reply.status = 500;
          reply.reason.clear();
          reply.SetHeader("Content-Type", "text/plain; charset=utf-8");
          reply.body = e.what();
          reply.drop = false;
        }
      }
    } catch (...) {
      // Nothing a connection does may take the server down (allocation failures included).
      send = false;
    }
    const bool large_request = request_.body.capacity() + request_.form_text.capacity() >= kLargeTransfer ||
                               reader_bytes_ >= kLargeTransfer;
    request_ = HttpRequest();  // the request's memory goes before the reply is written
    if (large_request) ReleaseFreedMemory();
    {
      std::lock_guard lock(peer_mutex_);
      on_peer_gone_ = nullptr;
    }
    auto done = std::make_shared<HttpReply>(std::move(reply));
    asio::post(engine_.io, [self = shared_from_this(), done, send] {
      self->handling_ = false;
      self->handler_done_ = true;
      if (self->early_sent_) {
        if (self->early_written_) self->Close();
      } else if (send && !done->drop) {
        self->Write(std::move(*done), false);
      } else {
        self->Close();
      }
    });
    {
      std::lock_guard lock(engine_.handlers_mutex);
      --engine_.running_handlers;
    }
    engine_.handlers_done.notify_all();
  }

  void Refuse(int status, const char* text) {
    HttpReply reply;
    reply.status = status;
    reply.SetHeader("Content-Type", "text/plain; charset=utf-8");
    reply.body = text;
    drain_ = true;
    Write(std::move(reply), false);
  }

  // The reply, written within WriteTimeout plus its size at MinWriteRate.
  void Write(HttpReply reply, bool early) {
    if (closed_) return;
    head_ = SerializeReplyHead(reply);
    body_ = std::move(reply.body);
    const HttpServerOptions& o = engine_.options;
    ArmDeadline(Clock::now() + o.WriteTimeout + TimeFor(head_.size() + body_.size(), o.MinWriteRate));
    const std::array<asio::const_buffer, 2> parts{asio::buffer(head_), asio::buffer(body_)};
    asio::async_write(socket_, parts, [self = shared_from_this(), early](error_code ec, size_t) {
      if (self->closed_) return;
      self->head_.clear();
      if (self->body_.size() >= kLargeTransfer) {
        self->body_ = std::string();
        self->engine_.pool->Submit([] { ReleaseFreedMemory(); });
      }
      self->body_ = std::string();
      if (ec) return self->Close();
      error_code ignored;
      self->socket_.shutdown(tcp::socket::shutdown_send, ignored);
      if (early) return self->EarlyWritten();
      if (self->drain_) return self->Drain();
      self->Close();
    });
  }

  void EarlyWritten() {
    early_written_ = true;
    if (handler_done_) Close();
  }

  // After a reply to a request whose body was not read (413, 400), the client may still be
  // sending: closing at once would reset the connection and could destroy the reply before it is
  // read. What arrives is discarded for a short while.
  void Drain() {
    ArmDeadline(Clock::now() + std::chrono::seconds(2));
    socket_.async_read_some(asio::buffer(chunk_), [self = shared_from_this()](error_code ec, size_t n) {
      if (self->closed_) return;
      self->drained_ += n;
      if (ec || self->drained_ > (8u << 20)) return self->Close();
      self->Drain();
    });
  }

  HttpServer::Engine& engine_;
  tcp::socket socket_;
  asio::steady_timer timer_;
  std::string peer_;
  HttpRequest request_;
  std::unique_ptr<HttpRequestReader> reader_;
  std::array<char, 16 * 1024> chunk_{};
  Clock::time_point accepted_, last_byte_, head_done_, deadline_;
  bool closed_ = false;
  bool handling_ = false;
  bool handler_done_ = false;
  bool early_written_ = false;
  bool drain_ = false;
  size_t drained_ = 0;
  std::string head_;
  std::string body_;
  uint64_t reader_bytes_ = 0;
  std::atomic<bool> early_sent_{false};

  std::mutex peer_mutex_;
  bool peer_gone_ = false;
  std::function<void()> on_peer_gone_;
};

void HttpServer::Engine::StartAccepting() {
  for (size_t i = 0; i < acceptors.size(); ++i)
    if (!accepting[i]) Accept(i);
}

void HttpServer::Engine::Accept(size_t index) {
  if (stopping || open.size() >= options.MaxConnections) return;  // beyond the cap: the backlog waits
  accepting[index] = true;
  acceptors[index]->async_accept([this, index, run = generation](error_code ec, tcp::socket socket) {
    if (run != generation) return;  // left over from before a Stop
    accepting[index] = false;
    if (stopping || ec == asio::error::operation_aborted) return;
    if (ec) {
      // Out of descriptors: give running connections a moment to close instead of spinning.
      if (ec == asio::error::no_descriptors || ec == asio::error::no_buffer_space ||
          ec == asio::error::no_memory) {
        auto pause = std::make_shared<asio::steady_timer>(io, std::chrono::milliseconds(10));
        pause->async_wait([this, index, pause](error_code) { Accept(index); });
        return;
      }
      return Accept(index);
    }
    error_code peer_ec;
    const tcp::endpoint remote = socket.remote_endpoint(peer_ec);
    if (peer_ec) return Accept(index);  // the client went away before it was accepted
    std::string peer = remote.address().is_v6() && remote.address().to_v6().is_v4_mapped()
                           ? remote.address().to_v6().to_v4().to_string()
                           : remote.address().to_string();
    size_t& from_peer = per_peer[peer];
    if (from_peer >= options.MaxConnectionsPerPeer) {
      error_code ignored;
      socket.close(ignored);  // one machine may not take every slot
      return Accept(index);
    }
    ++from_peer;
    socket.set_option(tcp::no_delay(true), peer_ec);
    auto connection =
        std::make_shared<Connection>(*this, std::move(socket), peer, remote.port(), remote.address().is_v6());
    open.insert(connection);
    connections = open.size();
    connection->Begin();
    Accept(index);
  });
}

void HttpServer::Engine::Closed(const std::shared_ptr<Connection>& connection) {
  if (open.erase(connection) == 0) return;
  connections = open.size();
  const auto found = per_peer.find(connection->Peer());
  if (found != per_peer.end() && --found->second == 0) per_peer.erase(found);
  StartAccepting();
}

HttpServer::HttpServer(HttpServerOptions options, HttpHandler handler)
    : engine_(std::make_unique<Engine>(std::move(options), std::move(handler))) {}

HttpServer::~HttpServer() {
  Stop();
  engine_->pool.reset();
}

void HttpServer::Start() {
  Engine& e = *engine_;
  if (e.listening) return;
  std::vector<std::string> addresses = e.options.BindAddresses;
  const bool every_address = addresses.empty();
  if (every_address) addresses = {"0.0.0.0", "::"};

  std::vector<int> fds;
  uint16_t port = e.options.Port;
  for (const auto& address : addresses) {
    BindError error{};
    bool unsupported = false;
    const int fd = OpenListener(address, port, error, unsupported);
    if (fd < 0) {
      // A machine without IPv6 still listens on every IPv4 address.
      if (every_address && unsupported) continue;
      for (const int open_fd : fds) ::close(open_fd);
      throw LivrexaError("Could not bind socket " + error.address + " port " + std::to_string(port) + ": " +
                         std::strerror(error.error));
    }
    fds.push_back(fd);
    if (port == 0) port = LocalPort(fd);  // the other addresses take the same port
  }
  e.bound_port = port;
  e.io.restart();
  e.acceptors.clear();
  for (const int fd : fds) {
    sockaddr_storage storage{};
    socklen_t length = sizeof storage;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&storage), &length);
    auto acceptor = std::make_unique<tcp::acceptor>(e.io);
    acceptor->assign(storage.ss_family == AF_INET6 ? tcp::v6() : tcp::v4(), fd);
    e.acceptors.push_back(std::move(acceptor));
  }
  e.accepting.assign(e.acceptors.size(), false);
  ++e.generation;
  if (!e.pool) e.pool = std::make_unique<HttpThreadPool>(e.options.MaxWorkers);
  e.stopping = false;
  e.listening = true;
  asio::post(e.io, [&e] { e.StartAccepting(); });
  e.network = std::thread([&e] {
    auto work = asio::make_work_guard(e.io);
    for (;;) {
      try {
        e.io.run();
        return;
      } catch (...) {
        // A failure inside one connection's step must not stop every other connection.
      }
    }
  });
}

void HttpServer::Stop() {
  Engine& e = *engine_;
  if (!e.listening) return;
  // Stop accepting and cut every connection: reads and writes in progress end at once; handlers
  // that are running finish on their threads.
  std::promise<void> cut;
  asio::post(e.io, [&e, &cut] {
    e.stopping = true;
    error_code ignored;
    for (auto& acceptor : e.acceptors) acceptor->close(ignored);
    const auto open = e.open;
    for (const auto& connection : open) connection->Close();
    cut.set_value();
  });
  cut.get_future().wait();
  {
    std::unique_lock lock(e.handlers_mutex);
    e.handlers_done.wait(lock, [&e] { return e.running_handlers == 0; });
  }
  // What the handlers posted on their way out (replies to closed connections) is run off.
  std::promise<void> settled;
  asio::post(e.io, [&e, &settled] {
    const auto open = e.open;
    for (const auto& connection : open) connection->Close();
    settled.set_value();
  });
  settled.get_future().wait();
  e.io.stop();
  e.network.join();
  e.acceptors.clear();
  e.open.clear();
  e.per_peer.clear();
  e.connections = 0;
  e.listening = false;
}

bool HttpServer::Listening() const {
  return engine_->listening;
}

uint16_t HttpServer::Port() const {
  return engine_->bound_port;
}

size_t HttpServer::ActiveConnections() const {
  return engine_->connections;
}

size_t HttpServer::PoolThreads() const {
  return engine_->pool ? engine_->pool->ThreadCount() : 0;
}

const HttpServerOptions& HttpServer::Options() const {
  return engine_->options;
}

}  // namespace livrexa
