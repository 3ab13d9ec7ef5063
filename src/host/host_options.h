#pragma once
// Command line of livrexa-server: [--headless] [--home DIR] [--update-manifest ADDRESS].

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace livrexa::host {

struct THostOptions {
  bool headless = false;
  std::filesystem::path home;  // absolute; the executable's folder unless --home is given
  std::string updateManifest;  // address of the version manifest (file:// or http://)
  bool showHelp = false;
};

// Folder of the running executable (/proc/self/exe).
std::filesystem::path ExecutableFolder();

// Throws LivrexaError with a usage message on an unknown option or a missing value.
THostOptions ParseHostOptions(const std::vector<std::string>& args);

std::string HostUsage();

}  // namespace livrexa::host
