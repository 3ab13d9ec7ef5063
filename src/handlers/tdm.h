#pragma once
// The request-handler module: one per request (and one per administrator login check). It owns
// its database connection and command, four in-memory tables for the rows a client sends, and the
// three server-events groups whose six handlers answer the clients.

#include <string>

#include "handlers/gateway/connection.h"
#include "handlers/gateway/query.h"
#include "rest/dataset/mem_table.h"
#include "rest/listener/server_method_module.h"

namespace livrexa {

class TDWParams;

class TDM : public TServerMethodDataModule {
 public:
  // Counts the module in the host's request counter.
  TDM();
  // Disconnects (the attachment goes back to the pool).
  ~TDM() override;

  std::string ClassName() const override { return "TDM"; }

  TDWServerEvents& DWServerEventsT01_USUARI;
  TDWServerEvents& DWServerEventsFerramentas;
  TDWServerEvents& DWServerEventsTAB_GERAL;

  TFbConnection Database1;
  // The raw query's connection: the same database as a user that may only read it.
  TFbConnection DatabaseConsulta;
  TFbQuery Query1;
  TFDMemTable FDMemTable1;
  TFDMemTable FDMemTable2;
  TFDMemTable FDMemTable3;
  TFDMemTable FDMemTable4;

  // ---- event handlers ----
  void DWServerEventsT01_USUARI_ValidaUsuario(TDWParams& Params, std::string& Result);
  void DWServerEventsT01_USUARI_NovaSenha(TDWParams& Params, std::string& Result);
  void DWServerEventsFerramentas_AtualizaServidor(TDWParams& Params, std::string& Result);
  void DWServerEvents_Consulta(TDWParams& Params, std::string& Result);
  void DWServerEvents_Grava(TDWParams& Params, std::string& Result);
  void DWServerEvents_Exclui(TDWParams& Params, std::string& Result);

  // ---- users and access rights ----
  std::string ValidaLogin(const std::string& Usuario, const std::string& Senha);
  void ConsultaUsuarios(const std::string& Filtro, bool Desativados);
  void ConsultaAcessos(const std::string& Filtro);
  std::string GravaUsuario(TFDMemTable& Tabela);
  std::string GravaAcessos(TFDMemTable& Tabela);
  std::string GravaNovaSenha(const std::string& NumUsuario, const std::string& SenhaAtual,
                             const std::string& SenhaNova);
  std::string ExcluiUsuario(int Numero, int NumUsuario);

  // ---- settings record, error log, raw query ----
  void ConsultaConfig();
  std::string GravaConfig(TFDMemTable& Tabela);
  void ConsultaErrLog(const std::string& DataInicial, const std::string& DataFinal,
                      const std::string& UsuarioOuRotina);
  std::string GravaErrLog(const std::string& Usuario, const std::string& Rotina,
                          const std::string& Descricao);
  void ConsultaSQL(const std::string& Filtro);

 private:
  void DeclareEvents();
};

}  // namespace livrexa
