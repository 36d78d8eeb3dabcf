#include <gtest/gtest.h>

#include <string>

#include "common/Bytes.h"
#include "net/TextMessages.h"

namespace qx::net {
namespace {

Bytes bytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

TEST(IdentityReply, TakesTheTextUpToTheFirstAngleBracket)
{
    EXPECT_EQ(parseIdentityReply(bytes("<id>Unit7</id>")), "Unit7");
    EXPECT_EQ(parseIdentityReply(bytes("<id><")), "");
    EXPECT_EQ(parseIdentityReply(bytes("<id>QX2 stage left</id>trailing")), "QX2 stage left");
    EXPECT_EQ(parseIdentityReply(bytes("<id>a<b</id>")), "a");
}

TEST(IdentityReply, RefusesOtherForms)
{
    EXPECT_EQ(parseIdentityReply(bytes("<id>Unit7")), std::nullopt);
    EXPECT_EQ(parseIdentityReply(bytes("<ID>Unit7</ID>")), std::nullopt);
    EXPECT_EQ(parseIdentityReply(bytes("<id>")), std::nullopt);
    EXPECT_EQ(parseIdentityReply(bytes("<id")), std::nullopt);
    EXPECT_EQ(parseIdentityReply(bytes("")), std::nullopt);
    EXPECT_EQ(parseIdentityReply(bytes(" <id>Unit7</id>")), std::nullopt);
    EXPECT_EQ(parseIdentityReply(bytes("<log>x</log>")), std::nullopt);
}

TEST(IdentityReply, ReplacesInvalidUtf8)
{
    const Bytes reply{'<', 'i', 'd', '>', 'Q', 0xFF, 'X', '<'};
    EXPECT_EQ(parseIdentityReply(reply), "Q\xEF\xBF\xBDX");
}

TEST(LogReply, DropsTheFirstFiveAndLastSevenCharacters)
{
    Bytes withZero = bytes("<log>abc</log>");
    withZero.push_back(0);
    EXPECT_EQ(logReplyText(withZero), "abc");
    EXPECT_EQ(logReplyText(bytes("<log>ab</log>")), "a");  // 13 characters, no terminator
    EXPECT_EQ(logReplyText(bytes("<log>a</log>")), std::nullopt);  // 12 characters
    Bytes empty = bytes("<log></log>");
    empty.push_back(0);
    EXPECT_EQ(logReplyText(empty), std::nullopt);  // 12 characters
}

TEST(LogReply, CountsCharactersNotBytes)
{
    // "é" is two bytes but one character: the slice must not cut it in half.
    Bytes reply = bytes("<log>h\xC3\xA9llo</log>");
    reply.push_back(0);
    EXPECT_EQ(logReplyText(reply), "h\xC3\xA9llo");
    // A 12-character text stays too short however many bytes it has.
    EXPECT_EQ(logReplyText(bytes("<log>\xC3\xA9</log>")), std::nullopt);
}

TEST(LogReply, IgnoresOtherText)
{
    EXPECT_EQ(logReplyText(bytes("<id>Unit7</id> and more")), std::nullopt);
    EXPECT_EQ(logReplyText(bytes("")), std::nullopt);
    // "<log>" may stand anywhere in the reply.
    EXPECT_EQ(logReplyText(bytes("<xyz>line <log>end")), "line <");
}

TEST(QueryTexts, AreSentWithoutTerminator)
{
    EXPECT_EQ(bytesOf(kIdentityQuery).size(), 17u);
    EXPECT_EQ(bytesOf(kStatusQuery).size(), 29u);
    EXPECT_EQ(bytesOf(kLogQuery).size(), 18u);
}

}  // namespace
}  // namespace qx::net
