#include "handlers/gateway/detail/attachment.h"

#include <ibase.h>

#include "handlers/gateway/connection.h"
#include "handlers/gateway/database_name.h"
#include "handlers/gateway/detail/client.h"
#include "handlers/gateway/detail/statement.h"

namespace livrexa {

namespace {

constexpr int kServerConnectTimeoutSeconds = 15;

// Every column of one table with its primary-key membership, identity and declared precision.
constexpr const char* kRelationFactsSql =
    "select trim(rf.rdb$field_name), rf.rdb$identity_type, f.rdb$field_precision,"
    " iif(exists(select 1 from rdb$relation_constraints rc"
    "   join rdb$index_segments s on s.rdb$index_name = rc.rdb$index_name"
    "   where rc.rdb$relation_name = rf.rdb$relation_name and rc.rdb$constraint_type = 'PRIMARY KEY'"
    "   and s.rdb$field_name = rf.rdb$field_name), 1, 0)"
    " from rdb$relation_fields rf join rdb$fields f on f.rdb$field_name = rf.rdb$field_source"
    " where rf.rdb$relation_name = :relation";

}  // namespace

std::string AttachmentProviders(const std::string& path) {
  return std::string("Providers = ") + (IsServerDatabaseName(path) ? kFbRemoteProvider : kFbEngineProviders);
}

std::unique_ptr<TFbAttachment> TFbAttachment::Attach(const std::string& path, const std::string& user,
                                                     const std::string& password) {
  return WithFbErrors([&] {
    TFbStatus st;
    Firebird::IXpbBuilder* dpb = FbUtil()->getXpbBuilder(st.get(), Firebird::IXpbBuilder::DPB, nullptr, 0);
    struct TDisposer {
      Firebird::IXpbBuilder* b;
      ~TDisposer() { b->dispose(); }
    } disposer{dpb};
    dpb->insertString(st.get(), isc_dpb_user_name, user.c_str());
    dpb->insertString(st.get(), isc_dpb_password, password.c_str());
    dpb->insertString(st.get(), isc_dpb_lc_ctype, "UTF8");
    // Each attachment names the providers that may serve it, whatever firebird.conf lists: a
    // server name goes over the network only, a file only to the engine in this process.
    dpb->insertString(st.get(), isc_dpb_config, AttachmentProviders(path).c_str());
    // A server that does not answer at all fails the attachment in seconds, not the client
    // library's three minutes: a request or the start-up then says so instead of hanging.
    if (IsServerDatabaseName(path))
      dpb->insertInt(st.get(), isc_dpb_connect_timeout, kServerConnectTimeoutSeconds);
    Firebird::IProvider* provider = FbMaster()->getDispatcher();
    struct TReleaser {
      Firebird::IProvider* p;
      ~TReleaser() { p->release(); }
    } releaser{provider};
    Firebird::IAttachment* attachment = provider->attachDatabase(
        st.get(), path.c_str(), dpb->getBufferLength(st.get()), dpb->getBuffer(st.get()));
    return std::unique_ptr<TFbAttachment>(new TFbAttachment(attachment, path, user));
  });
}

TFbAttachment::~TFbAttachment() {
  Firebird::IStatus* status = FbMaster()->getStatus();
  Firebird::CheckStatusWrapper st(status);
  if (readTransaction_) {
    readTransaction_->commit(&st);  // releases the interface when it succeeds
    if (st.getState() & Firebird::IStatus::STATE_ERRORS) readTransaction_->release();
    st.init();
  }
  attachment_->detach(&st);
  // detach releases the interface when it succeeds; after a failure (a lost attachment) the
  // interface is released without detaching.
  if (st.getState() & Firebird::IStatus::STATE_ERRORS) attachment_->release();
  status->dispose();
}

void TFbAttachment::CancelRunningStatement() {
  Firebird::IStatus* status = FbMaster()->getStatus();
  Firebird::CheckStatusWrapper st(status);
  attachment_->cancelOperation(&st, fb_cancel_raise);
  status->dispose();
}

Firebird::ITransaction* TFbAttachment::ReadTransaction() {
  if (!readTransaction_) {
    readTransaction_ = WithFbErrors([&] {
      static const std::vector<unsigned char> tpb = FbTransactionParameters(true, 0);
      TFbStatus st;
      return attachment_->startTransaction(st.get(), static_cast<unsigned>(tpb.size()), tpb.data());
    });
  }
  return readTransaction_;
}

const TFbRelationFacts& TFbAttachment::RelationFacts(const std::string& relation,
                                                     Firebird::ITransaction* transaction) {
  if (const auto found = relations_.find(relation); found != relations_.end()) return found->second;
  const TSqlParamScan sql = ScanSqlParams(kRelationFactsSql);
  std::vector<TFbParam> params{TFbParam("relation")};
  params[0].SetAsString(relation);
  const TFbStatementResult result = RunFbStatement(attachment_, transaction, sql, params, TFbRunMode::Open);
  TFbRelationFacts facts;
  for (const auto& row : result.Rows) {
    TFbColumnFacts column;
    column.Identity = !std::holds_alternative<std::monostate>(row[1]);
    if (const auto* precision = std::get_if<int64_t>(&row[2]))
      column.Precision = static_cast<int>(*precision);
    column.PrimaryKey = std::get<int64_t>(row[3]) != 0;
    facts[std::get<std::string>(row[0])] = column;
  }
  return relations_.emplace(relation, std::move(facts)).first->second;
}

}  // namespace livrexa
