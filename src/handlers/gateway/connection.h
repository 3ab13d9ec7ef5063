#pragma once
// Reaching the database: the handler module's connection, the pool its attachments come from,
// and the process's Firebird folder that the embedded engine and its tools share. The engine's
// own headers stay inside the gateway.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "handlers/gateway/errors.h"

namespace Firebird {
class ITransaction;
}  // namespace Firebird

namespace livrexa {

class TFbAttachment;

// Attachments kept open between handler modules. Attaching to the database file costs a few
// milliseconds, most of a small request; a module takes an idle attachment of the same file
// instead, keeps it for its whole life and hands it back, with no transaction open, when it ends.
//
// The pool is emptied when the database path changes (the first Acquire of another path), when
// the host switches the listener off (Clear(): a restore is about to move the file away) and when
// an attachment reports a fatal error (ReportFatal()). Attachments that are in use while the pool
// is emptied are detached when they come back instead of being kept. Switched off, the pool
// attaches for every Acquire and detaches at every Release (one attachment per module).
class TFbPool {
 public:
  // The pool the handler modules share.
  static TFbPool& Shared();

  explicit TFbPool(size_t maxIdle = 32);
  ~TFbPool();
  TFbPool(const TFbPool&) = delete;
  TFbPool& operator=(const TFbPool&) = delete;

  void SetEnabled(bool enabled);  // switching off also empties the pool
  bool Enabled() const;
  void SetMaxIdle(size_t maxIdle);

  // An idle attachment of the file made for the same user, or a new one. Fails with the engine's
  // message.
  std::unique_ptr<TFbAttachment> Acquire(const std::string& path, const std::string& user,
                                         const std::string& password);
  // Takes an attachment back. The caller has ended its transactions. Broken attachments,
  // attachments of an emptied pool, of another path, or beyond the idle limit are detached.
  void Release(std::unique_ptr<TFbAttachment> attachment);

  // Detaches every idle attachment; attachments in use are detached when they come back.
  void Clear();
  // An attachment met a fatal error: the others of the same file are suspect too.
  void ReportFatal();

  size_t IdleCount() const;
  // Attachments made since the pool was created (a measure of reuse).
  uint64_t AttachCount() const;

 private:
  // Removes the idle attachments under the lock; they are detached after it is released.
  std::vector<std::unique_ptr<TFbAttachment>> TakeIdleLocked();

  mutable std::mutex mutex_;
  bool enabled_ = true;
  size_t maxIdle_;
  std::string path_;
  uint64_t generation_ = 1;
  uint64_t attachCount_ = 0;
  std::vector<std::unique_ptr<TFbAttachment>> idle_;
};

// Detaches every attachment of the shared pool and stops the embedded engine and its threads.
// For the end of the process; an attachment still in use afterwards fails with the engine's message.
void FbShutdown();

// The handler module's database connection (Database1): lazy, with explicit transactions.
//
// The connection attaches at the first statement, with the database path its path source gives
// at that moment (the host's current setting), user "sysdba", password "brickwall" and the
// connection character set UTF8, so every character a client sends reads back unchanged. It keeps
// its attachment until Disconnect() or its destruction; with a pool, the attachment comes from
// the pool and goes back to it with no transaction open.
//
// Transactions: StartTransaction() begins an explicit read-committed transaction that waits up
// to LockTimeoutSeconds for a row another transaction holds; every statement of the connection
// runs in it until Commit() or Rollback(). Outside an explicit transaction statements run in the
// attachment's read-committed read-only transaction, so each sees the data committed before it
// started, and a statement that changes data fails there with the engine's message.
class TFbConnection {
 public:
  using TPathSource = std::function<std::string()>;

  // Attachments come from the shared pool and go back to it.
  explicit TFbConnection(TPathSource pathSource);
  // pool: where attachments come from and go back to; nullptr attaches and detaches on its own.
  TFbConnection(TPathSource pathSource, TFbPool* pool);
  ~TFbConnection();
  TFbConnection(const TFbConnection&) = delete;
  TFbConnection& operator=(const TFbConnection&) = delete;

  std::string UserName = "sysdba";
  std::string Password = "brickwall";
  int LockTimeoutSeconds = 30;

  bool Connected() const { return attachment_ != nullptr; }
  // Attaches now if not yet attached. Fails with the engine's message and stays disconnected.
  void Connect();
  // Rolls back an open transaction and lets the attachment go (to the pool, or detached).
  void Disconnect();

  void StartTransaction();
  // Makes the transaction's work permanent. With no transaction open it does nothing.
  void Commit();
  // Undoes the transaction's work. With no transaction open it does nothing. It never fails: when
  // the engine cannot roll back (the attachment is lost), the engine undoes the work itself and
  // the attachment is dropped.
  void Rollback();
  bool InTransaction() const { return transaction_ != nullptr; }

  // Stops the statement that runs on this connection now, from another thread (see
  // TFbAttachment::CancelRunningStatement). The attachment is then not kept for another module:
  // a cancellation that arrives just after its statement ended could meet the next one.
  void CancelRunningStatement();

  // ---- for the command ----
  // The attachment, connecting first when needed.
  TFbAttachment& Attachment();
  // The explicit transaction, or nullptr.
  Firebird::ITransaction* ExplicitTransaction() const { return transaction_; }
  // The transaction for a statement outside an explicit transaction: the attachment's own
  // read-only one (see TFbAttachment::ReadTransaction).
  Firebird::ITransaction* ReadTransaction();
  // Called with every engine failure met on this connection: a fatal one drops the attachment
  // (and empties the pool) so the next statement attaches afresh.
  void NoteFailure(const TFbError& error);

 private:
  void DropAttachment();

  TPathSource pathSource_;
  TFbPool* pool_;
  std::unique_ptr<TFbAttachment> attachment_;
  Firebird::ITransaction* transaction_ = nullptr;
  std::mutex cancelMutex_;  // the attachment stays while a cancellation reaches it
};

// The process's own Firebird folder: the embedded engine's configuration, lock and temporary
// files live in a folder the server owns, not in the system installation's.
//
// Layout of the folder:
//   firebird.conf      ServerMode = SuperClassic, Providers = the engines only; the remote
//                      provider is listed too only while the server's database is on a Firebird
//                      server (SetServerMode), for the tools started as children
//   intl/              a real copy of the installation's libfbintl.so (and fbintl.conf)
//   plugins/           real copies of the installation's plugins (engine, authentication, UDR),
//                      which Firebird 4 looks for here
//   firebird.msg       a copy of the engine's message texts
//   lock/              FIREBIRD_LOCK: shared by the server and every gbak it starts
//   tmp/               FIREBIRD_TMP: sort files
//
// SuperClassic lets several processes (the server and a gbak child making the daily backup) open
// the same file at once; keeping Providers to the engine stops an "embedded" open of a file that a
// Firebird server holds from silently going over TCP. The library reads FIREBIRD, FIREBIRD_LOCK and
// FIREBIRD_TMP at its first call, so Activate() sets them before that; every Firebird tool started
// as a child must get the same three values (ToolEnvironment()), or its locks would not be
// coordinated with ours. The process's own attachments name their providers themselves
// (AttachmentProviders in detail/attachment.h), so a change of mode needs no restart.
class TFbEnvironment {
 public:
  static TFbEnvironment& Instance();

  // Chooses the folder. Allowed until the environment is active; choosing another folder
  // afterwards fails (the client library keeps the folder it started with).
  void SetFolder(const std::filesystem::path& folder);
  std::filesystem::path Folder() const;

  // Creates the folder's files and sets FIREBIRD, FIREBIRD_LOCK and FIREBIRD_TMP in the process.
  // Idempotent. The gateway calls it before its first client call; a host should call it during
  // start-up, while it has only one thread (setting environment variables is not thread-safe).
  void Activate();
  bool Active() const;

  // Whether the server's database is on a Firebird server: firebird.conf then lists the remote
  // provider before the engines, so a gbak child can reach the server (and still restore into a
  // local file). Allowed at any time; an active environment rewrites the file at once.
  void SetServerMode(bool serverMode);
  bool ServerMode() const;

  // The variables to hand to a Firebird tool started as a child process (gbak, isql-fb).
  std::vector<std::pair<std::string, std::string>> ToolEnvironment() const;

  // LIVREXA_FIREBIRD_DIR when set; otherwise $XDG_DATA_HOME/livrexa/firebird or
  // ~/.local/share/livrexa/firebird.
  static std::filesystem::path DefaultFolder();
  // The Firebird installation whose modules are copied: LIVREXA_FIREBIRD_HOME when set, otherwise
  // the newest version folder holding intl/libfbintl.so in the first known library folder that has
  // one.
  static std::filesystem::path InstallationFolder();
  // The text written into firebird.conf.
  static std::string ConfigText(bool serverMode = false);

 private:
  TFbEnvironment() = default;
  void CreateFiles() const;
  void WriteConfig() const;  // under the lock

  mutable std::mutex mutex_;
  std::filesystem::path folder_;
  bool active_ = false;
  bool serverMode_ = false;
};

}  // namespace livrexa
