#include "config/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

namespace qx {
namespace {

std::string systemReason() { return std::strerror(errno); }

bool writeAll(int fd, std::string_view contents)
{
    std::size_t done = 0;
    while (done < contents.size()) {
        const ssize_t n = ::write(fd, contents.data() + done, contents.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// The process's file mode mask, read without changing it (umask() would,
// for a moment, for every thread); 022 where the system does not say.
mode_t currentUmask()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("Umask:")) return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
    return 022;
}

// A replaced file keeps its permissions; a new one gets what the user's
// umask allows, rather than the temporary file's owner-only mode.
mode_t modeFor(const std::filesystem::path& target)
{
    struct stat existing {};
    if (::stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) return existing.st_mode & 07777;
    return 0666 & ~currentUmask();
}

// Where a symbolic link (or a chain of them) leads: the file is replaced
// there, and the link stays a link.
std::filesystem::path followLinks(std::filesystem::path path)
{
    std::error_code error;
    for (int hop = 0; hop < 40 && std::filesystem::is_symlink(path, error); ++hop) {
        const std::filesystem::path to = std::filesystem::read_symlink(path, error);
        if (error) break;
        path = to.is_absolute() ? to : path.parent_path() / to;
    }
    return path;
}

// The rename itself must reach the disk too, or a crash can bring back the old
// name. Best effort: some file systems cannot sync a folder.
void syncFolder(const std::filesystem::path& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

std::optional<std::string> writeFileAtomically(const std::filesystem::path& named, std::string_view contents)
{
    if (named.filename().empty()) return "\"" + named.string() + "\" names no file";
    const std::filesystem::path target = followLinks(named);
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
    std::string temporary = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) return "cannot create a file in " + folder.string() + ": " + systemReason();

    std::string failure;
    if (!writeAll(fd, contents)) failure = "cannot write: " + systemReason();
    else if (::fchmod(fd, modeFor(target)) != 0) failure = "cannot set permissions: " + systemReason();
    else if (::fsync(fd) != 0) failure = "cannot flush to disk: " + systemReason();
    if (::close(fd) != 0 && failure.empty()) failure = "cannot close: " + systemReason();
    if (failure.empty() && ::rename(temporary.c_str(), target.c_str()) != 0)
        failure = "cannot replace " + target.string() + ": " + systemReason();
    if (!failure.empty()) {
        ::unlink(temporary.c_str());
        return failure;
    }
    syncFolder(folder);
    return std::nullopt;
}

}  // namespace qx
