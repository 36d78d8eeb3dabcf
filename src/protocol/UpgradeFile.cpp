#include "protocol/UpgradeFile.h"

#include "common/RegularFile.h"

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
    const FileRead file = readRegularFile(path, kMaxUpgradeFile);
    switch (file.problem) {
    case FileRead::Problem::none: break;
    case FileRead::Problem::cannotOpen: return "cannot open " + path + ": " + file.reason;
    case FileRead::Problem::notRegular: return path + " is not a firmware file: " + file.reason;
    case FileRead::Problem::tooLong: return path + " is longer than 1,000,000 bytes; refused rather than cut";
    case FileRead::Problem::cannotRead: return "cannot read " + path + ": " + file.reason;
    }
    if (file.contents.empty()) return path + " is empty";
    return Bytes(file.contents.begin(), file.contents.end());
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
