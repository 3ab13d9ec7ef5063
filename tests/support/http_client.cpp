#include "support/http_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "rest/wire/text_codec.h"
#include "rest/wire/wire_consts.h"

namespace livrexa::test {

int ConnectTo(uint16_t port, const std::string& host) {
  sockaddr_storage storage{};
  socklen_t length = 0;
  int family = AF_INET;
  if (host.find(':') != std::string::npos) {
    auto* a6 = reinterpret_cast<sockaddr_in6*>(&storage);
    a6->sin6_family = AF_INET6;
    a6->sin6_port = htons(port);
    if (::inet_pton(AF_INET6, host.c_str(), &a6->sin6_addr) != 1) return -1;
    family = AF_INET6;
    length = sizeof(sockaddr_in6);
  } else {
    auto* a4 = reinterpret_cast<sockaddr_in*>(&storage);
    a4->sin_family = AF_INET;
    a4->sin_port = htons(port);
    if (::inet_pton(AF_INET, host.c_str(), &a4->sin_addr) != 1) return -1;
    length = sizeof(sockaddr_in);
  }
  const int fd = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&storage), length) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

bool SendAllBytes(int fd, const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

std::string ReadUntilClosed(int fd, std::chrono::milliseconds timeout) {
  std::string out;
  char buffer[16384];
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    out.append(buffer, static_cast<size_t>(n));
  }
  return out;
}

std::string SendRaw(uint16_t port, const std::string& bytes, const std::string& host,
                    std::chrono::milliseconds timeout) {
  const int fd = ConnectTo(port, host);
  if (fd < 0) return {};
  SendAllBytes(fd, bytes);
  std::string out = ReadUntilClosed(fd, timeout);
  ::close(fd);
  return out;
}

RawReply ParseReply(const std::string& raw) {
  RawReply reply;
  reply.raw = raw;
  reply.received = !raw.empty();
  const size_t head_end = raw.find("\r\n\r\n");
  const std::string head = raw.substr(0, head_end);
  size_t line_end = head.find("\r\n");
  reply.status_line = head.substr(0, line_end);
  // "HTTP/1.1 200 OK": the reason is everything after the second blank.
  const size_t first = reply.status_line.find(' ');
  if (first != std::string::npos) {
    const size_t second = reply.status_line.find(' ', first + 1);
    reply.status = std::atoi(reply.status_line.substr(first + 1, second - first - 1).c_str());
    if (second != std::string::npos) reply.reason = reply.status_line.substr(second + 1);
  }
  while (line_end != std::string::npos) {
    const size_t start = line_end + 2;
    line_end = head.find("\r\n", start);
    const std::string line =
        head.substr(start, line_end == std::string::npos ? std::string::npos : line_end - start);
    const size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    reply.headers.push_back({line.substr(0, colon), std::string(Trim(line.substr(colon + 1)))});
  }
  if (head_end != std::string::npos) reply.body = raw.substr(head_end + 4);
  return reply;
}

RawReply Exchange(uint16_t port, const std::string& bytes, const std::string& host) {
  return ParseReply(SendRaw(port, bytes, host));
}

std::string RawReply::Header(const std::string& name) const {
  for (const auto& h : headers)
    if (SameText(h.name, name)) return h.value;
  return {};
}

bool RawReply::HasHeader(const std::string& name) const {
  for (const auto& h : headers)
    if (SameText(h.name, name)) return true;
  return false;
}

std::string BasicAuthLine(const std::string& user, const std::string& password) {
  return "Authorization: Basic " + EncodeBinary(user + ":" + password) + "\r\n";
}

std::string BuildRequest(const std::string& method, const std::string& target, const std::string& headers,
                         const std::string& body) {
  std::string out = method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + headers;
  if (!body.empty()) out += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  out += "\r\n" + body;
  return out;
}

}  // namespace livrexa::test
