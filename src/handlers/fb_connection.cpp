#include "handlers/fb_connection.h"

#include <ibase.h>

#include <vector>

namespace livrexa {

namespace {

std::vector<unsigned char> BuildTpb(bool readOnly, int lockTimeoutSeconds) {
  TFbStatus st;
  Firebird::IXpbBuilder* tpb = FbUtil()->getXpbBuilder(st.get(), Firebird::IXpbBuilder::TPB, nullptr, 0);
  struct TDisposer {
    Firebird::IXpbBuilder* b;
    ~TDisposer() { b->dispose(); }
  } disposer{tpb};
  tpb->insertTag(st.get(), readOnly ? isc_tpb_read : isc_tpb_write);
  tpb->insertTag(st.get(), isc_tpb_read_committed);
  tpb->insertTag(st.get(), isc_tpb_rec_version);
  if (readOnly) {
    tpb->insertTag(st.get(), isc_tpb_nowait);
  } else {
    tpb->insertTag(st.get(), isc_tpb_wait);
    tpb->insertInt(st.get(), isc_tpb_lock_timeout, lockTimeoutSeconds);
  }
  const unsigned char* bytes = tpb->getBuffer(st.get());
  return {bytes, bytes + tpb->getBufferLength(st.get())};
}

// Ends a transaction interface without asking the engine anything more (after a failure).
void Abandon(Firebird::ITransaction* transaction) {
  if (transaction) transaction->release();
}

}  // namespace

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
  attachment_ =
      pool_ ? pool_->Acquire(path, UserName, Password) : TFbAttachment::Attach(path, UserName, Password);
}

TFbAttachment& TFbConnection::Attachment() {
  Connect();
  return *attachment_;
}

void TFbConnection::Disconnect() {
  Rollback();
  DropAttachment();
}

void TFbConnection::DropAttachment() {
  if (!attachment_) return;
  if (pool_) pool_->Release(std::move(attachment_));
  attachment_.reset();
}

void TFbConnection::StartTransaction() {
  if (transaction_) throw LivrexaError("A transaction is already active");
  TFbAttachment& attachment = Attachment();
  try {
    transaction_ = WithFbErrors([&] {
      const std::vector<unsigned char> tpb = BuildTpb(false, LockTimeoutSeconds);
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

Firebird::ITransaction* TFbConnection::StartReadTransaction() {
  TFbAttachment& attachment = Attachment();
  try {
    return WithFbErrors([&] {
      static const std::vector<unsigned char> tpb = BuildTpb(true, 0);
      TFbStatus st;
      return attachment.Api()->startTransaction(st.get(), static_cast<unsigned>(tpb.size()), tpb.data());
    });
  } catch (const TFbError& e) {
    NoteFailure(e);
    throw;
  }
}

void TFbConnection::EndReadTransaction(Firebird::ITransaction* transaction, bool commit) {
  try {
    WithFbErrors([&] {
      TFbStatus st;
      if (commit)
        transaction->commit(st.get());
      else
        transaction->rollback(st.get());
    });
  } catch (const TFbError& e) {
    Abandon(transaction);
    if (attachment_) attachment_->MarkBroken();
    NoteFailure(e);
    if (commit) throw;
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
