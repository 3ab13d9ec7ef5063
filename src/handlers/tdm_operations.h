#pragma once
// What the catalogue and circulation operations share. An operation is a free function named as
// the library's design names it, taking the request's module:
//
//   std::string ExcluiAutor(TDM& dm, int Numero, int NumUsuario);
//
// It prepares dm.Query1 from scratch for every statement (SetSql, then conditional lines), runs
// its changes inside a TTransaction, and either raises its failure (the handler logs it and
// answers it) or, for the operations that answer their own failure, returns the failure's message
// through ReplyOrFailure.

#include <cstdint>
#include <exception>
#include <string>

#include "handlers/local_clock.h"
#include "handlers/tdm.h"
#include "handlers/tdm_dispatch.h"
#include "handlers/transaction.h"
#include "rest/wire_consts.h"
#include "rest/wire_numbers.h"

namespace livrexa {

// A record number as the replies and messages write it with the pattern "000000": padded with
// leading zeros to six digits, longer numbers in full.
std::string SixDigits(int64_t number);

// Runs the work of an operation that answers its own failure instead of raising it: the reply is
// what the work returns or, when the work fails, the failure's message. The work's transaction
// guard has rolled back by then; the command is closed here.
template <class Work>
std::string ReplyOrFailure(TDM& dm, Work&& work) {
  try {
    return work();
  } catch (const std::exception& e) {
    dm.Query1.Close();
    return e.what();
  }
}

}  // namespace livrexa
