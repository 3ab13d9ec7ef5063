#include "rest/http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "rest/errors.h"
#include "rest/http_request.h"
#include "rest/http_thread_pool.h"
#include "rest/http_wire.h"

namespace livrexa {
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

void PeerOf(const sockaddr_storage& storage, std::string& ip, uint16_t& port, bool& ipv6) {
  char text[INET6_ADDRSTRLEN] = {};
  if (storage.ss_family == AF_INET6) {
    const auto* a6 = reinterpret_cast<const sockaddr_in6*>(&storage);
    ::inet_ntop(AF_INET6, &a6->sin6_addr, text, sizeof text);
    port = ntohs(a6->sin6_port);
    ipv6 = true;
  } else {
    const auto* a4 = reinterpret_cast<const sockaddr_in*>(&storage);
    ::inet_ntop(AF_INET, &a4->sin_addr, text, sizeof text);
    port = ntohs(a4->sin_port);
    ipv6 = false;
  }
  ip = text;
}

// After a reply to a request whose body was not read (413), the client may still be sending:
// closing at once would reset the connection and could destroy the reply before it is read.
// Stop sending, then discard what arrives for a short while.
void Drain(int fd) {
  ::shutdown(fd, SHUT_WR);
  char sink[16 * 1024];
  size_t discarded = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (discarded < (8u << 20) && std::chrono::steady_clock::now() < deadline) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 200) <= 0) break;
    const ssize_t n = ::recv(fd, sink, sizeof sink, 0);
    if (n <= 0) break;
    discarded += static_cast<size_t>(n);
  }
}

// The early reply of a request: written at once, after which the connection sends nothing more.
class ConnectionEarlyReply : public HttpEarlyReply {
 public:
  explicit ConnectionEarlyReply(int fd) : fd_(fd) {}
  void SendEarly(const HttpReply& reply) override {
    if (sent_) return;
    sent_ = true;
    if (!reply.drop) WriteHttpReply(fd_, reply);
    ::shutdown(fd_, SHUT_WR);
  }
  bool EarlySent() const override { return sent_; }

 private:
  int fd_;
  bool sent_ = false;
};

}  // namespace

HttpServer::HttpServer(HttpServerOptions options, HttpHandler handler)
    : options_(std::move(options)), handler_(std::move(handler)) {
  if (options_.max_connections == 0) options_.max_connections = 1;
}

HttpServer::~HttpServer() {
  Stop();
  pool_.reset();
}

void HttpServer::Start() {
  if (listening_) return;
  std::vector<std::string> addresses = options_.bind_addresses;
  const bool every_address = addresses.empty();
  if (every_address) addresses = {"0.0.0.0", "::"};

  uint16_t port = options_.port;
  for (const auto& address : addresses) {
    BindError error{};
    bool unsupported = false;
    const int fd = OpenListener(address, port, error, unsupported);
    if (fd < 0) {
      // A machine without IPv6 still listens on every IPv4 address.
      if (every_address && unsupported) continue;
      CloseListeners();
      throw LivrexaError("Could not bind socket " + error.address + " port " + std::to_string(port) + ": " +
                         std::strerror(error.error));
    }
    listeners_.push_back(fd);
    if (port == 0) port = LocalPort(fd);  // the other addresses take the same port
  }
  bound_port_ = port;
  wake_fd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (!pool_) pool_ = std::make_unique<HttpThreadPool>(options_.max_connections);
  {
    std::lock_guard lock(mutex_);
    stopping_ = false;
  }
  listening_ = true;
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

void HttpServer::Stop() {
  if (!listening_) return;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  slot_freed_.notify_all();
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = ::write(wake_fd_, &one, sizeof one);
  acceptor_.join();
  CloseListeners();
  ::close(wake_fd_);
  wake_fd_ = -1;
  // Requests in progress are cut off: their reads and writes fail at once.
  std::unique_lock lock(mutex_);
  for (const int fd : connections_) ::shutdown(fd, SHUT_RDWR);
  slot_freed_.wait(lock, [this] { return connections_.empty(); });
  listening_ = false;
}

size_t HttpServer::ActiveConnections() const {
  std::lock_guard lock(mutex_);
  return connections_.size();
}

size_t HttpServer::PoolThreads() const {
  return pool_ ? pool_->ThreadCount() : 0;
}

void HttpServer::CloseListeners() {
  for (const int fd : listeners_) ::close(fd);
  listeners_.clear();
}

void HttpServer::AcceptLoop() {
  std::vector<pollfd> watched;
  for (const int fd : listeners_) watched.push_back({fd, POLLIN, 0});
  watched.push_back({wake_fd_, POLLIN, 0});
  for (;;) {
    {
      // Beyond the cap, connections are left in the listen backlog until a slot frees.
      std::unique_lock lock(mutex_);
      slot_freed_.wait(lock, [this] { return stopping_ || connections_.size() < options_.max_connections; });
      if (stopping_) return;
    }
    for (auto& p : watched) p.revents = 0;
    if (::poll(watched.data(), watched.size(), -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (watched.back().revents != 0) return;
    for (size_t i = 0; i + 1 < watched.size(); ++i) {
      if ((watched[i].revents & POLLIN) == 0) continue;
      {
        std::lock_guard lock(mutex_);
        if (connections_.size() >= options_.max_connections) break;
      }
      sockaddr_storage peer{};
      socklen_t length = sizeof peer;
      const int fd = ::accept4(watched[i].fd, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC);
      if (fd < 0) {
        // Out of descriptors: give running connections a moment to close instead of spinning.
        if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
          std::this_thread::sleep_for(std::chrono::milliseconds(10));
        continue;  // otherwise the client went away before it was accepted
      }
      const int on = 1;
      ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
      timeval send_timeout{static_cast<time_t>(options_.idle_timeout.count() / 1000),
                           static_cast<suseconds_t>((options_.idle_timeout.count() % 1000) * 1000)};
      ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &send_timeout, sizeof send_timeout);
      std::string ip;
      uint16_t port = 0;
      bool ipv6 = false;
      PeerOf(peer, ip, port, ipv6);
      {
        std::lock_guard lock(mutex_);
        connections_.insert(fd);
      }
      pool_->Submit(
          [this, fd, ip = std::move(ip), port, ipv6]() mutable { Serve(fd, std::move(ip), port, ipv6); });
    }
  }
}

void HttpServer::Serve(int fd, std::string remote_ip, uint16_t remote_port, bool ipv6) {
  bool drain = false;
  try {
    HttpRequest request;
    request.remote_ip = std::move(remote_ip);
    request.remote_port = remote_port;
    request.ipv6 = ipv6;
    RequestReadLimits limits;
    limits.body_limit = options_.body_limit;
    limits.idle_timeout = options_.idle_timeout;
    const RequestReadResult read = ReadHttpRequest(fd, limits, request);
    if (read == RequestReadResult::kTooLarge) {
      HttpReply reply;
      reply.status = 413;
      reply.SetHeader("Content-Type", "text/plain; charset=utf-8");
      reply.body = "Request body too large";
      WriteHttpReply(fd, reply);
      drain = true;
    } else if (read == RequestReadResult::kComplete) {
      FillDerivedItems(request);
      // An Authorization of any scheme but Basic: the connection is dropped without a reply.
      if (!request.non_basic_authorization) {
        HttpReply reply;
        ConnectionEarlyReply early(fd);
        try {
          handler_(request, reply, early);
        } catch (const std::exception& e) {
          reply.status = 500;
          reply.reason.clear();
          reply.SetHeader("Content-Type", "text/plain; charset=utf-8");
          reply.body = e.what();
          reply.drop = false;
        }
        if (!early.EarlySent() && !reply.drop) WriteHttpReply(fd, reply);
      }
    }
    // A malformed request, a closed or silent peer: closed without a reply.
  } catch (...) {
    // Nothing a connection does may take the server down (allocation failures included).
  }
  if (drain) Drain(fd);
  {
    std::lock_guard lock(mutex_);
    connections_.erase(fd);
    ::close(fd);
  }
  slot_freed_.notify_all();
}

}  // namespace livrexa
