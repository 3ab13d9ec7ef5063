#pragma once
// The parameter list of one request or reply: ordered, owning its parameters, looked up by
// position or by name (case ignored, first match wins).

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "rest/params/json_param.h"
#include "rest/params/memory_stream.h"
#include "rest/wire/errors.h"

namespace livrexa {

// A request that carries more parameters than the listener allows.
class TTooManyParams : public LivrexaError {
 public:
  explicit TTooManyParams(size_t limit)
      : LivrexaError("Too many parameters (more than " + std::to_string(limit) + ")"), limit_(limit) {}
  size_t Limit() const { return limit_; }

 private:
  size_t limit_;
};

// While one is alive on a thread, every list filled on that thread holds at most `limit`
// parameters (0: no limit): adding one more fails with TTooManyParams before it is built. The
// listener holds one while it decodes a request.
class TParamLimitScope {
 public:
  explicit TParamLimitScope(size_t limit);
  ~TParamLimitScope();
  TParamLimitScope(const TParamLimitScope&) = delete;
  TParamLimitScope& operator=(const TParamLimitScope&) = delete;

 private:
  size_t previous_;
};

class TDWParams {
 public:
  TDWParams() : vCripto(std::make_unique<TCripto>()) {}
  TDWParams(const TDWParams&) = delete;
  TDWParams& operator=(const TDWParams&) = delete;

  TJsonMode JsonMode() const { return vJsonMode; }
  void SetJsonMode(TJsonMode Value) { vJsonMode = Value; }
  TEncodeSelect Encoding() const { return vEncoding; }
  void SetEncoding(TEncodeSelect Value) { vEncoding = Value; }
  const TCripto& CriptOptions() const { return *vCripto; }
  // The list's cipher (each parameter keeps its own, see TJSONParam::SetDecipher).
  void SetDecipher(const TDecipherText& Value) { vCripto->SetDecipher(Value); }

  size_t Count() const { return items_.size(); }

  // Appends the parameter (a parameter of the same name already present is kept) after giving
  // it the list's encoding, JSON mode and encryption options; returns it.
  TJSONParam* Add(std::unique_ptr<TJSONParam> Item);
  // A new parameter with the list's encoding, named Name (stored in upper case), appended.
  TJSONParam& AddNew(const std::string& Name, TObjectDirection Direction = TObjectDirection::odIN);

  // The encryption options on the list and on every parameter now in it.
  void SetCriptOptions(bool Use, const std::string& Key);

  // By position: none (nullptr) out of range; writing out of range does nothing. Writing
  // replaces the parameter at that position.
  TJSONParam* GetRec(int Index) const;
  void PutRec(int Index, std::unique_ptr<TJSONParam> Item);
  // By name, case ignored, first match: none when absent.
  TJSONParam* GetRecName(std::string_view Index) const;
  void PutRecName(std::string_view Index, std::unique_ptr<TJSONParam> Item);
  TJSONParam* Items(int Index) const { return GetRec(Index); }
  TJSONParam* ItemsString(std::string_view Name) const { return GetRecName(Name); }

  // Checked lookups: a parameter that is not there fails with "Invalid DWParam".
  TJSONParam& ParamByName(std::string_view Name) const;
  TJSONParam& ParamByIndex(int Index) const;

  // Removes (and destroys) the parameter at a position; out of range does nothing.
  void Delete(int Index);
  // Removes (and destroys) this parameter when it is in the list.
  void Remove(const TJSONParam* Item);
  void Clear() { items_.clear(); }

  // Parameters whose direction is odOUT or odINOUT.
  int CountOutParams() const;

  // Replaces the contents by copies of the other list's parameters (made with its encoding).
  void CopyFrom(const TDWParams& Source);

  // The output-parameter list text: each odOUT/odINOUT parameter's JSON text, in list order,
  // joined by ", "; "null" when there is none.
  std::string ToJSON() const;

  // The binary form (layout in detail/binary_stream.h). Saving leaves the stream at position 0.
  void SaveToStream(TMemoryStream& Stream, TDWParamExpType Output = TDWParamExpType::tdwpxt_All) const;
  TMemoryStream SaveToStream(TDWParamExpType Output = TDWParamExpType::tdwpxt_All) const;
  // Fails with "Invalid Stream..." when the length after the header is not the declared one
  // (nothing read), and with "Stream read error" when the stream ends inside a record (the
  // parameters read before stay).
  void LoadFromStream(TMemoryStream& Stream, TDWParamExpType Input = TDWParamExpType::tdwpxt_All);

 private:
  TJsonMode vJsonMode = TJsonMode::jmDataware;
  TEncodeSelect vEncoding = TEncodeSelect::esUtf8;
  std::unique_ptr<TCripto> vCripto;
  std::vector<std::unique_ptr<TJSONParam>> items_;
};

}  // namespace livrexa
