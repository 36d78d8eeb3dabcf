// Random, truncated and oversized messages into the common decoder: nothing
// crashes or reads outside a message (the sanitizer builds check the reads).
#include <gtest/gtest.h>

#include <random>

#include "common/MainQueue.h"
#include "midi/QXInterface.h"
#include "support/ConsoleCapture.h"
#include "support/FakeMidiEndpoints.h"

namespace qx {

TEST(DecoderBadInput, RandomMessagesOfEveryTypeAndLength)
{
    test::ConsoleCapture console;  // keeps "Unknown sysex" lines off the output
    ManualMainQueue ui;
    QXInterface link(ui, std::make_unique<test::FakeMidiEndpoints>());
    QXCommandQueue responses;
    link.attachResponseQueue(&responses);
    link.tracksModel = std::make_shared<Tracks>();
    link.logModel = std::make_shared<LogText>();
    link.qxInfoString = std::make_shared<ObservableText>();
    link.qxMIDIButtons = std::make_shared<MIDIButtonConfig>(link.cmdQueue);
    link.qxMIDIButtons->currentBtn = 0;
    link.qxMiscConfig = std::make_shared<MiscConfigModel>(link.cmdQueue, defaultMiscConfig());
    link.attachEffectsModels(std::make_shared<QX2Effects>(), std::make_shared<QX2Effects>());

    std::mt19937 random(42);
    const std::size_t interesting[] = {0, 1, 5, 6, 7, 8, 9, 10, 24, 25, 26, 38, 39, 62, 63, 64, 136, 137, 158, 159, 300};
    for (int round = 0; round < 50000; ++round) {
        const std::size_t length = round % 3 ? interesting[random() % std::size(interesting)] : random() % 400;
        Bytes m(length);
        for (auto& b : m) b = static_cast<std::uint8_t>(random() % 5 == 0 ? 0xF7 : random());
        if (length > 4) {
            m[0] = 0xF0;
            m[1] = 0x00;
            m[2] = 0x02;
            m[3] = 0x33;
            m[4] = static_cast<std::uint8_t>(random() % 0x1A);
        }
        link.handleSysEx(m);
        if (round % 100 == 0) {
            ui.drain();
            while (!link.cmdQueue.dequeue().empty()) {}
            while (!responses.dequeue().empty()) {}
        }
    }
    ui.drain();
    SUCCEED();
}

}  // namespace qx
