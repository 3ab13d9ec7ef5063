#include "rest/params/param_list_tools.h"

namespace livrexa {

TDWParams& EnsureList(std::unique_ptr<TDWParams>& list, TEncodeSelect encoding) {
  if (!list) {
    list = std::make_unique<TDWParams>();
    list->SetEncoding(encoding);
  }
  return *list;
}

TJSONParam& OutputParam(TDWParams& list, const std::string& name) {
  if (TJSONParam* p = list.GetRecName(name)) return *p;
  return list.AddNew(name, TObjectDirection::odOUT);
}

bool HasParam(const TDWParams* list, std::string_view name) {
  return list && list->GetRecName(name);
}

}  // namespace livrexa
