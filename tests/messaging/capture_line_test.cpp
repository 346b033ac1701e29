#include "tw/messaging/capture_line.hpp"

#include <gtest/gtest.h>

namespace tw::messaging {
namespace {

TEST(CaptureLine, WritesAndReadsBackEveryByteOnOneLine) {
    // 2026-12-08T14:03:07.123456Z
    const std::int64_t at = 1'796'738'587'123'456LL;
    std::string envelope = "00      12";
    for (int c = 1; c < 256; ++c) envelope += char(c);  // CR, LF, tab, backslash among them
    std::string line;
    AppendCaptureLine(line, at, 4711, 4712, envelope);
    EXPECT_EQ(line.rfind("2026-12-08T14:03:07.123456Z\t4711\t4712\t00      12", 0), 0u);
    EXPECT_EQ(line.find('\n'), line.size() - 1);
    EXPECT_EQ(line.find('\r'), line.size() - 2);
    CaptureRecord back;
    ASSERT_TRUE(ParseCaptureLine(line, back));
    EXPECT_EQ(back.sentAtMicros, at);
    EXPECT_EQ(back.processId, 4711u);
    EXPECT_EQ(back.threadId, 4712u);
    EXPECT_EQ(back.envelope, envelope);
    EXPECT_TRUE(LooksLikeCaptureLine(line));
    EXPECT_EQ(CaptureTimeText(0), "1970-01-01T00:00:00.000000Z");
    EXPECT_EQ(CaptureTimeText(at, true), "2026-12-08");
}

TEST(CaptureLine, DamagedLinesSayWhy) {
    std::string why;
    CaptureRecord r;
    for (const char* bad : {"", "2026-12-08T14:03:07.123456Z\t1\t2", "2026-02-31T14:03:07.123456Z\t1\t2\tx",
                            "2026-12-08 14:03:07.123456Z\t1\t2\tx", "2026-12-08T14:03:07.123456Z\tp\t2\tx",
                            "2026-12-08T14:03:07.123456Z\t1\t2\tx\\q", "00012  09:05:042  a log line"}) {
        EXPECT_FALSE(ParseCaptureLine(bad, r, &why)) << bad;
        EXPECT_FALSE(why.empty());
        EXPECT_FALSE(LooksLikeCaptureLine(bad));
    }
}

}  // namespace
}  // namespace tw::messaging
