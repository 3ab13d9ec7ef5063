#pragma once
// Whether a database name in Config1.ini names a file that this process opens with its own engine
// or a database on a Firebird server, reached through the client library's remote protocol.
//
// Server names, as Firebird's client writes them:
//   host:path               escola-srv:/var/lib/firebird/data/livrexa.fdb
//   host/port:path          10.0.0.5/3051:/dados/livrexa.fdb   (a service name instead of a port too)
//   [ipv6]:path, [ipv6]/port:path
//   inet://host[:port]/path inet://escola-srv:3050//dados/livrexa.fdb (also inet4:// and inet6://)
// Everything else is a file: an absolute path (even one with a colon in it), a relative path, a
// Windows drive letter ("C:\...", a single letter before the colon).
// Header-only, so the host can tell the two apart without linking the gateway.

#include <cctype>
#include <string>
#include <string_view>

#include "rest/wire/text_tools.h"

namespace livrexa {

inline bool IsServerDatabaseName(std::string_view name) {
  while (!name.empty() && std::isspace(static_cast<unsigned char>(name.front()))) name.remove_prefix(1);
  for (std::string_view protocol : {"inet://", "inet4://", "inet6://"})
    if (StartsWithNoCase(name, protocol)) return name.size() > protocol.size();
  if (name.empty() || name.front() == '/' || name.front() == '.') return false;

  size_t colon;
  if (name.front() == '[') {
    const size_t close = name.find(']');
    if (close == std::string_view::npos) return false;
    colon = name.find(':', close);
  } else {
    colon = name.find(':');
  }
  // "C:\..." is a drive letter; a name with nothing after the colon names no database.
  if (colon == std::string_view::npos || colon < 2 || colon + 1 >= name.size()) return false;

  // The node: a host name or address, optionally "/" and a port number or service name.
  std::string_view node = name.substr(0, colon);
  const size_t slash = node.find('/');
  std::string_view host = node.substr(0, slash);
  if (host.empty()) return false;
  if (host.front() == '[') return host.back() == ']' && host.size() > 2;
  for (char c : host)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '_') return false;
  if (slash != std::string_view::npos) {
    std::string_view port = node.substr(slash + 1);
    if (port.empty()) return false;
    for (char c : port)
      if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_') return false;
  }
  return true;
}

}  // namespace livrexa
