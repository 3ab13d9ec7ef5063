#pragma once
// The shape every saving operation shares: the statements run in one explicit transaction that
// is committed at the end, or rolled back before the failure is raised again with its message.

#include <exception>
#include <string>

#include "handlers/fb_connection.h"
#include "rest/errors.h"

namespace livrexa {

template <class Work>
auto RunInTransaction(TFbConnection& database, Work&& work) -> decltype(work()) {
  try {
    database.StartTransaction();
    if constexpr (std::is_void_v<decltype(work())>) {
      work();
      database.Commit();
    } else {
      auto result = work();
      database.Commit();
      return result;
    }
  } catch (const std::exception& e) {
    database.Rollback();
    throw LivrexaError(e.what());
  }
}

}  // namespace livrexa
