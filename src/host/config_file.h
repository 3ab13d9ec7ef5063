#pragma once
// Config1.ini of the server's home folder: section "INDICE" with the five settings, and the
// optional "DiasBackup" that an operator adds by hand.

#include <filesystem>
#include <string>

#include "host/host_settings.h"

namespace livrexa::host {

inline constexpr const char* kConfigFileName = "Config1.ini";
inline constexpr const char* kConfigSection = "INDICE";

// The home folder as text with its final "/" (the place of Config1.ini, Livrexa.old, Backup).
std::string HomeText(const std::filesystem::path& home);
std::filesystem::path ConfigPath(const std::filesystem::path& home);

// Reads the keys; a missing text key gives "", a missing or non-numeric integer key 0 (and a
// negative DiasBackup 0 too).
TServerSettings ReadConfig(const std::filesystem::path& home);

// The values a missing Config1.ini is created with. The first backup folder is the home's
// "Backup" folder, which WriteFirstStartConfig also creates.
TServerSettings FirstStartValues(const std::filesystem::path& home);
void WriteFirstStartConfig(const std::filesystem::path& home);

// Writes the five keys in the settings dialog's order (database, port, hour, folder 1, folder 2),
// creating the file when missing and keeping its other lines (DiasBackup among them).
void WriteConfig(const std::filesystem::path& home, const TServerSettings& values);

}  // namespace livrexa::host
