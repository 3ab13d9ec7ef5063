#pragma once
// One attachment to a database (a file opened by the engine in this process, or a database on a
// Firebird server reached over the network), with what the gateway learns about the tables once
// per attachment: key and identity columns.

#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace Firebird {
class IAttachment;
class ITransaction;
}  // namespace Firebird

namespace livrexa {

// What the catalogue says about one column of a base table.
struct TFbColumnFacts {
  bool PrimaryKey = false;
  bool Identity = false;  // GENERATED ... AS IDENTITY
  int Precision = 0;      // declared digits of a NUMERIC/DECIMAL, 0 otherwise
};
using TFbRelationFacts = std::map<std::string, TFbColumnFacts>;  // by column name

// Provider names: the Firebird 4 and 3 engines (a library that lacks one skips the name), and the
// client's network protocol.
inline constexpr const char* kFbEngineProviders = "Engine13, Engine12";
inline constexpr const char* kFbRemoteProvider = "Remote";

// The configuration text an attachment of `path` carries: the providers allowed to serve it.
std::string AttachmentProviders(const std::string& path);

class TFbAttachment {
 public:
  // Attaches with the connection character set UTF8: a file in embedded mode, a server name
  // (database_name.h) through the remote protocol. Fails with the engine's message (TFbError).
  static std::unique_ptr<TFbAttachment> Attach(const std::string& path, const std::string& user,
                                               const std::string& password);
  ~TFbAttachment();  // ends the read transaction and detaches; failures are ignored
  TFbAttachment(const TFbAttachment&) = delete;
  TFbAttachment& operator=(const TFbAttachment&) = delete;

  Firebird::IAttachment* Api() const { return attachment_; }
  const std::string& Path() const { return path_; }
  const std::string& User() const { return user_; }

  // Asks the engine to stop the statement running on this attachment now (from any thread); the
  // statement then fails with the engine's cancellation error. Failures are ignored.
  void CancelRunningStatement();

  // Set once the attachment met a fatal error: it is detached rather than reused.
  bool Broken() const { return broken_; }
  void MarkBroken() { broken_ = true; }

  // The pool's generation when the attachment was made or handed out (see TFbPool).
  uint64_t Generation() const { return generation_; }
  void SetGeneration(uint64_t generation) { generation_ = generation; }

  // The transaction for statements outside explicit transactions: read committed and read-only,
  // started at the first such statement and kept for the attachment's life. The engine starts a
  // read-only read-committed transaction as already committed, so keeping it open holds back
  // neither garbage collection nor other transactions, and each statement in it sees what was
  // committed before it started. Starting a transaction writes the database header and a
  // transaction page to disk (synchronously); a read per request would pay that every time.
  Firebird::ITransaction* ReadTransaction();

  // Key, identity and precision facts of a base table's columns, read from the catalogue in the
  // given transaction the first time the table is met, then remembered.
  const TFbRelationFacts& RelationFacts(const std::string& relation, Firebird::ITransaction* transaction);

 private:
  TFbAttachment(Firebird::IAttachment* attachment, std::string path, std::string user)
      : attachment_(attachment), path_(std::move(path)), user_(std::move(user)) {}

  Firebird::IAttachment* attachment_;
  std::string path_;
  std::string user_;
  bool broken_ = false;
  uint64_t generation_ = 0;
  Firebird::ITransaction* readTransaction_ = nullptr;
  std::map<std::string, TFbRelationFacts> relations_;
};

}  // namespace livrexa
