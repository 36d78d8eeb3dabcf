#include "protocol/UpgradeFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

namespace qx {
namespace {

std::string hex(std::uint8_t b)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", b);
    return text;
}

}  // namespace

std::variant<Bytes, std::string> readUpgradeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return "cannot open " + path + ": " + std::strerror(errno);
    Bytes contents;
    contents.reserve(kMaxUpgradeFile);
    char chunk[65536];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        contents.insert(contents.end(), chunk, chunk + in.gcount());
        if (contents.size() > kMaxUpgradeFile)
            return path + " is longer than 1,000,000 bytes; refused rather than cut";
    }
    if (in.bad()) return "cannot read " + path;
    if (contents.empty()) return path + " is empty";
    return contents;
}

std::optional<std::string> checkSysExUpgrade(const Bytes& contents)
{
    std::size_t start = 0;
    while (start < contents.size()) {
        if (contents[start] != 0xF0)
            return "offset " + std::to_string(start) + ": expected 0xF0 to start a message, found " +
                   hex(contents[start]);
        std::size_t at = start + 1;
        while (at < contents.size() && contents[at] < 0x80) ++at;
        if (at == contents.size())
            return "offset " + std::to_string(start) + ": message not closed by 0xF7 before the end of the file";
        if (contents[at] != 0xF7)
            return "offset " + std::to_string(at) + ": found " + hex(contents[at]) +
                   " inside the message that starts at offset " + std::to_string(start);
        const std::size_t length = at + 1 - start;
        if (length > 256)
            return "offset " + std::to_string(start) + ": message of " + std::to_string(length) +
                   " bytes is longer than 256";
        start = at + 1;
    }
    return std::nullopt;
}

}  // namespace qx
