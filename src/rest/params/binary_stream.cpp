#include "rest/params/detail/binary_stream.h"

#include "rest/wire/errors.h"
#include "rest/wire/text_codec.h"
#include "rest/wire/wire_numbers.h"

namespace livrexa {
namespace {

using enum TObjectValue;

constexpr int32_t kStreamMark = 6;

bool IsStreamTextKind(TObjectValue v) {
  return v == ovString || v == ovFixedChar || v == ovWideString || v == ovObject;
}
bool IsStreamInt32Kind(TObjectValue v) {
  return v == ovSmallint || v == ovInteger || v == ovAutoInc || v == ovLongWord || v == ovShortint;
}
bool IsStreamDateKind(TObjectValue v) {
  return v == ovDate || v == ovTime || v == ovDateTime || v == ovTimeStamp || v == ovTimeStampOffset;
}
bool IsStreamBytesKind(TObjectValue v) {
  return v == ovBytes || v == ovBlob || v == ovStream;
}
bool IsStreamFloatKind(TObjectValue v) {
  return IsFloatKind(v) || v == ovSingle;
}

bool Admits(TDWParamExpType selection, TObjectDirection d) {
  switch (selection) {
    case TDWParamExpType::tdwpxt_OUT:
      return d != TObjectDirection::odIN;
    case TDWParamExpType::tdwpxt_IN:
      return d != TObjectDirection::odOUT;
    case TDWParamExpType::tdwpxt_INOUT:
      return d == TObjectDirection::odINOUT;
    default:
      return true;
  }
}

void WriteText(TMemoryStream& s, std::string_view bytes) {
  s.WriteInt64(static_cast<int64_t>(bytes.size()));
  s.Write(bytes.data(), bytes.size());
}

// The wire text of a float-kind parameter, empty when it is null. ovSingle keeps a number text
// that the typed reads take as an integer, so its text is converted directly.
std::string FloatWireText(const TJSONParam& p) {
  if (p.ObjectValue() == ovSingle) {
    const std::string t = p.JSONValue().Value();
    if (t.empty() || t == "null") return {};
    return FloatToWire(WireToFloat(t));
  }
  const TVariant v = p.GetValue(p.ObjectValue());
  const auto* d = std::get_if<double>(&v);
  return d ? FloatToWire(*d) : std::string();
}

void WriteValue(TMemoryStream& s, const TJSONParam& p) {
  const TObjectValue kind = p.ObjectValue();
  if (IsStreamTextKind(kind)) {
    WriteText(s, Utf8ToCp1252(p.AsString()));
  } else if (IsStreamInt32Kind(kind)) {
    s.WriteInt32(p.AsInteger());
  } else if (kind == ovWord) {
    s.WriteInt32(p.AsWord());
  } else if (kind == ovBoolean) {
    s.WriteByte(p.AsBoolean() ? 1 : 0);
    s.WriteByte(0);
  } else if (kind == ovByte) {
    s.WriteByte(p.AsBoolean() ? 1 : 0);
  } else if (kind == ovLargeint) {
    s.WriteInt64(p.AsLargeInt());
  } else if (IsStreamDateKind(kind)) {
    const TVariant v = p.GetValue(kind);
    const auto* t = std::get_if<TVarDate>(&v);
    s.WriteInt64(t ? DateTimeToWire(t->Value) : 0);
  } else if (IsStreamBytesKind(kind)) {
    const TVariant v = p.GetValue(ovBlob);
    const auto* bytes = std::get_if<TVarBytes>(&v);
    WriteText(s, bytes ? std::string_view(bytes->Bytes) : std::string_view());
  } else if (IsStreamFloatKind(kind)) {
    WriteText(s, FloatWireText(p));
  }
}

void WriteRecord(TMemoryStream& s, const TJSONParam& p) {
  WriteText(s, Utf8ToCp1252(p.ParamName()));
  s.WriteInt32(static_cast<int32_t>(p.ObjectDirection()));
  s.WriteByte(p.Encoded() ? 1 : 0);
  s.WriteByte(0);
  s.WriteInt32(static_cast<int32_t>(p.JsonMode()));
  s.WriteInt32(static_cast<int32_t>(p.TypeObject()));
  s.WriteInt32(static_cast<int32_t>(p.ObjectValue()));
  WriteValue(s, p);
}

// A length read from the stream, refused before anything is allocated when the stream cannot
// hold that many bytes.
size_t ReadLength(TMemoryStream& s) {
  const int64_t n = s.ReadInt64();
  if (n <= 0) return 0;
  if (static_cast<uint64_t>(n) > s.Remaining()) throw LivrexaError("Stream read error");
  return static_cast<size_t>(n);
}

int LowByte(int32_t v) {
  return v & 0xFF;
}

// Reads one record into the list. An empty text ends the record at once: the value stays as it
// was and the selection is skipped.
void ReadRecord(TDWParams& params, TMemoryStream& s, TDWParamExpType input) {
  const std::string name = Cp1252ToUtf8(s.ReadBytes(ReadLength(s)));
  TJSONParam* p = params.GetRecName(name);
  if (!p) p = params.Add(std::make_unique<TJSONParam>(params.Encoding()));
  p->SetParamName(name);
  p->SetObjectDirection(static_cast<TObjectDirection>(LowByte(s.ReadInt32())));
  const uint8_t encoded = s.ReadByte();
  s.ReadByte();
  p->SetEncoded(encoded != 0);
  p->SetJsonMode(static_cast<TJsonMode>(LowByte(s.ReadInt32())));
  p->SetTypeObject(static_cast<TTypeObject>(LowByte(s.ReadInt32())));
  p->SetObjectValue(static_cast<TObjectValue>(LowByte(s.ReadInt32())));

  const TObjectValue kind = p->ObjectValue();
  if (IsStreamTextKind(kind)) {
    const size_t n = ReadLength(s);
    if (n == 0) return;
    p->SetAsString(Cp1252ToUtf8(s.ReadBytes(n)));
  } else if (IsStreamInt32Kind(kind)) {
    p->SetAsInteger(s.ReadInt32());
  } else if (kind == ovWord) {
    p->SetAsWord(s.ReadInt32());
  } else if (kind == ovBoolean) {
    const uint8_t b = s.ReadByte();
    s.ReadByte();
    p->SetAsBoolean(b != 0);
  } else if (kind == ovByte) {
    p->SetAsBoolean(s.ReadByte() != 0);
  } else if (kind == ovLargeint) {
    p->SetAsLargeInt(s.ReadInt64());
  } else if (IsStreamDateKind(kind)) {
    const int64_t seconds = s.ReadInt64();
    if (seconds != 0) p->SetAsDateTime(WireToDateTime(seconds));
  } else if (IsStreamBytesKind(kind)) {
    const size_t n = ReadLength(s);
    if (n > 0) {
      const std::string bytes = s.ReadBytes(n);
      p->SetObjectValue(ovBlob);
      p->SetEncoded(true);
      p->SetValue(EncodeBinary(bytes), true);
    }
  } else if (IsStreamFloatKind(kind)) {
    const size_t n = ReadLength(s);
    if (n > 0) p->SetValue(FloatToWire(WireToFloat(s.ReadBytes(n))), false);
  }

  if ((input == TDWParamExpType::tdwpxt_OUT && p->ObjectDirection() == TObjectDirection::odIN) ||
      (input == TDWParamExpType::tdwpxt_IN && p->ObjectDirection() == TObjectDirection::odOUT))
    params.Remove(p);
}

}  // namespace

void WriteParamsToStream(const TDWParams& params, TMemoryStream& stream, TDWParamExpType output) {
  const size_t start = stream.Position();
  stream.WriteInt32(kStreamMark);
  stream.WriteInt32(static_cast<int32_t>(params.Count()));
  stream.WriteInt64(0);
  int32_t written = 0;
  for (size_t i = 0; i < params.Count(); ++i) {
    const TJSONParam& p = *params.GetRec(static_cast<int>(i));
    if (!Admits(output, p.ObjectDirection())) continue;
    WriteRecord(stream, p);
    ++written;
  }
  const size_t end = stream.Position();
  stream.SetPosition(start);
  stream.WriteInt32(kStreamMark);
  stream.WriteInt32(written);
  stream.WriteInt64(static_cast<int64_t>(end - start - 16));
  stream.SetPosition(0);
}

void ReadParamsFromStream(TDWParams& params, TMemoryStream& stream, TDWParamExpType input) {
  stream.SetPosition(0);
  stream.ReadInt32();  // the mark 6, not checked
  const int32_t count = stream.ReadInt32();
  const int64_t length = stream.ReadInt64();
  if (length < 0 || static_cast<uint64_t>(length) != stream.Size() - 16)
    throw LivrexaError("Invalid Stream...");
  for (int32_t i = 0; i < count; ++i) ReadRecord(params, stream, input);
}

}  // namespace livrexa
