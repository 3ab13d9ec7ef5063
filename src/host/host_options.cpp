#include "host/host_options.h"

#include <cstdlib>

#include "rest/wire/errors.h"

namespace livrexa::host {

std::filesystem::path ExecutableFolder() {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return std::filesystem::current_path();
  return exe.parent_path();
}

std::string HostUsage() {
  return "uso: livrexa-server [--headless] [--home PASTA] [--update-manifest ENDERECO]\n"
         "  --headless          sem janela; o log sai na saída padrão, uma entrada por linha\n"
         "  --home PASTA        pasta de Config1.ini, Livrexa.old e Backup (padrão: a do executável)\n"
         "  --update-manifest   endereço (file:// ou http://) do manifesto de versão\n";
}

THostOptions ParseHostOptions(const std::vector<std::string>& args) {
  THostOptions options;
  std::filesystem::path home;
  if (const char* manifest = std::getenv("LIVREXA_UPDATE_MANIFEST")) options.updateManifest = manifest;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&](const std::string& name) -> std::string {
      if (i + 1 >= args.size()) throw LivrexaError("falta o valor de " + name + "\n" + HostUsage());
      return args[++i];
    };
    if (arg == "--headless") {
      options.headless = true;
    } else if (arg == "--home") {
      home = value(arg);
    } else if (arg.rfind("--home=", 0) == 0) {
      home = arg.substr(7);
    } else if (arg == "--update-manifest") {
      options.updateManifest = value(arg);
    } else if (arg == "--help" || arg == "-h") {
      options.showHelp = true;
    } else {
      throw LivrexaError("opção desconhecida: " + arg + "\n" + HostUsage());
    }
  }
  if (home.empty()) home = ExecutableFolder();
  options.home = std::filesystem::absolute(home).lexically_normal();
  return options;
}

}  // namespace livrexa::host
