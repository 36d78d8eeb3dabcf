#pragma once
// The link controller with no worker thread and no network, with the models of
// the three settings tabs attached. A test feeds it the looper's replies (made
// by the simulated looper's reply builders), runs the UI-thread hand-offs by
// hand, and reads what was queued for the looper.
#include <gtest/gtest.h>

#include <memory>

#include "config/SettingsTicks.h"
#include "midi/QXInterface.h"
#include "sim/LooperReplies.h"
#include "support/FakeMidiEndpoints.h"
#include "support/Hex.h"

namespace qx::test {

using Slots = sim::FunctionSlots;

class LinkUnderTest : public ::testing::Test {
protected:
    LinkUnderTest()
    {
        link.qxMiscConfig = settings;
        link.qxMIDIButtons = buttons;
        link.attachEffectsModels(bank1, bank2);
        link.attachResponseQueue(&responses);
    }
    // One message from the looper, decoded on this thread, then the hand-offs
    // it posted run as the UI thread would run them.
    void receive(const Bytes& message)
    {
        link.handleSysEx(message);
        ui.drain();
    }
    // Everything waiting in the command queue, oldest first.
    std::vector<Bytes> queued()
    {
        std::vector<Bytes> out;
        for (Bytes m = link.cmdQueue.dequeue(); !m.empty(); m = link.cmdQueue.dequeue()) out.push_back(m);
        return out;
    }

    ManualMainQueue ui;
    QXCommandQueue responses;  // what the saved-configuration transfer is handed
    FakeMidiEndpoints* endpoints = new FakeMidiEndpoints;  // owned by the link
    QXInterface link{ui, std::unique_ptr<MidiEndpoints>(endpoints)};
    std::shared_ptr<MiscConfigModel> settings = std::make_shared<MiscConfigModel>(link.cmdQueue, defaultMiscConfig());
    std::shared_ptr<MIDIButtonConfig> buttons = std::make_shared<MIDIButtonConfig>(link.cmdQueue);
    std::shared_ptr<QX2Effects> bank1 = std::make_shared<QX2Effects>();
    std::shared_ptr<QX2Effects> bank2 = std::make_shared<QX2Effects>();
};

}  // namespace qx::test
