#include "tw/formula_library/functions.hpp"

#include "tw/messaging/envelope.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tw::formula;
using tw::messaging::BuildEnvelope;
using tw::messaging::ReadEnvelope;

namespace {

std::vector<std::string> g_sent;
tw::messaging::SendResult Capture(std::string_view envelope) {
    g_sent.emplace_back(envelope);
    return tw::messaging::SendResult::Delivered;
}

class FunctionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_sent.clear();
        SetDelivery(Capture);
    }
    void TearDown() override { SetDelivery(nullptr); }
    std::string last() {
        EXPECT_EQ(g_sent.size(), 1u);
        const std::string e = g_sent.empty() ? std::string() : g_sent.back();
        g_sent.clear();
        return e;
    }
};

TEST_F(FunctionsTest, EveryMethodSendsItsTypeRecordNumberAndMessage) {
    const Send send;
    const Enter enter;
    const Exit exit;
    const Add add;
    struct Case {
        std::string result;
        std::string expected;
    };
    std::vector<Case> cases;
    auto run = [&](std::string result, std::string expected) {
        cases.push_back({std::move(result), std::move(expected)});
        cases.back().result += "|" + last();
        cases.back().expected = "|" + cases.back().expected;
    };
    run(send.Msg("m"), BuildEnvelope(0, "m", 0, "", ""));
    run(send.MsgEx("m", 42), BuildEnvelope(0, "m", 42, "", ""));
    run(send.Scratch("s", 7), BuildEnvelope(5, "s", 7, "", ""));
    run(send.Note("n"), BuildEnvelope(1, "n", 0, "", ""));
    run(send.NoteEx("n", 3), BuildEnvelope(1, "n", 3, "", ""));
    run(send.Error("e"), BuildEnvelope(2, "e", 0, "", ""));
    run(send.ErrorEx("e", -4), BuildEnvelope(2, "e", -4, "", ""));
    run(send.Warning("w"), BuildEnvelope(3, "w", 0, "", ""));
    run(send.WarningEx("w", 9'999'999), BuildEnvelope(3, "w", 9'999'999, "", ""));
    run(send.Object("Total", "100", 12), BuildEnvelope(4, "", 12, "Total", "100"));
    run(enter.Formula("{@Total}", 5), BuildEnvelope(6, "{@Total}", 5, "", ""));
    run(enter.SubReport("Orders"), BuildEnvelope(8, "Orders", 0, "", ""));
    run(exit.Formula(), BuildEnvelope(7, "", 0, "", ""));
    run(exit.SubReport(), BuildEnvelope(9, "", 0, "", ""));
    run(add.CheckPoint(), BuildEnvelope(14, std::string(79, '-'), 0, "", ""));
    for (const auto& c : cases) EXPECT_EQ(c.result, c.expected);  // empty result, then the envelope
}

TEST_F(FunctionsTest, MsgAndMsgExDifferOnlyInTheRecordNumber) {
    Send().Msg("same");
    Send().MsgEx("same", 42);
    ASSERT_EQ(g_sent.size(), 2u);
    EXPECT_EQ(g_sent[0].substr(2, 7), "0000000");
    EXPECT_EQ(g_sent[1].substr(2, 7), "0000042");
    EXPECT_EQ(g_sent[0].substr(9), g_sent[1].substr(9));
}

TEST_F(FunctionsTest, ExitEnvelopesAreTheBareHeader) {
    Exit().Formula();
    Exit().SubReport();
    ASSERT_EQ(g_sent.size(), 2u);
    EXPECT_EQ(g_sent[0].size(), 499u);
    EXPECT_EQ(g_sent[1].size(), 499u);
    EXPECT_EQ(g_sent[0].substr(0, 2), "07");
    EXPECT_EQ(g_sent[1].substr(0, 2), "09");
}

TEST_F(FunctionsTest, ObjectCarriesNameAndValueBothWays) {
    Send().Object(std::string(95, 'n'), "v", 1);
    const auto f = ReadEnvelope(last());
    ASSERT_TRUE(f);
    EXPECT_EQ(f->type, 4);
    EXPECT_EQ(f->objectName, std::string(90, 'n'));
    EXPECT_EQ(f->objectValue, "v");
    EXPECT_EQ(f->message, std::string(95, 'n') + " = v");
}

TEST(FunctionsNoViewer, EveryMethodReturnsTheEmptyText) {
    ::setenv("TRACEWELL_SOCKET_DIR", "/nonexistent/tracewell-test", 1);
    const Send send;
    const std::string results[] = {
        send.Msg("m"),     send.MsgEx("m", 1),     send.Scratch("s", 1),      send.Note("n"),
        send.NoteEx("n", 1), send.Error("e"),      send.ErrorEx("e", 1),      send.Warning("w"),
        send.WarningEx("w", 1), send.Object("a", "b", 1), Enter().Formula("f", 1), Enter().SubReport("s"),
        Exit().Formula(),  Exit().SubReport(),     Add().CheckPoint(),
    };
    for (const auto& r : results) EXPECT_EQ(r, "");
    ::unsetenv("TRACEWELL_SOCKET_DIR");
}

}  // namespace

#include "tw/formula_library/tap_settings.hpp"

#include <map>

namespace {

std::map<std::string, std::string> g_values;
bool FakeReader(const char*, const char* variable, std::string& value, std::string& source) {
    const auto it = g_values.find(variable);
    if (it == g_values.end()) return false;
    value = it->second;
    source = variable;
    return true;
}

TEST(TapSettings, ValuesAreReadCheckedAndExpanded) {
    g_values = {{"TRACETAP_CAPTURE", "/tmp/run-%p-%d.txt"}, {"TRACETAP_CAPTURE_MODE", "no-viewer"},
                {"TRACETAP_CAPTURE_MAX_MB", "5"}, {"TRACETAP_SEND_TIMEOUT_MS", "250"}};
    TapSettings s = ReadSettings(FakeReader);
    EXPECT_FALSE(s.off);
    EXPECT_EQ(s.captureMode, CaptureMode::NoViewer);
    EXPECT_EQ(s.captureMaxBytes, 5u << 20);
    EXPECT_EQ(s.sendTimeoutMs, 250);
    EXPECT_TRUE(s.problems.empty());
    EXPECT_EQ(ExpandCapturePath(s.capturePattern, 42, 1'796'738'587'123'456LL), "/tmp/run-42-2026-12-08.txt");
    // Values that cannot be used keep the defaults and say why.
    g_values = {{"TRACETAP_OFF", "maybe"}, {"TRACETAP_CAPTURE_MODE", "sometimes"}, {"TRACETAP_SEND_TIMEOUT_MS", "-3"}};
    s = ReadSettings(FakeReader);
    EXPECT_FALSE(s.off);
    EXPECT_EQ(s.captureMode, CaptureMode::Always);
    EXPECT_EQ(s.sendTimeoutMs, 0);
    EXPECT_EQ(s.problems.size(), 3u);
    g_values = {{"TRACETAP_OFF", "1"}};
    EXPECT_TRUE(ReadSettings(FakeReader).off);
}


}  // namespace
