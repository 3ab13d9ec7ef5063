#pragma once
// A private Firebird server for the tests of the server mode: Debian's /usr/sbin/firebird run
// directly, on a free loopback port, with a folder of its own as FIREBIRD (firebird.conf, lock
// and tmp folders, copies of firebird.msg, plugins.conf and intl/) and a security database of its
// own, made from the installation's security.sql by embedded isql with the SYSDBA password
// "brickwall". Nothing of the system's Firebird server (its service, its security database, its
// port) is used.

#include <sys/types.h>

#include <filesystem>
#include <string>

namespace livrexa::test {

class TFirebirdServer {
 public:
  // The server program (LIVREXA_FIREBIRD_SERVER, else /usr/sbin/firebird); empty when absent.
  static std::filesystem::path Program();
  // Why the tests of the server mode are skipped, when the program is absent ("" otherwise).
  static std::string SkipReason();

  // Prepares the folder under a new temporary folder and starts the server; throws
  // std::runtime_error with what went wrong (and the server's log).
  TFirebirdServer();
  ~TFirebirdServer();  // stops the server and removes its folder
  TFirebirdServer(const TFirebirdServer&) = delete;
  TFirebirdServer& operator=(const TFirebirdServer&) = delete;

  int Port() const { return port_; }
  // A folder for databases of this server.
  const std::filesystem::path& DataFolder() const { return data_; }
  // The server name of a database file: "127.0.0.1/PORT:" + path.
  std::string Name(const std::filesystem::path& database) const;
  // The FIREBIRD folder of a client that reaches this server (the remote provider listed).
  const std::filesystem::path& ClientFolder() const { return client_; }

  // Runs isql-fb as a client of this server on a script (SYSDBA); returns its exit status and
  // fills `output`.
  int Isql(const std::string& script, std::string& output, const std::string& database = "") const;

  // SIGTERM, then SIGKILL when it does not end in a few seconds. Harmless when stopped.
  void Stop();
  bool Running() const { return pid_ > 0; }

 private:
  void Start();

  std::filesystem::path root_, folder_, data_, client_;
  int port_ = 0;
  pid_t pid_ = -1;
};

}  // namespace livrexa::test
