// Restoring a saved configuration from a file the user chose, which may hold
// anything. The applier reads the file, keeps the members of "MIDIButtons"
// that name a button code and hold function numbers, and queues one 24-byte
// mapping write for each that differs from what the looper holds. Whatever
// the file, every queued write is a whole message for a code from 0 to 383.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "FuzzSupport.h"
#include "common/MainQueue.h"
#include "common/QXCommandQueue.h"
#include "config/SaveableConfig.h"

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
    qx::ManualMainQueue ui;
    qx::QXCommandQueue commands;
    qx::QXSaveableConfig config(commands, ui);
    // The looper's side of the comparison: a mapping that differs per code.
    for (std::size_t code = 0; code < qx::kButtonCodes; ++code)
        config.btnConfig[code].effects.fill(static_cast<std::int64_t>(code % 3) - 1);

    const qx::Outcome outcome = config.applyConfigurationFile(inputFile);
    require(!outcome.text.empty(), "the outcome says what happened");
    std::size_t writes = 0;
    for (qx::Bytes write = commands.dequeue(); !write.empty(); write = commands.dequeue(), ++writes) {
        require(write.size() == 24 && write[0] == 0xF0 && write[23] == 0xF7, "a mapping write is 24 bytes");
        const int code = write[5] * 128 + write[6];
        require(code < static_cast<int>(qx::kButtonCodes), "a mapping write names a button code");
        for (std::size_t i = 1; i < 23; ++i) require(write[i] < 0x80, "only data bytes inside a write");
    }
    if (!outcome.success) require(writes == 0, "a refused file sends nothing");
    ui.drain();

    return 0;
}
