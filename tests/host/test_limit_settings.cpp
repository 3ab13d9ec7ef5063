// The [LIMITES] section of Config1.ini: valid values reach the listener and the handlers, anything
// else keeps the built-in limit and is reported.

#include <gtest/gtest.h>

#include "handlers/handler_limits.h"
#include "host/assembly/limit_settings.h"
#include "host/config_file.h"
#include "host_test_support.h"
#include "rest/listener/listener.h"

namespace livrexa::host {
namespace {
using namespace std::chrono_literals;
using test::TTempFolder;
using test::WriteFileBytes;

TEST(LimitSettings, ValidValuesReachTheListenerAndTheHandlers) {
  TTempFolder home;
  WriteFileBytes(ConfigPath(home.path()),
                 "[INDICE]\r\nPorta=7022\r\n[limites]\r\nconexoesporendereco=4\r\nConexoesMaximas= 64 \r\n"
                 "PrazoCabecalhoSegundos=5\r\nPrazoLeituraSegundos=30\r\nPrazoEscritaSegundos=90\r\n"
                 "TaxaMinimaCorpoKB=0\r\nTaxaMinimaRespostaKB=16\r\nCorpoMaximoMB=32\r\n"
                 "ParametrosMaximos=200\r\nRespostaMaximaMB=100\r\nResultadoMaximoMB=50\r\n"
                 "ConsultaLivreSegundos=60\r\nTextoRegistradoCaracteres=200\r\nFalhasLoginLivres=3\r\n"
                 "PausaLoginMaximaSegundos=4\r\n");
  const TLimitSettings settings = ReadLimitSettings(home.path());
  EXPECT_TRUE(settings.problems.empty());

  TRESTServicePooler pooler;
  ApplyListenerLimits(settings, pooler);
  EXPECT_EQ(pooler.MaxConnectionsPerPeer, 4u);
  EXPECT_EQ(pooler.MaxConnections, 64u);
  EXPECT_EQ(pooler.HeadTimeout, 5s);
  EXPECT_EQ(pooler.IdleTimeout, 30s);
  EXPECT_EQ(pooler.WriteTimeout, 90s);
  EXPECT_EQ(pooler.MinBodyRate, 0u);
  EXPECT_EQ(pooler.MinWriteRate, 16u * 1024);
  EXPECT_EQ(pooler.MaxBodySize, 32ull << 20);
  EXPECT_EQ(pooler.MaxParams, 200u);
  EXPECT_EQ(pooler.MaxReplySize, 100ull << 20);

  THandlerLimits limits;
  ApplyHandlerLimits(settings, limits);
  EXPECT_EQ(limits.MaxResultBytes, 50ull << 20);
  EXPECT_EQ(limits.RawQueryTimeLimit, 60s);
  EXPECT_EQ(limits.LoggedStatementLength, 200u);
  EXPECT_EQ(limits.FreeLoginFailures, 3);
  EXPECT_EQ(limits.LoginDelayMax, 4s);
}

TEST(LimitSettings, AnythingButAWholeNumberInRangeKeepsTheDefaultAndIsReported) {
  struct Case {
    const char* line;
    bool reported;
  } cases[] = {
      {"ConexoesPorEndereco=0", true},  // would let no one in
      {"ConexoesPorEndereco=-5", true},
      {"ConexoesPorEndereco=dezesseis", true},
      {"ConexoesPorEndereco=99999999999", true},
      {"ConexoesPorEndereco=", true},
      {"ParametrosMaximos=0", true},  // 0 would mean no limit to the listener
      {"CorpoMaximoMB=1e3", true},
      {"OutraChave=5", false},  // not a limit: ignored
  };
  const TRESTServicePooler defaults;
  for (const Case& c : cases) {
    TTempFolder home;
    WriteFileBytes(ConfigPath(home.path()), std::string("[LIMITES]\r\n") + c.line + "\r\n");
    const TLimitSettings settings = ReadLimitSettings(home.path());
    EXPECT_EQ(settings.problems.size(), c.reported ? 1u : 0u) << c.line;
    if (c.reported) {
      EXPECT_NE(settings.problems[0].find("vale o padrão"), std::string::npos) << settings.problems[0];
    }
    TRESTServicePooler pooler;
    ApplyListenerLimits(settings, pooler);
    EXPECT_EQ(pooler.MaxConnectionsPerPeer, defaults.MaxConnectionsPerPeer) << c.line;
    EXPECT_EQ(pooler.MaxParams, defaults.MaxParams) << c.line;
    EXPECT_EQ(pooler.MaxBodySize, defaults.MaxBodySize) << c.line;
  }
}

TEST(LimitSettings, NoFileOrSectionLeavesEveryLimitAsBuilt) {
  TTempFolder home;
  EXPECT_TRUE(ReadLimitSettings(home.path()).values.empty());
  WriteFileBytes(ConfigPath(home.path()), "[INDICE]\r\nConexoesPorEndereco=2\r\n");
  const TLimitSettings settings = ReadLimitSettings(home.path());
  EXPECT_TRUE(settings.values.empty());
  EXPECT_TRUE(settings.problems.empty());
}

}  // namespace
}  // namespace livrexa::host
