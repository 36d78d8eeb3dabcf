// The control protocol through which tests steer a running simulator.
#include <nlohmann/json.hpp>

#include "midi/Messages.h"
#include "sim/ControlSession.h"
#include "SimTestSupport.h"

namespace qx::sim::test {

using Lines = std::vector<std::string>;

TEST(ControlSession, FaultTrackAndSelectionCommandsShowInTheStateAndTheJournalListsArrivals)
{
    ClockedLooper looper;
    ControlSession session(looper);
    for (const char* command : {"silent", "drop-replies 0.25", "garble 0.5", "dup-replies 0.3", "delay 40",
                                "drop-acks 0.1", "dup-acks 1", "restart-upgrade-after 3",  // the faults
                                "track 3 playing", "select 2"})
        EXPECT_EQ(session.run(command), Lines{"ok"}) << command;
    const Lines after = session.run("state");
    ASSERT_EQ(after.size(), 12u);
    EXPECT_EQ(after[5], "tracks n=4 selected=2");
    EXPECT_EQ(after[8], "track 3 playing level=12 pan=96 feedback=80 length=144000 position=0");
    EXPECT_EQ(after[10], "faults silent=yes drop-replies=0.25 garble=0.5 dup-replies=0.3 delay=40 drop-acks=0.1 "
                         "dup-acks=1 restart-upgrade-after=3");
    looper.advanceSeconds(0.25);
    looper.receiveDatagram(text("<query>log</query>"));
    looper.receiveMidi(msg::statusRequest());
    EXPECT_EQ(session.run("journal"),
              (Lines{"0.250000 rx udp <query>log</query>", "0.250000 rx midi F0 00 02 33 02 F7", "ok 2"}));
}

TEST(ControlSession, DumpConfigIsOneLineOfJsonInTheSavedFilesShape)
{
    ClockedLooper looper;
    looper.receiveMidi(msg::buttonMappingWrite(12, {1, 2, -1, 0, 0, 0, 0, 0}));
    const Lines lines = ControlSession(looper).run("dump-config");
    ASSERT_TRUE(lines.size() == 2 && lines[1] == "ok") << "one line of JSON, then ok";
    const auto file = nlohmann::json::parse(lines[0]);
    ASSERT_EQ(file.size(), 3u);
    ASSERT_EQ(file.at("MIDIButtons").size(), 384u);
    for (int code = 0; code < 384; ++code)
        EXPECT_EQ(file.at("MIDIButtons").at(std::to_string(code)), nlohmann::json(looper.mapping(code))) << code;
    EXPECT_EQ(file.at("QX2Effects1"), nlohmann::json({0, 1, 16, 15, 81, 126, -1, 2100}));
    EXPECT_EQ(file.at("QX2Effects2"), nlohmann::json({2103, 2008, -1, -1, 14, 13, 60, 47}));
}

}  // namespace qx::sim::test
