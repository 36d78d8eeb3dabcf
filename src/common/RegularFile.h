#pragma once
// Reading a file the user chose: opened without blocking (a FIFO or a
// terminal device chosen by mistake never holds the caller), refused unless
// it is a regular file, and read up to a limit the format needs.
#include <cstddef>
#include <filesystem>
#include <string>

namespace qx {

struct FileRead {
    enum class Problem { none, cannotOpen, notRegular, tooLong, cannotRead };
    Problem problem = Problem::none;
    std::string reason;    // the system's words, or what the file is instead
    std::string contents;  // the whole file when there is no problem
};

FileRead readRegularFile(const std::filesystem::path& path, std::size_t limit);

}  // namespace qx
