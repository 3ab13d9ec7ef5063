#pragma once
// Small operations on a request's parameter list that the decoders, the event dispatch and the
// listener share.

#include <memory>
#include <string>
#include <string_view>

#include "rest/params/dw_params.h"

namespace livrexa {

// The list, made first (with the given encoding) when there is none yet.
TDWParams& EnsureList(std::unique_ptr<TDWParams>& list, TEncodeSelect encoding);
// The list's parameter of that name, added as an output when missing.
TJSONParam& OutputParam(TDWParams& list, const std::string& name);
// Whether there is a list and it holds a parameter of that name.
bool HasParam(const TDWParams* list, std::string_view name);

}  // namespace livrexa
