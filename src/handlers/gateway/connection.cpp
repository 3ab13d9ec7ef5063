#include "handlers/gateway/connection.h"

#include <firebird/Interface.h>
#include <ibase.h>

#include <vector>

#include "handlers/gateway/detail/attachment.h"
#include "handlers/gateway/detail/client.h"

namespace livrexa {

namespace {

// Ends a transaction interface without asking the engine anything more (after a failure).
void Abandon(Firebird::ITransaction* transaction) {
  if (transaction) transaction->release();
}

}  // namespace

TFbConnection::TFbConnection(TPathSource pathSource)
    : TFbConnection(std::move(pathSource), &TFbPool::Shared()) {}

TFbConnection::TFbConnection(TPathSource pathSource, TFbPool* pool)
    : pathSource_(std::move(pathSource)), pool_(pool) {}

TFbConnection::~TFbConnection() {
  Disconnect();
}

void TFbConnection::Connect() {
  if (attachment_) return;
  std::string path;
  try {
    path = pathSource_ ? pathSource_() : std::string();
  } catch (...) {
    // A failure while reading the path leaves it empty; the attach then fails with the engine's text.
  }
  std::unique_ptr<TFbAttachment> attachment =
      pool_ ? pool_->Acquire(path, UserName, Password) : TFbAttachment::Attach(path, UserName, Password);
  std::lock_guard lock(cancelMutex_);
  attachment_ = std::move(attachment);
}

TFbAttachment& TFbConnection::Attachment() {
  Connect();
  return *attachment_;
}

void TFbConnection::Disconnect() {
  Rollback();
  DropAttachment();
}

void TFbConnection::CancelRunningStatement() {
  std::lock_guard lock(cancelMutex_);
  if (!attachment_) return;
  attachment_->MarkBroken();
  attachment_->CancelRunningStatement();
}

void TFbConnection::DropAttachment() {
  std::lock_guard lock(cancelMutex_);
  if (!attachment_) return;
  if (pool_) pool_->Release(std::move(attachment_));
  attachment_.reset();
}

void TFbConnection::StartTransaction() {
  if (transaction_) throw LivrexaError("A transaction is already active");
  TFbAttachment& attachment = Attachment();
  try {
    transaction_ = WithFbErrors([&] {
      const std::vector<unsigned char> tpb = FbTransactionParameters(false, LockTimeoutSeconds);
      TFbStatus st;
      return attachment.Api()->startTransaction(st.get(), static_cast<unsigned>(tpb.size()), tpb.data());
    });
  } catch (const TFbError& e) {
    NoteFailure(e);
    throw;
  }
}

void TFbConnection::Commit() {
  if (!transaction_) return;
  try {
    WithFbErrors([&] {
      TFbStatus st;
      transaction_->commit(st.get());  // releases the interface on success
    });
    transaction_ = nullptr;
  } catch (const TFbError& e) {
    NoteFailure(e);
    throw;
  }
}

void TFbConnection::Rollback() {
  if (!transaction_) return;
  Firebird::ITransaction* transaction = transaction_;
  transaction_ = nullptr;
  try {
    WithFbErrors([&] {
      TFbStatus st;
      transaction->rollback(st.get());
    });
  } catch (const TFbError& e) {
    Abandon(transaction);
    if (attachment_) attachment_->MarkBroken();
    NoteFailure(e);
  }
}

Firebird::ITransaction* TFbConnection::ReadTransaction() {
  TFbAttachment& attachment = Attachment();
  try {
    return attachment.ReadTransaction();
  } catch (const TFbError& e) {
    NoteFailure(e);
    throw;
  }
}

void TFbConnection::NoteFailure(const TFbError& error) {
  if (!error.Fatal() || !attachment_) return;
  Abandon(transaction_);
  transaction_ = nullptr;
  attachment_->MarkBroken();
  DropAttachment();
  if (pool_) pool_->ReportFatal();
}

}  // namespace livrexa
