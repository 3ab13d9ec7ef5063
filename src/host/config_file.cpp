#include "host/config_file.h"

#include <algorithm>

#include "host/ini_file.h"

namespace livrexa::host {

std::string HomeText(const std::filesystem::path& home) {
  std::string text = home.string();
  if (text.empty() || text.back() != '/') text += '/';
  return text;
}

std::filesystem::path ConfigPath(const std::filesystem::path& home) {
  return home / kConfigFileName;
}

TServerSettings ReadConfig(const std::filesystem::path& home) {
  TIniFile ini(ConfigPath(home));
  TServerSettings values;
  values.vLocalDB = ini.ReadString(kConfigSection, "LocalLivrexaDB", "");
  values.vPastaBackup1 = ini.ReadString(kConfigSection, "PastaBackup1", "");
  values.vPastaBackup2 = ini.ReadString(kConfigSection, "PastaBackup2", "");
  values.vPorta = ini.ReadInteger(kConfigSection, "Porta", 0);
  values.vHoraBackup = ini.ReadInteger(kConfigSection, "HoraBackup", 0);
  values.vDiasBackup = std::max(0, ini.ReadInteger(kConfigSection, "DiasBackup", 0));
  return values;
}

TServerSettings FirstStartValues(const std::filesystem::path& home) {
  TServerSettings values;
  values.vLocalDB = HomeText(home) + "Livrexa.FDB";
  values.vPastaBackup1 = HomeText(home) + "Backup";
  values.vPastaBackup2 = HomeText(home);
  values.vPorta = 7022;
  values.vHoraBackup = 12;
  return values;
}

void WriteFirstStartConfig(const std::filesystem::path& home) {
  TServerSettings values = FirstStartValues(home);
  std::error_code ec;
  std::filesystem::create_directories(values.vPastaBackup1, ec);
  TIniFile ini(ConfigPath(home));
  ini.WriteString(kConfigSection, "LocalLivrexaDB", values.vLocalDB);
  ini.WriteString(kConfigSection, "PastaBackup1", values.vPastaBackup1);
  ini.WriteString(kConfigSection, "PastaBackup2", values.vPastaBackup2);
  ini.WriteInteger(kConfigSection, "Porta", values.vPorta);
  ini.WriteInteger(kConfigSection, "HoraBackup", values.vHoraBackup);
  ini.UpdateFile();
}

void WriteConfig(const std::filesystem::path& home, const TServerSettings& values) {
  TIniFile ini(ConfigPath(home));
  ini.WriteString(kConfigSection, "LocalLivrexaDB", values.vLocalDB);
  ini.WriteInteger(kConfigSection, "Porta", values.vPorta);
  ini.WriteInteger(kConfigSection, "HoraBackup", values.vHoraBackup);
  ini.WriteString(kConfigSection, "PastaBackup1", values.vPastaBackup1);
  ini.WriteString(kConfigSection, "PastaBackup2", values.vPastaBackup2);
  ini.UpdateFile();
}

}  // namespace livrexa::host
