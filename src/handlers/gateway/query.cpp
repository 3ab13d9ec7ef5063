#include "handlers/gateway/query.h"

#include <algorithm>

#include "handlers/gateway/detail/attachment.h"
#include "handlers/gateway/detail/statement.h"
#include "rest/wire/errors.h"
#include "rest/wire/wire_consts.h"

namespace livrexa {

// ---- text ---------------------------------------------------------------------------------

void TSqlLines::Clear() {
  lines_.clear();
  onChange_();
}

void TSqlLines::Add(std::string_view line) {
  lines_.emplace_back(line);
  onChange_();
}

void TSqlLines::SetText(std::string_view text) {
  lines_.clear();
  while (!text.empty()) {
    const size_t end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines_.emplace_back(line);
    text.remove_prefix(std::min(end + 1, text.size()));
  }
  onChange_();
}

void TSqlLines::Assign(std::initializer_list<std::string_view> lines) {
  lines_.assign(lines.begin(), lines.end());
  onChange_();
}

std::string TSqlLines::Text() const {
  std::string text;
  for (const std::string& line : lines_) {
    text += line;
    text += '\n';
  }
  return text;
}

// ---- command ------------------------------------------------------------------------------

TFbQuery::TFbQuery(TFbConnection& connection) : SQL([this] { TextChanged(); }), connection_(connection) {}

void TFbQuery::TextChanged() {
  Close();
  paramsStale_ = true;
}

void TFbQuery::RebuildParams() {
  if (!paramsStale_) return;
  scan_ = ScanSqlParams(SQL.Text());
  params_.clear();
  for (const std::string& name : scan_.Names) params_.emplace_back(name);
  paramsStale_ = false;
}

void TFbQuery::SetSql(std::initializer_list<std::string_view> lines) {
  SQL.Assign(lines);
}

void TFbQuery::Close() {
  active_ = false;
  fields_.clear();
  rows_.Clear();
  row_.clear();
  current_ = 0;
  eof_ = true;
}

size_t TFbQuery::ParamCount() {
  RebuildParams();
  return params_.size();
}

TFbParam& TFbQuery::Params(size_t index) {
  RebuildParams();
  if (index >= params_.size()) throw LivrexaError("List index out of bounds (" + std::to_string(index) + ")");
  return params_[index];
}

TFbParam& TFbQuery::ParamByName(std::string_view name) {
  RebuildParams();
  for (TFbParam& p : params_)
    if (SameText(p.Name(), name)) return p;
  throw LivrexaError("Parameter '" + std::string(name) + "' not found");
}

void TFbQuery::Open() {
  Run(TFbRunMode::Open, connection_);
}

void TFbQuery::OpenOn(TFbConnection& connection) {
  Run(TFbRunMode::Open, connection);
}

void TFbQuery::ExecSQL() {
  Run(TFbRunMode::Execute, connection_);
}

void TFbQuery::Run(TFbRunMode mode, TFbConnection& connection) {
  Close();
  RebuildParams();
  TFbAttachment& attachment = connection.Attachment();
  Firebird::ITransaction* explicitTransaction = connection.ExplicitTransaction();
  Firebird::ITransaction* transaction =
      explicitTransaction ? explicitTransaction : connection.ReadTransaction();
  TFbStatementResult result;
  try {
    result = RunFbStatement(attachment.Api(), transaction, scan_, params_, mode, MaxFetchBytes, true);
    // Key, identity and precision facts of the base tables the columns come from.
    for (TFbColumn& column : result.Columns) {
      if (column.Relation.empty()) continue;
      const TFbRelationFacts& facts = attachment.RelationFacts(column.Relation, transaction);
      const auto found = facts.find(column.Field);
      if (found == facts.end()) continue;
      column.Def.Primary = found->second.PrimaryKey;
      column.Def.AutoInc = found->second.Identity;
      if (column.Def.DataType == TFieldType::ftFMTBcd && found->second.Precision > 0)
        column.Def.Size = found->second.Precision;
    }
  } catch (const TFbError& e) {
    connection.NoteFailure(e);
    throw;
  }

  rowsAffected_ = result.RowsAffected;
  if (mode == TFbRunMode::Execute) return;
  for (TFbColumn& column : result.Columns) fields_.push_back(std::move(column.Def));
  rows_ = std::move(result.Packed);
  active_ = true;
  First();
}

const TFieldDef& TFbQuery::FieldDef(size_t index) const {
  if (index >= fields_.size()) throw LivrexaError("List index out of bounds (" + std::to_string(index) + ")");
  return fields_[index];
}

void TFbQuery::First() {
  current_ = 0;
  eof_ = rows_.Empty();
  if (!eof_) rows_.Unpack(0, row_);
}

void TFbQuery::Next() {
  if (current_ + 1 < rows_.Count())
    rows_.Unpack(++current_, row_);
  else
    eof_ = true;
}

const TFieldValue& TFbQuery::Value(size_t index) const {
  static const TFieldValue kNull;
  if (index >= fields_.size()) throw LivrexaError("List index out of bounds (" + std::to_string(index) + ")");
  if (rows_.Empty()) return kNull;
  return row_[index];
}

size_t TFbQuery::BlobSize(size_t index) const {
  const auto* bytes = std::get_if<std::string>(&Value(index));
  return bytes ? bytes->size() : 0;
}

void TFbQuery::SaveToStream(size_t index, std::ostream& stream) const {
  if (const auto* bytes = std::get_if<std::string>(&Value(index)))
    stream.write(bytes->data(), static_cast<std::streamsize>(bytes->size()));
}

}  // namespace livrexa
