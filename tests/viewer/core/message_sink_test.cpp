#include "core/message_sink.hpp"

#include <tw/messaging/envelope.hpp>

#include <gtest/gtest.h>

namespace tw::viewer {
namespace {

using tw::messaging::BuildEnvelope;

TEST(MessageSink, CreateReadsTheEnvelopeFields) {
    MessageRef m = MessageSink::Create(BuildEnvelope(4, "", 12, "x", "5"));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->MessageType(), 4);
    EXPECT_EQ(m->MessageIcon(), 14);
    EXPECT_EQ(m->RecordNumber(), 12);
    EXPECT_EQ(m->ObjectName(), QStringLiteral("x"));
    EXPECT_EQ(m->ObjectValue(), QStringLiteral("5"));
    EXPECT_EQ(m->Message(), QStringLiteral("x = 5"));
}

TEST(MessageSink, NameAndValueOnlyForObjects) {
    std::string env = BuildEnvelope(1, "  note text  ", 7, "", "");
    env.replace(9, 4, "junk");
    MessageRef m = MessageSink::Create(env);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->MessageIcon(), 5);
    EXPECT_TRUE(m->ObjectName().isEmpty());
    EXPECT_TRUE(m->ObjectValue().isEmpty());
    EXPECT_EQ(m->Message(), QStringLiteral("note text"));
}

TEST(MessageSink, CodePageTextBecomesUnicode) {
    // 0x80 is the euro sign and 0xE9 e-acute in Windows-1252.
    MessageRef m = MessageSink::Create(BuildEnvelope(0, "\x80 caf\xE9", 0, "", ""));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->Message(), QString::fromUtf8("\u20AC caf\u00E9"));
}

TEST(MessageSink, MalformedEnvelopeGivesNoMessage) {
    QString why;
    EXPECT_FALSE(MessageSink::Create("0x0000001", &why));
    EXPECT_FALSE(why.isEmpty());
    EXPECT_FALSE(MessageSink::Create(""));
}

TEST(MessageSink, IconsByType) {
    const std::pair<int, int> table[] = {{0, 12}, {1, 5}, {2, 4},  {3, 11}, {4, 14}, {5, 0},
                                         {6, 6},  {7, 7}, {8, 9},  {9, 7},  {14, 8}, {10, 0},
                                         {99, 0}, {-1, 0}};
    for (auto [type, icon] : table)
        EXPECT_EQ(MessageSink::CreateEx(qint16(type), 0, u"")->MessageIcon(), icon) << type;
}

TEST(MessageSink, CreateExKeepsEverything) {
    MessageRef m = MessageSink::CreateEx(2, -5, u"m", u"n", u"v");
    EXPECT_EQ(m->MessageIcon(), 4);
    EXPECT_EQ(m->RecordNumber(), -5);
    EXPECT_EQ(m->ObjectName(), QStringLiteral("n"));
    EXPECT_EQ(m->ObjectValue(), QStringLiteral("v"));
    MessageRef copy = m;
    EXPECT_EQ(m.useCount(), 2);
}

}  // namespace
}  // namespace tw::viewer
