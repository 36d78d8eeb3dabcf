// Restoring a saved configuration from a file the user chose, which may hold
// anything. applyConfigurationFile reads the file, keeps the members of
// "MIDIButtons" that name a button code and hold function numbers, and hands
// the sender each that differs from what the looper holds; the sender builds
// the 24-byte mapping write the way a restore does. Whatever the file, every
// write is a whole message for a code from 0 to 383.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "config/ConfigurationFileStep.h"
#include "protocol/Messages.h"

using qx::fuzz::require;

namespace {

std::filesystem::path inputFile;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qx::fuzz::silenceConsole();
    const char* tmp = std::getenv("TMPDIR");
    inputFile = std::filesystem::path(tmp ? tmp : "/tmp") /
                ("qx-config-fuzz-" + std::to_string(getpid()) + ".cfg");
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove(inputFile, ignored);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    {
        std::ofstream out(inputFile, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    // The looper's side of the comparison: a mapping that differs per code.
    qx::ButtonConfigs looper{};
    for (std::size_t code = 0; code < qx::kButtonCodes; ++code)
        looper[code].effects.fill(static_cast<std::int64_t>(code % 3) - 1);

    std::vector<qx::Bytes> writes;
    auto send = [&writes](std::int64_t code, const qx::FunctionValues& values) {
        require(code >= 0 && code < static_cast<std::int64_t>(qx::kButtonCodes), "only button codes are sent");
        qx::msg::Bank first{};
        if (values.size() < first.size()) return false;
        std::copy_n(values.begin(), first.size(), first.begin());
        writes.push_back(qx::msg::buttonMappingWrite(code, first));
        return true;
    };
    const qx::Outcome outcome = qx::applyConfigurationFile(inputFile, looper, send);
    require(!outcome.text.empty(), "the outcome says what happened");
    for (const qx::Bytes& write : writes) {
        require(write.size() == 24 && write[0] == 0xF0 && write[23] == 0xF7, "a mapping write is 24 bytes");
        const int code = write[5] * 128 + write[6];
        require(code < static_cast<int>(qx::kButtonCodes), "a mapping write names a button code");
        for (std::size_t i = 1; i < 23; ++i) require(write[i] < 0x80, "only data bytes inside a write");
    }
    if (!outcome.success) require(writes.empty(), "a refused file sends nothing");
    return 0;
}
