#include "common/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace qx {

FileRead readRegularFile(const std::filesystem::path& path, std::size_t limit)
{
    FileRead read;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return {FileRead::Problem::cannotOpen, std::strerror(errno), {}};
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        read = {FileRead::Problem::notRegular, S_ISDIR(status.st_mode) ? "it is a folder" : "it is not a regular file", {}};
    } else {
        char chunk[65536];
        for (;;) {
            const ssize_t n = ::read(fd, chunk, sizeof chunk);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                read = {FileRead::Problem::cannotRead, std::strerror(errno), {}};
                break;
            }
            if (n == 0) break;
            read.contents.append(chunk, static_cast<std::size_t>(n));
            if (read.contents.size() > limit) {
                read = {FileRead::Problem::tooLong, "longer than " + std::to_string(limit) + " bytes", {}};
                break;
            }
        }
    }
    ::close(fd);
    return read;
}

}  // namespace qx
