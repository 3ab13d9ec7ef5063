#pragma once
// Authors, publishers, literary classifications, item types and languages (T05, T06, T07, T08, T14).

namespace livrexa {

class TDM;

// Adds this library's flags to the handler module's tables (once, at start-up).
void RegisterAuthorityTableOperations();

}  // namespace livrexa
