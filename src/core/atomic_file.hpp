// Writes a whole file so that it is either entirely the new bytes or exactly what it was before:
// the bytes go to a new temporary file beside the target, are flushed to disk, and the temporary
// file is renamed over the target. A symbolic link is followed: the file it names is replaced.
#pragma once

#include <filesystem>
#include <string_view>

namespace tarnwick {

// Any failure (creating, writing, flushing, closing, renaming) removes the temporary file, leaves
// the target untouched and throws std::filesystem::filesystem_error carrying the system's error
// code and the target path. An exception from poll_interrupt() between blocks does the same.
void write_file_atomically(const std::filesystem::path& target, std::string_view bytes);

}  // namespace tarnwick
