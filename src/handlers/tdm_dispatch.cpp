#include "handlers/tdm_dispatch.h"

#include <map>

#include "handlers/tdm.h"
#include "rest/params/dw_params.h"
#include "rest/params/json_param.h"
#include "rest/wire/errors.h"

namespace livrexa {

std::string InputText(TDWParams& params, const char* name) {
  return params.ParamByName(name).AsString();
}
int InputInteger(TDWParams& params, const char* name) {
  return params.ParamByName(name).AsInteger();
}
bool InputBoolean(TDWParams& params, const char* name) {
  return params.ParamByName(name).AsBoolean();
}

namespace {

struct TTables {
  std::map<int, TConsultaOperation> consulta;
  std::map<int, TGravaOperation> grava;
  std::map<int, TExcluiOperation> exclui;

  TTables() {
    // Inputs are read into locals, in the order the table names them, so a request with two bad
    // inputs always reports the same one.
    consulta[100] = [](TDM& dm, TDWParams& p) {
      const bool desativados = InputBoolean(p, "Desativados");
      const std::string filtro = InputText(p, "Filtro");
      dm.ConsultaUsuarios(filtro, desativados);
    };
    consulta[110] = [](TDM& dm, TDWParams& p) { dm.ConsultaAcessos(InputText(p, "Filtro")); };
    consulta[120] = [](TDM& dm, TDWParams&) { dm.ConsultaConfig(); };
    // The error-log query takes its first date from "Filtro", its last from "Data1" and the
    // user or routine from "Data2".
    consulta[998] = [](TDM& dm, TDWParams& p) {
      const std::string data2 = InputText(p, "Data2");
      const std::string data1 = InputText(p, "Data1");
      dm.ConsultaErrLog(InputText(p, "Filtro"), data1, data2);
    };
    consulta[999] = [](TDM& dm, TDWParams& p) { dm.ConsultaSQL(InputText(p, "Filtro")); };

    grava[100] = [](TDM& dm) { return dm.GravaUsuario(dm.FDMemTable1); };
    grava[110] = [](TDM& dm) { return dm.GravaAcessos(dm.FDMemTable1); };
    grava[120] = [](TDM& dm) { return dm.GravaConfig(dm.FDMemTable1); };

    exclui[100] = [](TDM& dm, TDWParams& p) {
      const int numero = InputInteger(p, "Numero");
      const int numUsuario = InputInteger(p, "NumUsuario");
      return dm.ExcluiUsuario(numero, numUsuario);
    };
  }
};

TTables& Tables() {
  static TTables tables;
  return tables;
}

template <class Map>
const typename Map::mapped_type* Find(const Map& map, int flag) {
  const auto it = map.find(flag);
  return it == map.end() ? nullptr : &it->second;
}

template <class Map>
void Register(Map& map, const char* event, int flag, typename Map::mapped_type operation) {
  if (!map.emplace(flag, std::move(operation)).second)
    throw LivrexaError(std::string("Flag ") + std::to_string(flag) + " of " + event +
                       " is already registered");
}

}  // namespace

const TConsultaOperation* FindConsulta(int flag) {
  return Find(Tables().consulta, flag);
}
const TGravaOperation* FindGrava(int flag) {
  return Find(Tables().grava, flag);
}
const TExcluiOperation* FindExclui(int flag) {
  return Find(Tables().exclui, flag);
}

void RegisterConsulta(int flag, TConsultaOperation operation) {
  Register(Tables().consulta, "Consulta", flag, std::move(operation));
}
void RegisterGrava(int flag, TGravaOperation operation) {
  Register(Tables().grava, "Grava", flag, std::move(operation));
}
void RegisterExclui(int flag, TExcluiOperation operation) {
  Register(Tables().exclui, "Exclui", flag, std::move(operation));
}

}  // namespace livrexa
