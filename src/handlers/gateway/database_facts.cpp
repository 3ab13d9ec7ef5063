#include "handlers/gateway/database_facts.h"

#include <ibase.h>

#include <array>
#include <fstream>
#include <regex>

#include "handlers/gateway/connection.h"
#include "handlers/gateway/detail/attachment.h"
#include "handlers/gateway/detail/client.h"

namespace livrexa {

namespace {

// The header page (page 0) of ODS 10 to 13: a 16-byte page head, then the page size and the major
// version, whose top bit marks a Firebird (not InterBase) structure; the minor version follows
// the creation date, attachment id, shadow count and four platform bytes.
constexpr size_t kOdsMajorOffset = 18;
constexpr size_t kOdsMinorOffset = 64;
constexpr unsigned kFirebirdOdsFlag = 0x8000;
constexpr unsigned char kHeaderPageType = 1;

unsigned LittleEndian16(const unsigned char* bytes) {
  return static_cast<unsigned>(bytes[0]) | (static_cast<unsigned>(bytes[1]) << 8);
}

int LittleEndian(const unsigned char* bytes, size_t length) {
  unsigned value = 0;
  for (size_t i = 0; i < length && i < 4; ++i) value |= static_cast<unsigned>(bytes[i]) << (8 * i);
  return static_cast<int>(value);
}

// "LI-V4.0.5.3140 Firebird 4.0" -> "4.0.5".
std::string VersionNumber(const std::string& text) {
  static const std::regex pattern(R"(V(\d+\.\d+(\.\d+)?))");
  std::smatch match;
  return std::regex_search(text, match, pattern) ? match[1].str() : std::string();
}

}  // namespace

std::string TOdsVersion::Text() const {
  return std::to_string(major) + "." + std::to_string(minor);
}

TOdsVersion ReadFileOds(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::array<unsigned char, kOdsMinorOffset + 2> header{};
  in.read(reinterpret_cast<char*>(header.data()), static_cast<std::streamsize>(header.size()));
  if (in.gcount() != static_cast<std::streamsize>(header.size()) || header[0] != kHeaderPageType) return {};
  const unsigned major = LittleEndian16(&header[kOdsMajorOffset]);
  if (!(major & kFirebirdOdsFlag)) return {};
  TOdsVersion ods{static_cast<int>(major & ~kFirebirdOdsFlag), 0};
  if (ods.major < 10 || ods.major > 99) return {};
  // Before ODS 12 the minor version sat elsewhere; those engines are far older than any here.
  if (ods.major >= 12) ods.minor = static_cast<int>(LittleEndian16(&header[kOdsMinorOffset]));
  return ods;
}

std::string FirebirdOfOds(TOdsVersion ods) {
  if (ods.major == 13) return ods.minor == 0 ? "Firebird 4" : "Firebird 5";
  if (ods.major == 12) return "Firebird 3";
  if (ods.major == 11) return "Firebird 2";
  if (ods.major == 10) return "Firebird 1";
  return "uma versão do Firebird desconhecida";
}

TOdsVersion TFbEngineFacts::Ods() const {
  if (major >= 5) return {13, 1};
  if (major == 4) return {13, 0};
  if (major == 3) return {12, 0};
  return {};
}

bool TFbEngineFacts::Opens(TOdsVersion ods) const {
  const TOdsVersion own = Ods();
  return !own.Known() || !ods.Known() || (ods.major == own.major && ods.minor <= own.minor);
}

TFbEngineFacts InstalledEngine() {
  TFbEngineFacts engine;
  const unsigned packed = FbUtil()->getClientVersion();
  engine.major = static_cast<int>(packed >> 8);
  engine.minor = static_cast<int>(packed & 0xff);
  char text[128] = {};
  isc_get_client_version(text);
  engine.version = VersionNumber(text);
  if (engine.version.empty()) engine.version = std::to_string(engine.major) + "." + std::to_string(engine.minor);
  return engine;
}

std::string WrongOdsMessage(const std::string& path, TOdsVersion file, const TFbEngineFacts& engine) {
  std::string text = "O banco de dados " + path + " foi gravado pelo " + FirebirdOfOds(file) +
                     " (estrutura ODS " + file.Text() + "), e o Firebird instalado nesta máquina é o " +
                     engine.version + ", que abre apenas arquivos ODS " + engine.Ods().Text() + ".\r\r";
  text += "Para usar este banco aqui, restaure um backup dele (arquivo .FBK) pela restauração deste servidor";
  if (file.major == 13)
    text += "; um arquivo ODS 13 precisa do Firebird 4, isto é, do Debian 13 com o pacote firebird4.0";
  return text + ".";
}

TFbDatabaseFacts DatabaseFacts(TFbConnection& connection) {
  Firebird::IAttachment* attachment = connection.Attachment().Api();
  return WithFbErrors([&] {
    const unsigned char items[] = {isc_info_ods_version, isc_info_ods_minor_version,
                                   isc_info_firebird_version, isc_info_end};
    std::array<unsigned char, 512> buffer{};
    TFbStatus st;
    attachment->getInfo(st.get(), sizeof(items), items, static_cast<unsigned>(buffer.size()), buffer.data());
    TFbDatabaseFacts facts;
    for (size_t at = 0; at + 3 <= buffer.size() && buffer[at] != isc_info_end;) {
      const unsigned char item = buffer[at];
      const size_t length = LittleEndian16(&buffer[at + 1]);
      const unsigned char* data = &buffer[at + 3];
      if (at + 3 + length > buffer.size() || item == isc_info_truncated) break;
      if (item == isc_info_ods_version) facts.ods.major = LittleEndian(data, length);
      if (item == isc_info_ods_minor_version) facts.ods.minor = LittleEndian(data, length);
      // A count, then each version text with its length: the first is the engine's.
      if (item == isc_info_firebird_version && length >= 2 && data[1] + 2u <= length)
        facts.engineVersion = VersionNumber(std::string(reinterpret_cast<const char*>(data + 2), data[1]));
      at += 3 + length;
    }
    return facts;
  });
}

}  // namespace livrexa
