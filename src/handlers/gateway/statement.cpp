#include "handlers/gateway/detail/statement.h"

#include <ibase.h>

#include <cmath>
#include <cstring>
#include <memory>

#include "handlers/gateway/detail/client.h"
#include "rest/wire/errors.h"

namespace livrexa {

namespace {

using Firebird::IAttachment;
using Firebird::IBlob;
using Firebird::IMessageMetadata;
using Firebird::IMetadataBuilder;
using Firebird::IResultSet;
using Firebird::IStatement;
using Firebird::IStatus;
using Firebird::ITransaction;

constexpr unsigned kCharSetUtf8 = 4;
constexpr size_t kMaxVarcharBytes = 32765;
constexpr unsigned kTextFallbackBytes = 256;  // columns of types the table does not know, read as text
constexpr unsigned kBlobChunk = 32768;

// Releases an interface unless ownership passed on (close/free/commit release it on success).
template <typename T>
struct TReleaser {
  void operator()(T* p) const {
    if (p) p->release();
  }
};
template <typename T>
using TFbRef = std::unique_ptr<T, TReleaser<T>>;

// ---- dates and times ---------------------------------------------------------------------

void EncodeTimeStamp(TDateTime value, ISC_DATE& date, ISC_TIME& time) {
  if (value >= 0) {
    const int64_t units = std::llround(value * static_cast<double>(kFbTimeUnitsPerDay));
    date = static_cast<ISC_DATE>(units / kFbTimeUnitsPerDay + kFbDateOffset);
    time = static_cast<ISC_TIME>(units % kFbTimeUnitsPerDay);
    return;
  }
  // Before 1899-12-30 the runtime writes the day as the whole part and the time as the
  // (positive) fraction: -1.25 is 1899-12-29 06:00.
  const double day = std::trunc(value);
  int64_t units = std::llround((day - value) * static_cast<double>(kFbTimeUnitsPerDay));
  if (units >= kFbTimeUnitsPerDay) units = kFbTimeUnitsPerDay - 1;
  date = static_cast<ISC_DATE>(static_cast<int64_t>(day) + kFbDateOffset);
  time = static_cast<ISC_TIME>(units);
}

TDateTime DecodeTimeStamp(ISC_DATE date, ISC_TIME time) {
  const double day = static_cast<double>(date) - kFbDateOffset;
  const double fraction = static_cast<double>(time) / static_cast<double>(kFbTimeUnitsPerDay);
  return day >= 0 ? day + fraction : day - fraction;
}

// ---- input message -------------------------------------------------------------------------

bool IsTextType(TFieldType t) {
  return ValueClassOf(t) == TValueClass::Text && t != TFieldType::ftMemo;
}
bool IsIntegerParam(TFieldType t) {
  return t == TFieldType::ftInteger || t == TFieldType::ftSmallint || t == TFieldType::ftWord ||
         t == TFieldType::ftAutoInc || t == TFieldType::ftShortint || t == TFieldType::ftByte;
}

// How one parameter marker travels.
struct TInputSlot {
  unsigned SqlType = 0;
  int SubType = 0;
  unsigned Length = 0;
  unsigned CharSet = 0;
  int Scale = 0;
  const TFbParam* Param = nullptr;
  bool TextBlob = false;
};

TInputSlot SlotFor(const TFbParam& p, IMessageMetadata* statementInput, unsigned index, TFbStatus& st) {
  TInputSlot slot;
  slot.Param = &p;
  if (p.IsNull()) {
    // A null travels in the type the statement expects there.
    slot.SqlType = statementInput->getType(st.get(), index);
    slot.SubType = statementInput->getSubType(st.get(), index);
    slot.Length = statementInput->getLength(st.get(), index);
    slot.CharSet = statementInput->getCharSet(st.get(), index);
    slot.Scale = statementInput->getScale(st.get(), index);
    return slot;
  }
  const TFieldType t = p.DataType();
  if (IsTextType(t)) {
    const auto& text = std::get<std::string>(p.Value());
    if (text.size() <= kMaxVarcharBytes) {
      slot.SqlType = SQL_VARYING;
      slot.Length = static_cast<unsigned>(std::max<size_t>(text.size(), 1));
      slot.CharSet = kCharSetUtf8;
    } else {
      slot.SqlType = SQL_BLOB;  // longer than any VARCHAR: a text blob, which the engine converts
      slot.SubType = 1;
      slot.Length = sizeof(ISC_QUAD);
      slot.CharSet = kCharSetUtf8;
      slot.TextBlob = true;
    }
  } else if (IsIntegerParam(t)) {
    slot.SqlType = SQL_LONG;
    slot.Length = sizeof(ISC_LONG);
  } else if (t == TFieldType::ftLargeint) {
    slot.SqlType = SQL_INT64;
    slot.Length = sizeof(ISC_INT64);
  } else if (t == TFieldType::ftBoolean) {
    slot.SqlType = SQL_BOOLEAN;
    slot.Length = sizeof(FB_BOOLEAN);
  } else if (t == TFieldType::ftDate) {
    slot.SqlType = SQL_TYPE_DATE;
    slot.Length = sizeof(ISC_DATE);
  } else if (t == TFieldType::ftTime) {
    slot.SqlType = SQL_TYPE_TIME;
    slot.Length = sizeof(ISC_TIME);
  } else if (ValueClassOf(t) == TValueClass::DateTime) {
    slot.SqlType = SQL_TIMESTAMP;
    slot.Length = sizeof(ISC_TIMESTAMP);
  } else if (ValueClassOf(t) == TValueClass::Float) {
    slot.SqlType = SQL_DOUBLE;
    slot.Length = sizeof(double);
  } else {
    // Pictures, plain blobs and memos: a large object.
    slot.SqlType = SQL_BLOB;
    slot.Length = sizeof(ISC_QUAD);
    slot.TextBlob = t == TFieldType::ftMemo;
    slot.SubType = slot.TextBlob ? 1 : 0;
    slot.CharSet = slot.TextBlob ? kCharSetUtf8 : 0;
  }
  return slot;
}

ISC_QUAD WriteBlob(IAttachment* attachment, ITransaction* transaction, const std::string& bytes, bool text,
                   TFbStatus& st) {
  // A text blob is marked as UTF8 text so the engine can convert it to a character column.
  static const unsigned char kTextBpb[] = {isc_bpb_version1,
                                           isc_bpb_source_type,
                                           1,
                                           1,
                                           isc_bpb_target_type,
                                           1,
                                           1,
                                           isc_bpb_source_interp,
                                           1,
                                           kCharSetUtf8,
                                           isc_bpb_target_interp,
                                           1,
                                           kCharSetUtf8};
  ISC_QUAD id{};
  TFbRef<IBlob> blob(text ? attachment->createBlob(st.get(), transaction, &id, sizeof(kTextBpb), kTextBpb)
                          : attachment->createBlob(st.get(), transaction, &id, 0, nullptr));
  for (size_t at = 0; at < bytes.size(); at += kBlobChunk) {
    const size_t n = std::min<size_t>(kBlobChunk, bytes.size() - at);
    blob->putSegment(st.get(), static_cast<unsigned>(n), bytes.data() + at);
  }
  blob->close(st.get());
  (void)blob.release();
  return id;
}

void WriteValue(unsigned char* at, const TInputSlot& slot, IAttachment* attachment, ITransaction* transaction,
                TFbStatus& st) {
  const auto& value = slot.Param->Value();
  switch (slot.SqlType) {
    case SQL_VARYING: {
      const auto& text = std::get<std::string>(value);
      const auto length = static_cast<ISC_SHORT>(text.size());
      std::memcpy(at, &length, sizeof(length));
      std::memcpy(at + sizeof(length), text.data(), text.size());
      break;
    }
    case SQL_LONG: {
      const auto v = static_cast<ISC_LONG>(std::get<int64_t>(value));
      std::memcpy(at, &v, sizeof(v));
      break;
    }
    case SQL_INT64: {
      const auto v = static_cast<ISC_INT64>(std::get<int64_t>(value));
      std::memcpy(at, &v, sizeof(v));
      break;
    }
    case SQL_BOOLEAN: {
      const FB_BOOLEAN v = std::get<bool>(value) ? FB_TRUE : FB_FALSE;
      std::memcpy(at, &v, sizeof(v));
      break;
    }
    case SQL_DOUBLE: {
      const double v = std::get<double>(value);
      std::memcpy(at, &v, sizeof(v));
      break;
    }
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIME:
    case SQL_TIMESTAMP: {
      ISC_TIMESTAMP ts{};
      EncodeTimeStamp(std::get<double>(value), ts.timestamp_date, ts.timestamp_time);
      if (slot.SqlType == SQL_TYPE_DATE)
        std::memcpy(at, &ts.timestamp_date, sizeof(ISC_DATE));
      else if (slot.SqlType == SQL_TYPE_TIME)
        std::memcpy(at, &ts.timestamp_time, sizeof(ISC_TIME));
      else
        std::memcpy(at, &ts, sizeof(ts));
      break;
    }
    case SQL_BLOB: {
      const ISC_QUAD id = WriteBlob(attachment, transaction, std::get<std::string>(value), slot.TextBlob, st);
      std::memcpy(at, &id, sizeof(id));
      break;
    }
    default:
      break;
  }
}

struct TInputMessage {
  TFbRef<IMessageMetadata> Metadata;
  std::vector<unsigned char> Buffer;
};

TInputMessage BuildInput(IAttachment* attachment, ITransaction* transaction, IStatement* statement,
                         const TSqlParamScan& sql, const std::vector<TFbParam>& params, TFbStatus& st) {
  TInputMessage message;
  TFbRef<IMessageMetadata> statementInput(statement->getInputMetadata(st.get()));
  const unsigned count = statementInput->getCount(st.get());
  if (count != sql.Markers.size())
    throw LivrexaError("The statement has " + std::to_string(count) + " parameter markers, the text names " +
                       std::to_string(sql.Markers.size()));
  if (count == 0) return message;

  std::vector<TInputSlot> slots;
  slots.reserve(count);
  for (unsigned i = 0; i < count; ++i)
    slots.push_back(SlotFor(params[sql.Markers[i]], statementInput.get(), i, st));

  TFbRef<IMetadataBuilder> builder(FbMaster()->getMetadataBuilder(st.get(), count));
  for (unsigned i = 0; i < count; ++i) {
    builder->setType(st.get(), i, slots[i].SqlType | 1);
    builder->setSubType(st.get(), i, slots[i].SubType);
    builder->setLength(st.get(), i, slots[i].Length);
    builder->setCharSet(st.get(), i, slots[i].CharSet);
    builder->setScale(st.get(), i, slots[i].Scale);
  }
  message.Metadata.reset(builder->getMetadata(st.get()));
  message.Buffer.assign(message.Metadata->getMessageLength(st.get()), 0);
  for (unsigned i = 0; i < count; ++i) {
    unsigned char* base = message.Buffer.data();
    const ISC_SHORT null = slots[i].Param->IsNull() ? -1 : 0;
    std::memcpy(base + message.Metadata->getNullOffset(st.get(), i), &null, sizeof(null));
    if (null == 0)
      WriteValue(base + message.Metadata->getOffset(st.get(), i), slots[i], attachment, transaction, st);
  }
  return message;
}

// ---- output message ------------------------------------------------------------------------

std::string ReadBlob(IAttachment* attachment, ITransaction* transaction, ISC_QUAD id, TFbStatus& st) {
  TFbRef<IBlob> blob(attachment->openBlob(st.get(), transaction, &id, 0, nullptr));
  std::string bytes;
  std::vector<char> chunk(kBlobChunk);
  for (;;) {
    unsigned got = 0;
    const int result = blob->getSegment(st.get(), static_cast<unsigned>(chunk.size()), chunk.data(), &got);
    if (result == IStatus::RESULT_NO_DATA) break;
    bytes.append(chunk.data(), got);
  }
  blob->close(st.get());
  (void)blob.release();
  return bytes;
}

double Scaled(int64_t v, int scale) {
  if (scale >= 0) return static_cast<double>(v) * std::pow(10.0, scale);
  return static_cast<double>(v) / std::pow(10.0, -scale);
}

template <typename T>
T Load(const unsigned char* at) {
  T v;
  std::memcpy(&v, at, sizeof(T));
  return v;
}

TFieldValue ReadValue(const unsigned char* at, const TFbColumnType& c, IAttachment* attachment,
                      ITransaction* transaction, TFbStatus& st) {
  switch (c.SqlType) {
    case SQL_VARYING: {
      const auto length = Load<ISC_SHORT>(at);
      return std::string(reinterpret_cast<const char*>(at + sizeof(ISC_SHORT)), static_cast<size_t>(length));
    }
    case SQL_TEXT: {
      std::string text(reinterpret_cast<const char*>(at), c.Length);
      if (c.CharSet != 1) {  // fixed-length text is padded with blanks; octets are kept whole
        const size_t end = text.find_last_not_of(' ');
        text.resize(end == std::string::npos ? 0 : end + 1);
      }
      return text;
    }
    case SQL_SHORT: {
      const auto v = Load<ISC_SHORT>(at);
      if (c.Scale == 0) return static_cast<int64_t>(v);
      return Scaled(v, c.Scale);
    }
    case SQL_LONG: {
      const auto v = Load<ISC_LONG>(at);
      if (c.Scale == 0) return static_cast<int64_t>(v);
      return Scaled(v, c.Scale);
    }
    case SQL_INT64: {
      const auto v = Load<ISC_INT64>(at);
      if (c.Scale == 0) return static_cast<int64_t>(v);
      return Scaled(v, c.Scale);
    }
    case SQL_FLOAT:
      return static_cast<double>(Load<float>(at));
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
      return Load<double>(at);
    case SQL_TYPE_DATE:
      return static_cast<double>(Load<ISC_DATE>(at)) - kFbDateOffset;
    case SQL_TYPE_TIME:
      return static_cast<double>(Load<ISC_TIME>(at)) / static_cast<double>(kFbTimeUnitsPerDay);
    case SQL_TIMESTAMP: {
      const auto ts = Load<ISC_TIMESTAMP>(at);
      return DecodeTimeStamp(ts.timestamp_date, ts.timestamp_time);
    }
    case SQL_BOOLEAN:
      return Load<FB_BOOLEAN>(at) != FB_FALSE;
    case SQL_BLOB:
      return ReadBlob(attachment, transaction, Load<ISC_QUAD>(at), st);
    default:
      return std::monostate{};
  }
}

struct TOutputMessage {
  TFbRef<IMessageMetadata> Metadata;
  std::vector<TFbColumn> Columns;
  std::vector<unsigned> Offsets, NullOffsets;
  std::vector<unsigned char> Buffer;
};

TOutputMessage DescribeOutput(IStatement* statement, TFbStatus& st) {
  TOutputMessage out;
  TFbRef<IMessageMetadata> meta(statement->getOutputMetadata(st.get()));
  const unsigned count = meta->getCount(st.get());
  // Types the mapping table does not know are asked for as text, which the engine converts.
  bool retype = false;
  for (unsigned i = 0; i < count; ++i) {
    TFbColumnType type{meta->getType(st.get(), i) & ~1u, meta->getSubType(st.get(), i),
                       meta->getScale(st.get(), i), meta->getLength(st.get(), i),
                       meta->getCharSet(st.get(), i)};
    retype = retype || !FieldTypeOf(type).has_value();
  }
  if (retype) {
    TFbRef<IMetadataBuilder> builder(meta->getBuilder(st.get()));
    for (unsigned i = 0; i < count; ++i) {
      TFbColumnType type{meta->getType(st.get(), i) & ~1u, meta->getSubType(st.get(), i),
                         meta->getScale(st.get(), i), meta->getLength(st.get(), i),
                         meta->getCharSet(st.get(), i)};
      if (FieldTypeOf(type)) continue;
      builder->setType(st.get(), i, SQL_VARYING | 1);
      builder->setSubType(st.get(), i, 0);
      builder->setScale(st.get(), i, 0);
      builder->setCharSet(st.get(), i, kCharSetUtf8);
      builder->setLength(st.get(), i, kTextFallbackBytes);
    }
    meta.reset(builder->getMetadata(st.get()));
  }
  for (unsigned i = 0; i < count; ++i) {
    TFbColumn column;
    column.Type = {meta->getType(st.get(), i) & ~1u, meta->getSubType(st.get(), i),
                   meta->getScale(st.get(), i), meta->getLength(st.get(), i), meta->getCharSet(st.get(), i)};
    column.Nullable = meta->isNullable(st.get(), i);
    column.Relation = meta->getRelation(st.get(), i);
    column.Field = meta->getField(st.get(), i);
    column.Def = DescribeFbColumn(meta->getAlias(st.get(), i), column.Type);
    column.Def.Required = !column.Nullable;
    out.Columns.push_back(std::move(column));
    out.Offsets.push_back(meta->getOffset(st.get(), i));
    out.NullOffsets.push_back(meta->getNullOffset(st.get(), i));
  }
  out.Buffer.assign(meta->getMessageLength(st.get()), 0);
  out.Metadata = std::move(meta);
  return out;
}

std::vector<TFieldValue> ReadRow(const TOutputMessage& out, IAttachment* attachment,
                                 ITransaction* transaction, TFbStatus& st) {
  std::vector<TFieldValue> row;
  row.reserve(out.Columns.size());
  for (size_t i = 0; i < out.Columns.size(); ++i) {
    if (Load<ISC_SHORT>(out.Buffer.data() + out.NullOffsets[i]) != 0) {
      row.emplace_back(std::monostate{});
      continue;
    }
    row.push_back(
        ReadValue(out.Buffer.data() + out.Offsets[i], out.Columns[i].Type, attachment, transaction, st));
  }
  return row;
}

}  // namespace

std::string FetchLimitMessage(uint64_t maxFetchBytes) {
  return "O resultado da consulta passa do tamanho máximo permitido (" + std::to_string(maxFetchBytes >> 20) +
         " MiB de dados).";
}

namespace {

// What a fetched row holds in memory, near enough.
uint64_t RowBytes(const std::vector<TFieldValue>& row) {
  uint64_t bytes = 0;
  for (const TFieldValue& value : row) {
    bytes += sizeof(TFieldValue);
    if (const auto* text = std::get_if<std::string>(&value)) bytes += text->size();
  }
  return bytes;
}

}  // namespace

TFbStatementResult RunFbStatement(IAttachment* attachment, ITransaction* transaction,
                                  const TSqlParamScan& sql, const std::vector<TFbParam>& params,
                                  TFbRunMode mode, uint64_t maxFetchBytes, bool packRows) {
  for (const size_t index : sql.Markers)
    if (!params[index].Bound()) throw LivrexaError("Parameter '" + params[index].Name() + "' has no value");

  return WithFbErrors([&] {
    TFbStatus st;
    TFbRef<IStatement> statement(attachment->prepare(st.get(), transaction, 0, sql.EngineSql.c_str(),
                                                     SQL_DIALECT_V6, IStatement::PREPARE_PREFETCH_METADATA));
    const bool hasCursor = (statement->getFlags(st.get()) & IStatement::FLAG_HAS_CURSOR) != 0;
    TOutputMessage out = DescribeOutput(statement.get(), st);
    TFbStatementResult result;
    result.HasResultSet = hasCursor || !out.Columns.empty();
    if (mode == TFbRunMode::Open && !result.HasResultSet) throw LivrexaError(kNoResultSetMessage);

    TInputMessage in = BuildInput(attachment, transaction, statement.get(), sql, params, st);
    void* inBuffer = in.Buffer.empty() ? nullptr : in.Buffer.data();

    if (hasCursor) {
      TFbRef<IResultSet> cursor(
          statement->openCursor(st.get(), transaction, in.Metadata.get(), inBuffer, out.Metadata.get(), 0));
      if (mode == TFbRunMode::Open) {
        uint64_t fetched = 0;
        while (cursor->fetchNext(st.get(), out.Buffer.data()) == IStatus::RESULT_OK) {
          std::vector<TFieldValue> row = ReadRow(out, attachment, transaction, st);
          fetched += RowBytes(row);
          if (maxFetchBytes > 0 && fetched > maxFetchBytes)
            throw LivrexaError(FetchLimitMessage(maxFetchBytes));
          if (packRows)
            result.Packed.Append(row);
          else
            result.Rows.push_back(std::move(row));
        }
      }
      cursor->close(st.get());
      (void)cursor.release();
      result.RowsAffected = static_cast<int64_t>(packRows ? result.Packed.Count() : result.Rows.size());
    } else {
      statement->execute(st.get(), transaction, in.Metadata.get(), inBuffer,
                         out.Columns.empty() ? nullptr : out.Metadata.get(),
                         out.Columns.empty() ? nullptr : out.Buffer.data());
      result.RowsAffected = static_cast<int64_t>(statement->getAffectedRecords(st.get()));
      // A change with RETURNING gives its one row; an update or delete that met no row gives none
      // (the engine reports every change with RETURNING as a procedure call, so the text decides).
      const std::string keyword = FirstSqlKeyword(sql.EngineSql);
      // "Update or Insert" always changes a row, so it never meets this case.
      const bool metNoRow = result.RowsAffected == 0 && (keyword == "UPDATE" || keyword == "DELETE");
      if (mode == TFbRunMode::Open && !metNoRow) {
        std::vector<TFieldValue> row = ReadRow(out, attachment, transaction, st);
        if (packRows)
          result.Packed.Append(row);
        else
          result.Rows.push_back(std::move(row));
      }
    }
    statement->free(st.get());
    (void)statement.release();
    result.Columns = std::move(out.Columns);
    if (mode == TFbRunMode::Execute) {
      result.Rows.clear();
      result.Packed.Clear();
    }
    return result;
  });
}

}  // namespace livrexa
