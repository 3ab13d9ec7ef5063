#pragma once
// A Windows initialization file ("[SECTION]" lines and "Key=Value" lines) read and rewritten in
// place. Section and key names match without regard to case; a value is the rest of its line after
// the first "=", kept exactly (blanks, quotes and ";" included). Writing changes only the line of
// the key (or adds it at the end of its section) and keeps every other line as it was; the file is
// written with CR LF line ends.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace livrexa::host {

class TIniFile {
 public:
  // Reads the file when it exists; a missing file is an empty one until UpdateFile.
  explicit TIniFile(std::filesystem::path path);

  const std::filesystem::path& Path() const { return path_; }

  std::optional<std::string> Find(const std::string& section, const std::string& key) const;
  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& defaultValue) const;
  // A missing key or a value that is not a decimal integer gives the default.
  int ReadInteger(const std::string& section, const std::string& key, int defaultValue) const;

  void WriteString(const std::string& section, const std::string& key, const std::string& value);
  void WriteInteger(const std::string& section, const std::string& key, int value);

  // Writes the lines back (CR LF), through a temporary file renamed over the old one.
  // Throws LivrexaError when the file cannot be written.
  void UpdateFile() const;

  const std::vector<std::string>& Lines() const { return lines_; }

 private:
  std::filesystem::path path_;
  std::vector<std::string> lines_;
};

// Parses a whole decimal integer with an optional sign and surrounding blanks; nullopt otherwise.
std::optional<int> ParseIniInteger(const std::string& text);

}  // namespace livrexa::host
