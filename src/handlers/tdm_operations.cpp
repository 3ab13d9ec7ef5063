#include "handlers/tdm_operations.h"

#include <cstdio>

namespace livrexa {

std::string SixDigits(int64_t number) {
  char buffer[32];
  // The sign stands before the six digits, as in "-000042".
  if (number < 0) {
    std::snprintf(buffer, sizeof buffer, "-%06llu",
                  static_cast<unsigned long long>(0 - static_cast<uint64_t>(number)));
  } else {
    std::snprintf(buffer, sizeof buffer, "%06lld", static_cast<long long>(number));
  }
  return buffer;
}

int64_t RunSoftDelete(TDM& dm, std::initializer_list<std::string_view> sql, int Numero, int NumUsuario) {
  TTransaction transaction(dm.Database1);
  TFbQuery& query = dm.Query1;
  query.SetSql(sql);
  query.ParamByName("p00").SetAsDateTime(Date());
  query.ParamByName("p01").SetAsInteger(NumUsuario);
  query.ParamByName("p02").SetAsInteger(Numero);
  query.ExecSQL();
  const int64_t rows = query.RowsAffected();
  transaction.Commit();
  query.Close();
  return rows;
}

}  // namespace livrexa
