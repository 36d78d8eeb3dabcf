// The command line of qx-looper-sim.
#include <gtest/gtest.h>

#include "sim/SimOptions.h"

namespace qx::sim {
namespace {

std::variant<SimOptions, std::string> parse(std::vector<std::string> args) { return parseSimOptions(args); }

TEST(SimOptions, DefaultsOpenMidiPortsOnTheAutomaticChoice)
{
    const auto options = std::get<SimOptions>(parse({}));
    EXPECT_TRUE(options.midi);
    EXPECT_EQ(options.backend, MidiBackend::Automatic);
    EXPECT_FALSE(options.udpAddress);
    EXPECT_EQ(options.udpPort, 5667);
    EXPECT_EQ(options.name, "QX Looper Sim");
    EXPECT_EQ(options.tracks, 4);
    EXPECT_FALSE(options.journal);
}

TEST(SimOptions, EveryOption)
{
    const auto options = std::get<SimOptions>(
        parse({"--jack", "--udp", "10.77.0.2", "--port", "0", "--name", "Unit 7", "--tracks", "8", "--seed", "42",
               "--journal"}));
    EXPECT_TRUE(options.midi);
    EXPECT_EQ(options.backend, MidiBackend::Jack);
    EXPECT_EQ(options.udpAddress, "10.77.0.2");
    EXPECT_EQ(options.udpPort, 0);
    EXPECT_EQ(options.name, "Unit 7");
    EXPECT_EQ(options.tracks, 8);
    EXPECT_EQ(options.seed, 42u);
    EXPECT_TRUE(options.journal);
}

TEST(SimOptions, UdpAloneOpensNoMidiPorts)
{
    const auto options = std::get<SimOptions>(parse({"--udp", "0.0.0.0"}));
    EXPECT_FALSE(options.midi);
    EXPECT_EQ(std::get<SimOptions>(parse({"--alsa"})).backend, MidiBackend::Alsa);
}

TEST(SimOptions, MistakesAreExplained)
{
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--tracks", "6"}, {"--udp"}, {"--seed", "x"}, {"--port", "70000"}, {"--jack", "--alsa"}, {"--fast"}})
        EXPECT_TRUE(std::holds_alternative<std::string>(parse(args))) << args[0];
}

}  // namespace
}  // namespace qx::sim
