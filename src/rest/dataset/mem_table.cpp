#include "rest/dataset/mem_table.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>
#include <limits>

#include "rest/wire/errors.h"

namespace livrexa {
namespace {

const TFieldValue kNull{};

struct IntRange {
  int64_t min, max;
};

// The range a field of an integer type can hold (ftLargeint: all of int64).
IntRange RangeOf(TFieldType type) {
  using enum TFieldType;
  switch (type) {
    case ftSmallint:
      return {-32768, 32767};
    case ftShortint:
      return {-128, 127};
    case ftByte:
      return {0, 255};
    case ftWord:
      return {0, 65535};
    case ftLongWord:
      return {0, 4294967295LL};
    case ftInteger:
    case ftAutoInc:
      return {std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()};
    default:
      return {std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max()};
  }
}

// Rounds a number to `scale` digits after the point, half away from zero, working on its
// shortest decimal text so that 1.005 rounds to 1.01 as written, not as its binary neighbour.
double RoundToScale(double value, int scale) {
  if (!std::isfinite(value) || scale < 0 || scale > 18) return value;
  char buf[400];
  const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
  if (res.ec != std::errc()) return value;
  std::string text(buf, res.ptr);
  const size_t point = text.find('.');
  if (point == std::string::npos || text.size() - point - 1 <= static_cast<size_t>(scale)) return value;
  const bool up = text[point + 1 + scale] >= '5';
  // The kept digits behind a leading zero, which takes the carry of 9.99 -> 10.0.
  const size_t sign = text[0] == '-' ? 1 : 0;
  std::string kept =
      text.substr(0, sign) + "0" + text.substr(sign, (scale == 0 ? point : point + 1 + scale) - sign);
  if (up) {
    for (size_t i = kept.size(); i-- > sign;) {
      if (kept[i] == '.') continue;
      if (kept[i] != '9') {
        ++kept[i];
        break;
      }
      kept[i] = '0';
    }
  }
  text = std::move(kept);
  double rounded = 0;
  std::from_chars(text.data(), text.data() + text.size(), rounded);
  return rounded;
}

bool IsDecimal(TFieldType type) {
  return type == TFieldType::ftBCD || type == TFieldType::ftFMTBcd;
}

// Parses "dd/mm/yyyy", "dd/mm/yyyy hh:nn[:ss]" or "hh:nn[:ss]" with the process separators.
bool TryParseDateTime(std::string_view text, TDateTime& out) {
  const TFormatSettings& fs = ProcessFormat();
  text = Trim(text);
  auto number = [&](size_t& pos, int& value) {
    const auto res = std::from_chars(text.data() + pos, text.data() + text.size(), value);
    if (res.ec != std::errc()) return false;
    pos = static_cast<size_t>(res.ptr - text.data());
    return true;
  };
  auto expect = [&](size_t& pos, char c) {
    return pos < text.size() && text[pos] == c ? (++pos, true) : false;
  };
  size_t pos = 0;
  TDateTime date = 0;
  if (text.find(fs.DateSeparator) != std::string_view::npos) {
    int d, m, y;
    if (!number(pos, d) || !expect(pos, fs.DateSeparator) || !number(pos, m) ||
        !expect(pos, fs.DateSeparator) || !number(pos, y))
      return false;
    if (m < 1 || m > 12 || d < 1 || d > 31 || y < 1 || y > 9999) return false;
    date = EncodeDate(y, m, d);
    const TDateTimeParts check = DecodeDateTime(date);
    if (check.day != d || check.month != m) return false;
    if (pos == text.size()) return out = date, true;
    if (!expect(pos, ' ')) return false;
  }
  int h, n, s = 0;
  if (!number(pos, h) || !expect(pos, fs.TimeSeparator) || !number(pos, n)) return false;
  if (pos < text.size() && (!expect(pos, fs.TimeSeparator) || !number(pos, s))) return false;
  if (pos != text.size() || h < 0 || h > 23 || n < 0 || n > 59 || s < 0 || s > 59) return false;
  out = date + (date < 0 ? -1 : 1) * EncodeTime(h, n, s);
  return true;
}

}  // namespace

// --- Definitions

size_t TFDMemTable::AddFieldDef(std::string name, TFieldType type, int size, int precision) {
  RequireClosed();
  TFieldDef def;
  def.Name = std::move(name);
  def.DataType = type;
  def.Size = size;
  def.Precision = precision;
  defs_.push_back(std::move(def));
  marks_.emplace_back();
  return defs_.size() - 1;
}

void TFDMemTable::ClearFieldDefs() {
  RequireClosed();
  defs_.clear();
  marks_.clear();
}

void TFDMemTable::SetKeyField(size_t index) {
  defs_.at(index).Primary = true;
  marks_[index].inUpdate = true;
  marks_[index].inWhere = true;
}

void TFDMemTable::SetAutoInc(size_t index, bool value) {
  defs_.at(index).AutoInc = value;
}
void TFDMemTable::SetRequired(size_t index, bool value) {
  defs_.at(index).Required = value;
}
void TFDMemTable::SetReadOnly(size_t index, bool value) {
  defs_.at(index).ReadOnly = value;
}

const TFieldDef& TFDMemTable::FieldDef(size_t index) const {
  if (index >= defs_.size()) throw LivrexaError("Field index out of range");
  return defs_[index];
}

// --- Opening and closing

void TFDMemTable::RequireClosed() const {
  if (Active()) throw LivrexaError("Cannot perform this operation on an open dataset");
}

void TFDMemTable::RequireActive() const {
  if (!Active()) throw LivrexaError("Cannot perform this operation on a closed dataset");
}

void TFDMemTable::CreateDataSet() {
  Close();
  if (!defs_.empty()) Open();
}

void TFDMemTable::Open() {
  if (Active()) return;
  if (defs_.empty()) throw LivrexaError("Cannot open a table without fields");
  cells_.clear();
  rowCount_ = 0;
  buffer_.clear();
  state_ = TDataSetState::dsBrowse;
  current_ = 0;
  eof_ = bof_ = true;
}

void TFDMemTable::Close() {
  cells_.clear();
  cells_.shrink_to_fit();
  rowCount_ = 0;
  buffer_.clear();
  state_ = TDataSetState::dsInactive;
  current_ = 0;
  eof_ = bof_ = true;
}

// --- Cursor

void TFDMemTable::First() {
  RequireActive();
  if (state_ != TDataSetState::dsBrowse) Post();
  current_ = 0;
  bof_ = true;
  eof_ = rowCount_ == 0;
}

void TFDMemTable::Next() {
  RequireActive();
  if (state_ != TDataSetState::dsBrowse) Post();
  if (current_ + 1 < rowCount_) {
    ++current_;
    bof_ = false;
  } else {
    eof_ = true;
  }
}

void TFDMemTable::Last() {
  RequireActive();
  if (state_ != TDataSetState::dsBrowse) Post();
  current_ = rowCount_ == 0 ? 0 : rowCount_ - 1;
  eof_ = true;
  bof_ = rowCount_ == 0;
}

void TFDMemTable::Prior() {
  RequireActive();
  if (state_ != TDataSetState::dsBrowse) Post();
  if (current_ > 0) {
    --current_;
    eof_ = false;
  } else {
    bof_ = true;
  }
}

bool TFDMemTable::Eof() const {
  return !Active() || eof_;
}

size_t TFDMemTable::RecNo() const {
  if (state_ == TDataSetState::dsInsert) return rowCount_ + 1;
  return (!Active() || rowCount_ == 0) ? 0 : current_ + 1;
}

const TFieldValue& TFDMemTable::Value(size_t index) const {
  if (index >= defs_.size()) throw LivrexaError("Field index out of range");
  if (state_ == TDataSetState::dsInsert) return cells_[rowCount_ * defs_.size() + index];
  if (state_ == TDataSetState::dsEdit) return buffer_[index];
  if (!Active() || rowCount_ == 0) return kNull;
  return cells_[current_ * defs_.size() + index];
}

// --- Changing rows

void TFDMemTable::Append() {
  RequireActive();
  if (state_ != TDataSetState::dsBrowse) Post();
  // The new row is written in place behind the last one; Post counts it, Cancel drops it.
  cells_.resize((rowCount_ + 1) * defs_.size());
  state_ = TDataSetState::dsInsert;
}

void TFDMemTable::Edit() {
  RequireActive();
  if (state_ != TDataSetState::dsBrowse) return;
  if (rowCount_ == 0) return Append();
  const auto row = cells_.begin() + static_cast<std::ptrdiff_t>(current_ * defs_.size());
  buffer_.assign(row, row + static_cast<std::ptrdiff_t>(defs_.size()));
  state_ = TDataSetState::dsEdit;
}

void TFDMemTable::Post() {
  if (state_ != TDataSetState::dsInsert && state_ != TDataSetState::dsEdit)
    throw LivrexaError("Dataset not in edit or insert mode");
  const TFieldValue* row =
      state_ == TDataSetState::dsInsert ? cells_.data() + rowCount_ * defs_.size() : buffer_.data();
  for (size_t i = 0; i < defs_.size(); ++i)
    if (defs_[i].Required && !defs_[i].AutoInc && std::holds_alternative<std::monostate>(row[i]))
      throw LivrexaError("Field '" + defs_[i].Name + "' must have a value");
  if (state_ == TDataSetState::dsInsert) {
    current_ = rowCount_++;
  } else {
    std::move(buffer_.begin(), buffer_.end(),
              cells_.begin() + static_cast<std::ptrdiff_t>(current_ * defs_.size()));
  }
  buffer_.clear();
  state_ = TDataSetState::dsBrowse;
  eof_ = bof_ = false;
}

void TFDMemTable::Cancel() {
  if (state_ == TDataSetState::dsInsert) cells_.resize(rowCount_ * defs_.size());
  if (state_ == TDataSetState::dsInsert || state_ == TDataSetState::dsEdit) {
    buffer_.clear();
    state_ = TDataSetState::dsBrowse;
  }
}

void TFDMemTable::Delete() {
  RequireActive();
  Cancel();
  if (rowCount_ == 0) throw LivrexaError("Cannot perform this operation on an empty dataset");
  const auto row = cells_.begin() + static_cast<std::ptrdiff_t>(current_ * defs_.size());
  cells_.erase(row, row + static_cast<std::ptrdiff_t>(defs_.size()));
  --rowCount_;
  if (current_ >= rowCount_ && current_ > 0) --current_;
  eof_ = rowCount_ == 0;
  bof_ = current_ == 0;
}

void TFDMemTable::EmptyDataSet() {
  RequireActive();
  Cancel();
  cells_.clear();
  rowCount_ = 0;
  current_ = 0;
  eof_ = bof_ = true;
}

void TFDMemTable::AppendRecord(const std::vector<TFieldValue>& values) {
  Append();
  try {
    for (size_t i = 0; i < values.size() && i < defs_.size(); ++i) SetValue(i, values[i]);
    Post();
  } catch (...) {
    Cancel();
    throw;
  }
}

// --- Setters

void TFDMemTable::Store(size_t index, TFieldValue value) {
  EditableValue(index) = std::move(value);
}

TFieldValue& TFDMemTable::EditableValue(size_t index) {
  if (index >= defs_.size()) throw LivrexaError("Field index out of range");
  const TFieldDef& def = defs_[index];
  if (state_ != TDataSetState::dsInsert && state_ != TDataSetState::dsEdit)
    throw LivrexaError("Dataset not in edit or insert mode");
  if (def.ReadOnly) throw LivrexaError("Field '" + def.Name + "' cannot be modified");
  if (state_ == TDataSetState::dsInsert) return cells_[rowCount_ * defs_.size() + index];
  return buffer_[index];
}

void TFDMemTable::AccessError(size_t index, std::string_view asType) const {
  throw LivrexaError("Cannot access field '" + defs_[index].Name + "' as type " + std::string(asType));
}

void TFDMemTable::SetNull(size_t index) {
  Store(index, TFieldValue{});
}

void TFDMemTable::SetText(size_t index, std::string_view text) {
  const TFieldDef& def = FieldDef(index);
  switch (ValueClassOf(def.DataType)) {
    case TValueClass::Integer:
      if (Trim(text).empty()) return SetNull(index);
      return SetInteger(index, StrToInt64(Trim(text)));
    case TValueClass::Float:
      if (Trim(text).empty()) return SetNull(index);
      return SetFloat(index, StrToFloat(text));
    case TValueClass::Boolean:
      if (text.empty()) return SetNull(index);
      if (SameText(text, "true") || text == "1") return SetBoolean(index, true);
      if (SameText(text, "false") || text == "0") return SetBoolean(index, false);
      throw LivrexaError("'" + std::string(text) + "' is not a valid boolean value");
    case TValueClass::DateTime: {
      if (Trim(text).empty()) return SetNull(index);
      TDateTime value;
      if (!TryParseDateTime(text, value))
        throw LivrexaError("'" + std::string(text) + "' is not a valid date and time");
      return SetDateTime(index, value);
    }
    default:
      return Store(index, std::string(text));
  }
}

void TFDMemTable::TakeText(size_t index, std::string text) {
  switch (ValueClassOf(FieldDef(index).DataType)) {
    case TValueClass::Text:
    case TValueClass::Bytes:
    case TValueClass::Other:
      return Store(index, std::move(text));
    default:
      return SetText(index, text);
  }
}

void TFDMemTable::SetBytes(size_t index, std::string bytes) {
  switch (ValueClassOf(FieldDef(index).DataType)) {
    case TValueClass::Text:
    case TValueClass::Bytes:
    case TValueClass::Other:
      return Store(index, std::move(bytes));
    default:
      return SetText(index, bytes);
  }
}

void TFDMemTable::SetInteger(size_t index, int64_t value) {
  const TFieldDef& def = FieldDef(index);
  switch (ValueClassOf(def.DataType)) {
    case TValueClass::Integer: {
      const IntRange r = RangeOf(def.DataType);
      if (value < r.min || value > r.max)
        throw LivrexaError(std::to_string(value) + " is not a valid value for field '" + def.Name +
                           "'. The allowed range is " + std::to_string(r.min) + " to " +
                           std::to_string(r.max));
      return Store(index, value);
    }
    case TValueClass::Float:
      return SetFloat(index, static_cast<double>(value));
    case TValueClass::Boolean:
      return Store(index, value != 0);
    case TValueClass::DateTime:
      AccessError(index, "Integer");
    default:
      return Store(index, std::to_string(value));
  }
}

void TFDMemTable::SetBoolean(size_t index, bool value) {
  switch (ValueClassOf(FieldDef(index).DataType)) {
    case TValueClass::Boolean:
      return Store(index, value);
    case TValueClass::Integer:
      return SetInteger(index, value ? 1 : 0);
    case TValueClass::Float:
      return Store(index, value ? 1.0 : 0.0);
    case TValueClass::DateTime:
      AccessError(index, "Boolean");
    default:
      return Store(index, std::string(value ? "True" : "False"));
  }
}

void TFDMemTable::SetFloat(size_t index, double value) {
  const TFieldDef& def = FieldDef(index);
  switch (ValueClassOf(def.DataType)) {
    case TValueClass::Float:
      return Store(index, IsDecimal(def.DataType) ? RoundToScale(value, def.Precision) : value);
    case TValueClass::Integer: {
      if (!(std::fabs(value) < 9.2e18))
        throw LivrexaError("'" + FloatToText(value) + "' is not a valid integer value");
      return SetInteger(index, std::llround(value));
    }
    case TValueClass::Boolean:
      return Store(index, value != 0);
    case TValueClass::DateTime:
      return SetDateTime(index, value);
    default:
      return Store(index, FloatToText(value));
  }
}

void TFDMemTable::SetDateTime(size_t index, TDateTime value) {
  const TFieldDef& def = FieldDef(index);
  switch (ValueClassOf(def.DataType)) {
    case TValueClass::DateTime:
      if (def.DataType == TFieldType::ftDate) value = std::trunc(value);
      if (def.DataType == TFieldType::ftTime) value = std::fabs(value - std::trunc(value));
      return Store(index, value);
    case TValueClass::Float:
      return SetFloat(index, value);
    case TValueClass::Integer:
      AccessError(index, "DateTime");
    case TValueClass::Boolean:
      AccessError(index, "DateTime");
    default:
      return Store(index, DateTimeToStr(value));
  }
}

void TFDMemTable::SetValue(size_t index, const TFieldValue& value) {
  if (std::holds_alternative<std::monostate>(value)) return SetNull(index);
  if (const auto* b = std::get_if<bool>(&value)) return SetBoolean(index, *b);
  if (const auto* i = std::get_if<int64_t>(&value)) return SetInteger(index, *i);
  if (const auto* d = std::get_if<double>(&value)) return SetFloat(index, *d);
  const auto& s = std::get<std::string>(value);
  if (ValueClassOf(FieldDef(index).DataType) == TValueClass::Bytes) return SetBytes(index, s);
  return SetText(index, s);
}

}  // namespace livrexa
