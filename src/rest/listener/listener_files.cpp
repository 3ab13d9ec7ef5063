#include "rest/listener/detail/listener_files.h"

#include <array>
#include <fstream>
#include <iterator>
#include <utility>

#include "rest/wire/wire_consts.h"

namespace livrexa {
namespace fs = std::filesystem;

std::string ContentTypeOfFileName(std::string_view name) {
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 12> kListed = {{
      {".HTML", "text/html"},
      {".PHP", "text/php"},
      {".PNG", "image/png"},
      {".BMP", "image/bmp"},
      {".ICO", "image/ico"},
      {".GIF", "image/gif"},
      {".JPG", "image/jpg"},
      {".JS", "application/javascript"},
      {".PDF", "application/pdf"},
      {".ZIP", "application/zip"},
      {".RAR", "application/rar"},
      {".CSS", "text/css"},
  }};
  const std::string upper = UpperCase(name);
  for (const auto& [part, type] : kListed)
    if (upper.find(part) != std::string::npos) return std::string(type);

  static constexpr std::array<std::pair<std::string_view, std::string_view>, 12> kByExtension = {{
      {"TXT", "text/plain"},
      {"XML", "text/xml"},
      {"SVG", "image/svg+xml"},
      {"JPEG", "image/jpeg"},
      {"WEBP", "image/webp"},
      {"TIF", "image/tiff"},
      {"TIFF", "image/tiff"},
      {"CSV", "text/csv"},
      {"MAP", "application/json"},
      {"WOFF", "font/woff"},
      {"WOFF2", "font/woff2"},
      {"TTF", "font/ttf"},
  }};
  const size_t dot = upper.rfind('.');
  if (dot == std::string::npos) return {};
  const std::string_view extension = std::string_view(upper).substr(dot + 1);
  for (const auto& [ext, type] : kByExtension)
    if (extension == ext) return std::string(type);
  return "application/octet-stream";
}

std::optional<fs::path> FileInsideFolder(const fs::path& folder, std::string_view name) {
  std::error_code ec;
  fs::path root = fs::weakly_canonical(folder, ec);
  if (ec || root.empty()) return std::nullopt;
  if (!root.has_filename() && root != root.root_path()) root = root.parent_path();  // a trailing "/"

  // The name is always relative to the folder: leading "/" are dropped, never taken as the
  // file system's root.
  size_t start = 0;
  while (start < name.size() && name[start] == '/') ++start;
  if (start == name.size() || name.find('\0') != std::string_view::npos) return std::nullopt;
  const fs::path candidate = fs::weakly_canonical(root / fs::path(std::string(name.substr(start))), ec);
  if (ec) return std::nullopt;
  // Inside means: the resolved candidate starts with every element of the resolved folder.
  auto r = root.begin();
  auto c = candidate.begin();
  for (; r != root.end(); ++r, ++c) {
    if (c == candidate.end() || *r != *c) return std::nullopt;
  }
  if (c == candidate.end()) return std::nullopt;  // the folder itself
  if (!fs::is_regular_file(candidate, ec)) return std::nullopt;
  return candidate;
}

bool ReadWholeFile(const fs::path& file, std::string& bytes) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

fs::path ProgramFolder() {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return fs::current_path(ec);
  return self.parent_path();
}

}  // namespace livrexa
