#pragma once
// What the catalogue and circulation operations share. An operation is a free function named after
// its event and entity, as the clients know it (ConsultaAcervo, ExcluiAutor), taking the request's module:
//
//   std::string ExcluiAutor(TDM& dm, int Numero, int NumUsuario);
//
// It prepares dm.Query1 from scratch for every statement (SetSql, then conditional lines), runs
// its changes inside a TTransaction, and either raises its failure (the handler logs it and
// answers it) or, for the operations that answer their own failure, returns the failure's message
// through ReplyOrFailure.

#include <cstdint>
#include <exception>
#include <initializer_list>
#include <string>
#include <string_view>

#include "handlers/local_clock.h"
#include "handlers/tdm.h"
#include "handlers/tdm_dispatch.h"
#include "handlers/transaction.h"
#include "rest/wire/wire_consts.h"
#include "rest/wire/wire_numbers.h"

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

// Runs the steps of an operation that raises its failures (the saves): the command is closed on
// the way out whether the steps answer or fail, and a failure passes on as it was raised (the
// steps' transaction guard has rolled back by then).
template <class Steps>
std::string ClosingQuery(TDM& dm, Steps&& steps) {
  try {
    std::string reply = steps();
    dm.Query1.Close();
    return reply;
  } catch (...) {
    dm.Query1.Close();
    throw;
  }
}

// The soft delete of one record: the statement "Update <table> Set <Tnn_Exclusao> = :p00,
// <Tnn_ExcluidoPor> = :p01 Where <key> = :p02", run in a transaction (the caller's, when one is
// open) with today's date, the deleting user and the record's number. Returns the rows it changed.
int64_t RunSoftDelete(TDM& dm, std::initializer_list<std::string_view> sql, int Numero, int NumUsuario);

}  // namespace livrexa
