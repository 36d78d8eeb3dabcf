// The replies a configuration transfer takes from the decoder: eight-button
// mapping reports and effects reports, as the looper (or a garbled link)
// delivers them. The input is cut after every 0xF7 into messages that wait
// on the read's reply queue; one pass (ConfigurationRead::runPass) takes
// them all and asks again for whatever is still missing. Whatever the
// replies, the pass asks only for blocks of eight that hold a button not yet
// read, each once, in order.
#include <cstddef>
#include <cstdint>
#include <span>

#include "FuzzSupport.h"
#include "common/QXCommandQueue.h"
#include "config/ConfigurationRead.h"

using qx::fuzz::require;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qx::fuzz::silenceConsole();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    qx::QXCommandQueue commands;
    qx::ConfigurationRead read(commands, qx::TransferTiming{});
    const std::span<const std::uint8_t> replies(data, size);
    std::size_t start = 0;
    for (std::size_t i = 0; i < replies.size(); ++i) {
        if (replies[i] != 0xF7) continue;
        const auto reply = replies.subspan(start, i + 1 - start);
        read.replies.enqueue(qx::Bytes(reply.begin(), reply.end()));
        start = i + 1;
    }

    read.reset();
    const bool askedForBlocks = read.runPass();

    qx::Bytes request = commands.dequeue();
    if (!read.banks.valid) {
        require(request == qx::Bytes({0xF0, 0x00, 0x02, 0x33, 0x09, 0xF7}), "the effects request comes first");
        request = commands.dequeue();
    } else {
        require(read.banks.effects1.size() == 8 && read.banks.effects2.size() == 8,
                "a taken effects report fills both banks");
    }
    int previous = -8;
    std::size_t blocks = 0;
    for (; !request.empty(); request = commands.dequeue(), ++blocks) {
        require(request.size() == 9 && request[4] == 0x0E && request[7] == 0x08 && request[8] == 0xF7,
                "a block request asks for eight buttons");
        const int first = request[5] * 128 + request[6];
        require(first % 8 == 0 && first < 384 && first > previous, "blocks are asked for once each, in order");
        bool missing = false;
        for (int code = first; code < first + 8; ++code) missing = missing || !read.buttons[static_cast<std::size_t>(code)].valid;
        require(missing, "only a block with a button not yet read is asked for");
        previous = first;
    }
    require(askedForBlocks == (blocks > 0), "the pass says whether it asked for blocks");
    return 0;
}
