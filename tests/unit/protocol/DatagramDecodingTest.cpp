// What the decoder makes of the network's own datagrams: the compact status
// report, the identity and log replies, and SysEx carried whole.
#include <gtest/gtest.h>

#include "protocol/LooperReport.h"
#include "protocol/TextMessages.h"
#include "support/ConsoleCapture.h"

namespace qx {
namespace {

using namespace std::string_literals;

Bytes bytes(const std::string& text) { return Bytes(text.begin(), text.end()); }
using Lines = std::vector<std::string>;

// A compact status report: format mark, track count, then seven arrays of
// eight big-endian words.
enum Array { State, Length, Position, Level, Pan, Feedback, Selection };
struct Report {
    Bytes bytes = Bytes(232, 0);
    explicit Report(std::uint32_t tracks, std::uint32_t mark = 48000) { word(0, mark).word(4, tracks); }
    Report& word(std::size_t at, std::uint32_t value)
    {
        for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
        return *this;
    }
    Report& set(Array array, int track, std::uint32_t value) { return word(8 + 32 * array + 4 * track, value); }
};

TEST(TextReplies, IdUpToTheFirstAngleBracketAndLogWithoutItsFirstFiveAndLastSevenCharacters)
{
    using Texts = std::vector<std::pair<std::string, std::optional<std::string>>>;
    const Texts ids{
        {"<id>Unit7</id>", "Unit7"}, {"<id><", ""}, {"<id>QX2 stage left</id>trailing", "QX2 stage left"},
        {"<id>a<b</id>", "a"}, {"<id>Q\xFFX<", "Q\xEF\xBF\xBDX"},  // invalid UTF-8 is replaced
        {"<id>Unit7", std::nullopt}, {"<ID>Unit7</ID>", std::nullopt}, {"<id>", std::nullopt},
        {"<id", std::nullopt}, {"", std::nullopt}, {" <id>Unit7</id>", std::nullopt}, {"<log>x</log>", std::nullopt}};
    for (const auto& [reply, id] : ids) EXPECT_EQ(net::parseIdentityReply(bytes(reply)), id) << reply;
    const Texts logs{
        {"<log>abc</log>\0"s, "abc"}, {"<log>ab</log>", "a"}, {"<log>a</log>", std::nullopt},
        {"<log></log>\0"s, std::nullopt},
        {"<log>h\xC3\xA9llo</log>\0"s, "h\xC3\xA9llo"},  // characters, not bytes: "é" stays whole
        {"<log>\xC3\xA9</log>", std::nullopt}, {"<id>Unit7</id> and more", std::nullopt}, {"", std::nullopt},
        {"<xyz>line <log>end", "line <"}};  // "<log>" may stand anywhere
    for (const auto& [reply, text] : logs) EXPECT_EQ(net::logReplyText(bytes(reply)), text) << reply;
}

// The tracks of a datagram, or nothing when it is no report.
std::optional<std::vector<QXStatusStruct>> tracksOf(const Bytes& datagram)
{
    const LooperReport report = decodeDatagram(datagram);
    if (!std::holds_alternative<TrackReport>(report)) return std::nullopt;
    EXPECT_EQ(std::get<TrackReport>(report).form, TrackReport::Form::compact);
    return std::get<TrackReport>(report).tracks;
}

TEST(DatagramDecoding, RoutedByTheirFirstByteWithReportWordsSignedInTheirTrack)
{
    Report report(8);
    report.set(State, 7, 0x01020304).set(Length, 7, 96000).set(Position, 7, 4294967295u).set(Level, 7, 7);
    report.set(Pan, 7, 64).set(Feedback, 7, 127).set(Selection, 7, 0x100).set(Selection, 3, 0x01000001);
    report.set(State, 2, 4).set(Length, 2, 72000).set(Position, 2, 2).set(Level, 2, 4294967286u).set(Selection, 0, 1);
    const auto tracks = tracksOf(report.bytes);
    ASSERT_TRUE(tracks && tracks->size() == 8u);
    EXPECT_EQ((*tracks)[7], (QXStatusStruct{.length = 96000, .position = 4294967295LL, .status = 4, .level = 7,
                                            .pan = 64, .feedback = 127, .selected = true}));  // any bit flags it
    EXPECT_EQ((*tracks)[2], (QXStatusStruct{.length = 72000, .position = 2, .status = 4, .level = -10}));
    EXPECT_EQ((*tracks)[1], QXStatusStruct{});

    const Bytes sysEx{0xF0, 0x00, 0x02, 0x33, 0x03, 'h', 'i', 0xF7};
    EXPECT_EQ(std::get<LogReport>(decodeDatagram(sysEx)).text, "hi");
    EXPECT_EQ(std::get<LogReport>(decodeDatagram(bytes("<log>abc</log>\0"s))).text, "abc");
    for (const Bytes& nothing : {Bytes{0x7F, 1, 2, 3}, Bytes{}, bytes("<id>x</id>")})
        EXPECT_TRUE(std::holds_alternative<std::monostate>(decodeDatagram(nothing)));
}

TEST(DatagramDecoding, TrackCountAndLengthBoundWhatIsRead)
{
    test::ConsoleCapture console;
    // What, the report cut or padded to a size, how many tracks are read (-1: not a report), the one selected.
    const std::tuple<const char*, Report, std::size_t, int, int> rows[] = {
        {"no tracks", Report(0).set(Selection, 0, 1), 232, 0, 0},
        {"one byte short", Report(3).set(Selection, 2, 1), 231, 3, 3},
        {"track 5 cut off", Report(8).set(Selection, 3, 1).set(Selection, 4, 1), 216, 4, 4},
        {"not even track 1", Report(2), 203, 0, 0},
        {"a million tracks", Report(1000000).set(Selection, 7, 1), 232, 8, 8},
        {"oversized", Report(9), 400, 8, 0},
        {"no header", Report(0), 7, -1, 0},
        {"one byte", Report(0), 1, -1, 0},
    };
    for (const auto& [what, report, size, count, selected] : rows) {
        console.clear();
        Bytes datagram = report.bytes;
        datagram.resize(size, 0);
        const auto tracks = tracksOf(datagram);
        const std::string line = "\"Status buffer count wrong\" " + std::to_string(size);
        EXPECT_EQ(console.lines(), size == 232 ? Lines{} : Lines{line}) << what;
        ASSERT_EQ(tracks.has_value(), count >= 0) << what;
        if (!tracks) continue;
        ASSERT_EQ(tracks->size(), static_cast<std::size_t>(count)) << what;
        for (int t = 0; t < count; ++t) EXPECT_EQ((*tracks)[t].selected, t + 1 == selected) << what;
    }
    console.clear();
    EXPECT_FALSE(tracksOf(Report(4, 44100).bytes).has_value());
    EXPECT_EQ(console.lines(), Lines{"\"Bad format for status\" 44100"});
}

}  // namespace
}  // namespace qx
