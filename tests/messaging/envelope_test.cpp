#include "tw/messaging/envelope.hpp"

#include <gtest/gtest.h>

#include <string>

using namespace tw::messaging;

namespace {

std::string Blanks(std::size_t n) { return std::string(n, ' '); }

TEST(PadField, CutsPadsAndNeverInsertsOnTheLeft) {
    EXPECT_EQ(PadField("abc", 5), "abc  ");
    EXPECT_EQ(PadField("abcdef", 3), "abc");
    EXPECT_EQ(PadField("abc", 3), "abc");
    EXPECT_EQ(PadField("", 4), "    ");
    EXPECT_EQ(PadField("  x", 4), "  x ");
    EXPECT_EQ(PadField("abc", 0), "");
    EXPECT_EQ(PadField("abc", -2), "");
}

TEST(BuildEnvelope, PlainMessageLayout) {
    const std::string env = BuildEnvelope(0, "abc", 0, "", "");
    EXPECT_EQ(env, "00" "0000000" + Blanks(490) + "abc");
    EXPECT_EQ(env.size(), 502u);  // cbData 503 with the zero byte
}

TEST(BuildEnvelope, ObjectLayoutAndReadBack) {
    const std::string env = BuildEnvelope(4, "ignored", 12, "x", "5");
    EXPECT_EQ(env, "04" "0000012" "x" + Blanks(89) + "5" + Blanks(399) + "x = 5");
    const auto f = ReadEnvelope(env);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->type, 4);
    EXPECT_EQ(f->recordNumber, 12);
    EXPECT_EQ(f->objectName, "x");
    EXPECT_EQ(f->objectValue, "5");
    EXPECT_EQ(f->message, "x = 5");
}

TEST(BuildEnvelope, LongObjectNameKeptWholeInMessageOnly) {
    const std::string name(95, 'n');
    const auto f = ReadEnvelope(BuildEnvelope(4, "", 1, name, "v"));
    ASSERT_TRUE(f);
    EXPECT_EQ(f->objectName, std::string(90, 'n'));
    EXPECT_EQ(f->message, name + " = v");
}

TEST(BuildEnvelope, EmptyMessageIsExactlyTheHeader) {
    const std::string env = BuildEnvelope(7, "", 0, "", "");
    EXPECT_EQ(env.size(), 499u);
    EXPECT_EQ(env.substr(0, 9), "070000000");
    const auto f = ReadEnvelope(env);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->type, 7);
    EXPECT_EQ(f->message, "");
}

TEST(BuildEnvelope, TwoDigitTypeAndSevenDigitRecordNumber) {
    EXPECT_EQ(BuildEnvelope(14, "-", 0, "", "").substr(0, 9), "140000000");
    EXPECT_EQ(BuildEnvelope(0, "m", 42, "", "").substr(0, 9), "000000042");
    EXPECT_EQ(BuildEnvelope(0, "m", 9'999'999, "", "").substr(0, 9), "009999999");
}

TEST(BuildEnvelope, OutOfRangeNumbersNeverShiftTheHeader) {
    struct Case {
        int type;
        std::int32_t record;
        const char* head;
        int readType;
        std::int32_t readRecord;
    };
    const Case cases[] = {
        {0, -42, "00-000042", 0, -42},
        {0, -999'999, "00-999999", 0, -999'999},
        {0, -1'000'000, "00-999999", 0, -999'999},
        {0, INT32_MIN, "00-999999", 0, -999'999},
        {0, 10'000'000, "009999999", 0, 9'999'999},
        {0, INT32_MAX, "009999999", 0, 9'999'999},
        {100, 1, "990000001", 99, 1},
        {-1, 1, "-10000001", -1, 1},
        {INT32_MIN, 1, "-90000001", -9, 1},
    };
    for (const auto& c : cases) {
        const std::string env = BuildEnvelope(c.type, "msg", c.record, "", "");
        EXPECT_EQ(env.substr(0, 9), c.head) << c.type << " " << c.record;
        EXPECT_EQ(env.size(), 502u);
        EXPECT_EQ(env.substr(499), "msg");
        const auto f = ReadEnvelope(env);
        ASSERT_TRUE(f);
        EXPECT_EQ(f->type, c.readType);
        EXPECT_EQ(f->recordNumber, c.readRecord);
    }
}

TEST(BuildEnvelope, LongMessageIsCutToFitTheBuffer) {
    const std::string longText(2000, 'm');
    const std::string env = BuildEnvelope(0, longText, 1, "", "");
    EXPECT_EQ(env.size(), static_cast<std::size_t>(kMaxEnvelopeLength));
    EXPECT_EQ(env.substr(499), std::string(524, 'm'));

    // Type 4: the cut falls on "name = value" as a whole; the fixed fields stay as padded.
    const std::string env4 = BuildEnvelope(4, "", 1, std::string(300, 'a'), std::string(400, 'b'));
    EXPECT_EQ(env4.size(), static_cast<std::size_t>(kMaxEnvelopeLength));
    EXPECT_EQ(env4.substr(499), std::string(300, 'a') + " = " + std::string(221, 'b'));
    const auto f = ReadEnvelope(env4);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->objectName, std::string(90, 'a'));
    EXPECT_EQ(f->objectValue, std::string(400, 'b'));

    // Exactly at the limit nothing is cut.
    EXPECT_EQ(BuildEnvelope(0, std::string(524, 'z'), 0, "", "").size(), 1023u);
}

TEST(ReadEnvelope, TrimsBlanksAroundTheMessageOnly) {
    const auto f = ReadEnvelope(BuildEnvelope(1, "  a  b  ", 3, "", ""));
    ASSERT_TRUE(f);
    EXPECT_EQ(f->message, "a  b");
    EXPECT_EQ(f->type, 1);
    EXPECT_EQ(f->recordNumber, 3);
}

TEST(ReadEnvelope, TrimsAnyRunOfBlanksInEveryField) {
    for (std::size_t lead = 0; lead < 20; ++lead) {
        for (std::size_t trail = 0; trail < 20; ++trail) {
            const std::string text = Blanks(lead) + "a b" + Blanks(trail);
            const auto f = ReadEnvelope(BuildEnvelope(4, "", 1, text, text));
            ASSERT_TRUE(f);
            EXPECT_EQ(f->objectName, "a b");
            EXPECT_EQ(f->objectValue, "a b");
            EXPECT_EQ(f->message, "a b" + Blanks(trail) + " = " + Blanks(lead) + "a b");
        }
    }
    const auto blank = ReadEnvelope(BuildEnvelope(4, "", 1, Blanks(90), Blanks(17)));
    ASSERT_TRUE(blank);
    EXPECT_EQ(blank->objectName, "");
    EXPECT_EQ(blank->objectValue, "");
    EXPECT_EQ(blank->message, "=");
}

TEST(ReadEnvelope, NameAndValueIgnoredForOtherTypes) {
    std::string env = BuildEnvelope(0, "hello", 5, "", "");
    env.replace(9, 5, "NAME!");
    env.replace(99, 5, "VALUE");
    const auto f = ReadEnvelope(env);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->objectName, "");
    EXPECT_EQ(f->objectValue, "");
    EXPECT_EQ(f->message, "hello");
}

TEST(ReadEnvelope, ReadsAtMost999MessageCharactersAndStopsAtZeroByte) {
    std::string env = BuildEnvelope(0, "", 0, "", "") + std::string(1200, 'q');
    auto f = ReadEnvelope(env);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->message.size(), 999u);

    std::string withZero = BuildEnvelope(0, "abc", 0, "", "");
    withZero += '\0';
    withZero += "junk";
    f = ReadEnvelope(withZero);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->message, "abc");
}

TEST(ReadEnvelope, ReportsMalformedEnvelopes) {
    std::string why;
    EXPECT_FALSE(ReadEnvelope("", &why));
    EXPECT_FALSE(why.empty());
    EXPECT_FALSE(ReadEnvelope(std::string(498, '0'), &why));
    EXPECT_NE(why.find("header"), std::string::npos);

    std::string env = BuildEnvelope(0, "m", 0, "", "");
    std::string bad = env;
    bad[1] = 'x';
    EXPECT_FALSE(ReadEnvelope(bad, &why));
    EXPECT_NE(why.find("type"), std::string::npos);
    bad = env;
    bad[5] = ' ';
    EXPECT_FALSE(ReadEnvelope(bad, &why));
    EXPECT_NE(why.find("record"), std::string::npos);
    bad = env;
    bad[0] = '-';
    bad[1] = '-';
    EXPECT_FALSE(ReadEnvelope(bad));
    bad = env;
    bad.replace(2, 7, "-------");
    EXPECT_FALSE(ReadEnvelope(bad));
    bad = env;
    bad[2] = '+';
    EXPECT_FALSE(ReadEnvelope(bad));
    // A zero byte inside the header makes the envelope too short.
    bad = env;
    bad[100] = '\0';
    EXPECT_FALSE(ReadEnvelope(bad));
}

TEST(CodePage, Windows1252BothWays) {
    EXPECT_EQ(Utf8ToCodePage("abc"), "abc");
    EXPECT_EQ(Utf8ToCodePage("\xC3\xA9t\xC3\xA9"), "\xE9t\xE9");  // été
    EXPECT_EQ(Utf8ToCodePage("\xE2\x82\xAC"), "\x80");             // euro sign
    EXPECT_EQ(Utf8ToCodePage("\xC5\xA0"), "\x8A");                 // S caron
    EXPECT_EQ(Utf8ToCodePage("\xE2\x80\x9C" "q" "\xE2\x80\x9D"), "\x93q\x94");
    EXPECT_EQ(CodePageToUtf8("\x80 \xE9 \x9F"), "\xE2\x82\xAC \xC3\xA9 \xC5\xB8");
}

TEST(CodePage, UnmappableAndInvalidBecomeQuestionMarks) {
    EXPECT_EQ(Utf8ToCodePage("\xE4\xB8\xAD"), "?");              // CJK character
    EXPECT_EQ(Utf8ToCodePage("a\xF0\x9F\x98\x80" "b"), "a?b");    // emoji: one character
    EXPECT_EQ(Utf8ToCodePage("\xC2\x80"), "?");                   // C1 control U+0080
    EXPECT_EQ(Utf8ToCodePage("x\xFFy"), "x?y");                   // invalid byte
    EXPECT_EQ(Utf8ToCodePage("\xE2\x82"), "??");                  // truncated sequence
    EXPECT_EQ(Utf8ToCodePage("\xC0\xAF"), "??");                  // overlong encoding
    EXPECT_EQ(Utf8ToCodePage("\xED\xA0\x80"), "???");             // surrogate
}

TEST(CodePage, EveryByteSurvivesTheRoundTrip) {
    std::string all;
    for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
    EXPECT_EQ(Utf8ToCodePage(CodePageToUtf8(all)), all);
}

}  // namespace
