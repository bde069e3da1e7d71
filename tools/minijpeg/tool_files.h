#pragma once
// The minijpeg tool's files, read and written as the program does: only regular files are read
// (at most 2 GiB), and outputs go through the safe writer.

#include <cstdint>
#include <string>
#include <vector>

namespace minijpeg {

// False with the reason ("it is a named pipe (FIFO), not a file", "No space left on device").
bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& bytes, std::string& error);
bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error);

}  // namespace minijpeg
