#pragma once
// Files the listener may answer with: the content type of a file name, and the lookup of a
// requested name inside one folder that never leaves that folder.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace livrexa {

// The first of ".HTML", ".PHP", ".PNG", ".BMP", ".ICO", ".GIF", ".JPG", ".JS", ".PDF", ".ZIP",
// ".RAR", ".CSS" found anywhere in the upper-cased name decides; otherwise a small table of
// common extensions; "application/octet-stream" for any other name with an extension, "" without one.
std::string ContentTypeOfFileName(std::string_view name);

// The regular file that `name` (separated by "/") names inside `folder`, or nothing when there is
// none or when the name would lead outside the folder ("..", an absolute name, a symbolic link
// pointing elsewhere).
std::optional<std::filesystem::path> FileInsideFolder(const std::filesystem::path& folder,
                                                      std::string_view name);

// The whole file's bytes; false when it cannot be read.
bool ReadWholeFile(const std::filesystem::path& file, std::string& bytes);

// The folder of the running program.
std::filesystem::path ProgramFolder();

}  // namespace livrexa
