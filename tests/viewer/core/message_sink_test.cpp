#include "tw/core/message_sink.hpp"

#include "tw/messaging/envelope.hpp"

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

// Texts are kept as code-page bytes; what the code page cannot hold, and texts longer than an
// envelope carries, come back unchanged all the same.
TEST(MessageSink, TextsComeBackAsGivenWhateverTheirCharactersAndLength) {
    const QString inPage = QString::fromUtf8("\u20AC caf\u00E9 \u0081");
    const QString outside = QString::fromUtf8("\u03A9 \U0001F600 x");
    const QString longText(70000, u'a');
    for (const QString& text : {inPage, outside, longText}) {
        MessageRef m = MessageSink::CreateEx(4, 1, text, text.left(300), text.left(5000));
        EXPECT_EQ(m->Message(), text);
        EXPECT_EQ(m->MessageLength(), text.size());
        EXPECT_EQ(m->ObjectName(), text.left(300));
        EXPECT_EQ(m->ObjectValue(), text.left(5000));
        QString appended = QStringLiteral("> ");
        m->AppendMessage(appended);
        EXPECT_EQ(appended, QStringLiteral("> ") + text);
    }
    std::string bytes;
    MessageSink::CreateEx(0, 1, inPage)->AppendMessageBytes(bytes);
    EXPECT_EQ(bytes, "\x80 caf\xE9 \x81");
    bytes.clear();
    MessageSink::CreateEx(0, 1, outside)->AppendMessageBytes(bytes);
    EXPECT_EQ(bytes, "? ? x");  // one '?' a character, also for a surrogate pair
    MessageRef fromEnvelope = MessageSink::Create(BuildEnvelope(4, "", 3, "N\xE9", "\xFF"));
    bytes.clear();
    fromEnvelope->AppendObjectNameBytes(bytes);
    fromEnvelope->AppendObjectValueBytes(bytes);
    EXPECT_EQ(bytes, "N\xE9\xFF");
}

}  // namespace
}  // namespace tw::viewer
