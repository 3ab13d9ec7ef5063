#pragma once
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

#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "handlers/fb_attachment.h"
#include "handlers/fb_error.h"
#include "handlers/fb_pool.h"

namespace livrexa {

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

}  // namespace livrexa
