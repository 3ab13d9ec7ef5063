#include "rest/params/dw_params.h"

#include "rest/params/detail/binary_stream.h"
#include "rest/wire/errors.h"

namespace livrexa {
namespace {

thread_local size_t param_limit = 0;

void CheckRoomFor(size_t count) {
  if (param_limit > 0 && count >= param_limit) throw TTooManyParams(param_limit);
}

}  // namespace

TParamLimitScope::TParamLimitScope(size_t limit) : previous_(param_limit) {
  param_limit = limit;
}

TParamLimitScope::~TParamLimitScope() {
  param_limit = previous_;
}

TJSONParam* TDWParams::Add(std::unique_ptr<TJSONParam> Item) {
  if (!Item) return nullptr;
  CheckRoomFor(items_.size());
  Item->vEncoding = vEncoding;
  Item->vJSONValue->SetEncoding(vEncoding);
  Item->vJsonMode = vJsonMode;
  *Item->vCripto = *vCripto;
  items_.push_back(std::move(Item));
  return items_.back().get();
}

TJSONParam& TDWParams::AddNew(const std::string& Name, TObjectDirection Direction) {
  CheckRoomFor(items_.size());
  auto param = std::make_unique<TJSONParam>(vEncoding);
  param->SetParamName(Name);
  param->SetObjectDirection(Direction);
  return *Add(std::move(param));
}

void TDWParams::SetCriptOptions(bool Use, const std::string& Key) {
  vCripto->SetUseCripto(Use);
  vCripto->SetKeyString(Key);
  for (auto& p : items_) *p->vCripto = *vCripto;
}

TJSONParam* TDWParams::GetRec(int Index) const {
  if (Index < 0 || static_cast<size_t>(Index) >= items_.size()) return nullptr;
  return items_[static_cast<size_t>(Index)].get();
}

void TDWParams::PutRec(int Index, std::unique_ptr<TJSONParam> Item) {
  if (Index < 0 || static_cast<size_t>(Index) >= items_.size() || !Item) return;
  items_[static_cast<size_t>(Index)] = std::move(Item);
}

TJSONParam* TDWParams::GetRecName(std::string_view Index) const {
  for (const auto& p : items_)
    if (SameText(p->vParamName, Index)) return p.get();
  return nullptr;
}

void TDWParams::PutRecName(std::string_view Index, std::unique_ptr<TJSONParam> Item) {
  if (!Item) return;
  for (auto& p : items_) {
    if (SameText(p->vParamName, Index)) {
      p = std::move(Item);
      return;
    }
  }
}

TJSONParam& TDWParams::ParamByName(std::string_view Name) const {
  TJSONParam* p = GetRecName(Name);
  if (!p) throw LivrexaError("Invalid DWParam");
  return *p;
}

TJSONParam& TDWParams::ParamByIndex(int Index) const {
  TJSONParam* p = GetRec(Index);
  if (!p) throw LivrexaError("Invalid DWParam");
  return *p;
}

void TDWParams::Delete(int Index) {
  if (Index < 0 || static_cast<size_t>(Index) >= items_.size()) return;
  items_.erase(items_.begin() + Index);
}

void TDWParams::Remove(const TJSONParam* Item) {
  for (auto it = items_.begin(); it != items_.end(); ++it) {
    if (it->get() == Item) {
      items_.erase(it);
      return;
    }
  }
}

int TDWParams::CountOutParams() const {
  int n = 0;
  for (const auto& p : items_)
    if (p->vObjectDirection == TObjectDirection::odOUT || p->vObjectDirection == TObjectDirection::odINOUT)
      ++n;
  return n;
}

void TDWParams::CopyFrom(const TDWParams& Source) {
  if (&Source == this) return;
  items_.clear();
  for (const auto& p : Source.items_) {
    auto copy = std::make_unique<TJSONParam>(Source.vEncoding);
    copy->CopyFrom(*p);
    items_.push_back(std::move(copy));
  }
}

std::string TDWParams::ToJSON() const {
  // The texts first, then one buffer of their joined size: a reply may hold a text of hundreds
  // of megabytes, and appending to a growing buffer would double it on the way.
  std::vector<std::string> texts;
  size_t size = 0;
  for (const auto& p : items_) {
    if (p->vObjectDirection != TObjectDirection::odOUT && p->vObjectDirection != TObjectDirection::odINOUT)
      continue;
    texts.push_back(p->ToJSON());
    size += texts.back().size() + 2;
  }
  if (texts.size() == 1) {
    if (Trim(texts[0]).empty()) return "null";
    return std::move(texts[0]);
  }
  std::string out;
  out.reserve(size);
  for (size_t i = 0; i < texts.size(); ++i) {
    if (i > 0) out += ", ";
    out += texts[i];
    texts[i] = std::string();
  }
  if (Trim(out).empty()) return "null";
  return out;
}

void TDWParams::SaveToStream(TMemoryStream& Stream, TDWParamExpType Output) const {
  WriteParamsToStream(*this, Stream, Output);
}

TMemoryStream TDWParams::SaveToStream(TDWParamExpType Output) const {
  TMemoryStream stream;
  WriteParamsToStream(*this, stream, Output);
  return stream;
}

void TDWParams::LoadFromStream(TMemoryStream& Stream, TDWParamExpType Input) {
  ReadParamsFromStream(*this, Stream, Input);
}

}  // namespace livrexa
