#include <gtest/gtest.h>

#include "host/config_file.h"
#include "host/ini_file.h"
#include "host_test_support.h"

namespace livrexa::host {
namespace {
using test::ReadFileBytes;
using test::TTempFolder;
using test::WriteFileBytes;

TEST(IniFileRead, SectionAndKeyIgnoreCaseAndTheValueIsTheRestOfTheLine) {
  TTempFolder home;
  WriteFileBytes(home.path() / "a.ini",
                 "; comment=ignored\r\n[Outra]\r\nPorta=1\r\n[indice]\r\n  porta = 7022\r\n"
                 "LocalLivrexaDB=C:\\Livrexa\\Dados ; \"x\"=y  \r\nVazio=\n[Depois]\r\nPorta=2\r\n");
  TIniFile ini(home.path() / "a.ini");
  struct Case {
    const char* section;
    const char* key;
    std::optional<std::string> expected;
  } cases[] = {
      {"INDICE", "PORTA", " 7022"},
      {"Indice", "localLIVREXAdb", "C:\\Livrexa\\Dados ; \"x\"=y  "},
      {"INDICE", "Vazio", ""},
      {"INDICE", "Falta", std::nullopt},
      {"Outra", "Porta", "1"},
      {"Depois", "porta", "2"},
      {"Nenhuma", "Porta", std::nullopt},
      {"INDICE", "; comment", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ini.Find(c.section, c.key), c.expected) << c.section << "/" << c.key;
  EXPECT_EQ(ini.ReadInteger("INDICE", "Porta", -1), 7022);
  EXPECT_EQ(ini.ReadString("INDICE", "Falta", "padrão"), "padrão");
}

TEST(IniFileRead, IntegersOnlyFromWholeDecimalTexts) {
  struct Case {
    const char* text;
    std::optional<int> value;
  } cases[] = {{"12", 12},
               {" -3 ", -3},
               {"+7", 7},
               {"", std::nullopt},
               {"12a", std::nullopt},
               {"0x10", std::nullopt},
               {"-", std::nullopt},
               {"99999999999", std::nullopt},
               {"2147483647", 2147483647}};
  for (const auto& c : cases) EXPECT_EQ(ParseIniInteger(c.text), c.value) << "'" << c.text << "'";
}

TEST(IniFileWrite, ChangesOnlyTheKeyLineKeepsOtherLinesAndWritesCrLf) {
  TTempFolder home;
  auto path = home.path() / "a.ini";
  WriteFileBytes(path, "; topo\n[INDICE]\nPORTA=1\nOutra=; mantida\n\n[Depois]\nx=1\n");
  TIniFile ini(path);
  ini.WriteInteger("indice", "porta", 8080);   // existing key: same line, spelling kept
  ini.WriteString("INDICE", "Nova", " a b ");  // new key: end of its section, above the blank line
  ini.WriteString("Terceira", "k", "v");       // new section at the end
  ini.UpdateFile();
  EXPECT_EQ(ReadFileBytes(path),
            "; topo\r\n[INDICE]\r\nPORTA=8080\r\nOutra=; mantida\r\nNova= a b \r\n\r\n[Depois]\r\nx=1\r\n"
            "\r\n[Terceira]\r\nk=v\r\n");
  TIniFile again(path);
  EXPECT_EQ(again.ReadString("INDICE", "Nova", ""), " a b ");
}

TEST(IniFileWrite, CreatesAMissingFile) {
  TTempFolder home;
  TIniFile ini(home.path() / "novo.ini");
  EXPECT_TRUE(ini.Lines().empty());
  ini.WriteString("INDICE", "A", "1");
  ini.UpdateFile();
  EXPECT_EQ(ReadFileBytes(home.path() / "novo.ini"), "[INDICE]\r\nA=1\r\n");
}

TEST(IniFileWrite, UnwritableFolderRaises) {
  TIniFile ini("/proc/livrexa-nao-existe/Config1.ini");
  ini.WriteString("INDICE", "A", "1");
  EXPECT_THROW(ini.UpdateFile(), LivrexaError);
}

TEST(ConfigFile, FirstStartWritesTheFiveValuesAndCreatesTheBackupFolder) {
  TTempFolder home;
  WriteFirstStartConfig(home.path());
  EXPECT_TRUE(std::filesystem::is_directory(home.path() / "Backup"));
  EXPECT_EQ(ReadFileBytes(home.path() / "Config1.ini"),
            "[INDICE]\r\nLocalLivrexaDB=" + home.text() + "Livrexa.FDB\r\nPastaBackup1=" + home.text() +
                "Backup\r\nPastaBackup2=" + home.text() + "\r\nPorta=7022\r\nHoraBackup=12\r\n");
  TServerSettings read = ReadConfig(home.path());
  EXPECT_EQ(read.vPorta, 7022);
  EXPECT_EQ(read.vHoraBackup, 12);
  EXPECT_EQ(read.vLocalDB, home.text() + "Livrexa.FDB");
}

TEST(ConfigFile, SavedInTheDialogOrderKeepingOtherKeysAndReadBack) {
  TTempFolder home;
  TServerSettings values{" /dados/Livrexa.FDB", "/b 1 ", "", 9000, 0};
  WriteConfig(home.path(), values);
  EXPECT_EQ(ReadFileBytes(home.path() / "Config1.ini"),
            "[INDICE]\r\nLocalLivrexaDB= /dados/Livrexa.FDB\r\nPorta=9000\r\nHoraBackup=0\r\n"
            "PastaBackup1=/b 1 \r\nPastaBackup2=\r\n");
  TServerSettings read = ReadConfig(home.path());
  EXPECT_EQ(read.vLocalDB, values.vLocalDB);
  EXPECT_EQ(read.vPastaBackup1, values.vPastaBackup1);
  EXPECT_EQ(read.vPastaBackup2, "");
  EXPECT_EQ(read.vPorta, 9000);

  WriteFileBytes(home.path() / "Config1.ini", "[INDICE]\r\nExtra=1\r\nPorta=1\r\n");
  WriteConfig(home.path(), values);
  TIniFile ini(home.path() / "Config1.ini");
  EXPECT_EQ(ini.ReadString("INDICE", "Extra", ""), "1");
  EXPECT_EQ(ini.Lines()[2], "Porta=9000");
}

TEST(ConfigFile, MissingKeysReadAsEmptyAndZero) {
  TTempFolder home;
  WriteFileBytes(home.path() / "Config1.ini", "[INDICE]\r\nPorta=abc\r\n");
  TServerSettings read = ReadConfig(home.path());
  EXPECT_EQ(read.vLocalDB, "");
  EXPECT_EQ(read.vPastaBackup1, "");
  EXPECT_EQ(read.vPorta, 0);
  EXPECT_EQ(read.vHoraBackup, 0);
}

}  // namespace
}  // namespace livrexa::host
