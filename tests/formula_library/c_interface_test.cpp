// The shared library's C interface against a real receiver.
#include "../messaging/receiver_thread.hpp"
#include "tracetap.h"
#include "tw/messaging/envelope.hpp"
#include "tw/messaging/local_socket.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

using tw::messaging::BuildEnvelope;
using tw::testing::ReceiverThread;
namespace fs = std::filesystem;

namespace {

class CInterfaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/tw-ctap-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        m_dir = tmpl;
        ::setenv(tw::messaging::local::kDirectoryVariable, (m_dir + "/s").c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv(tw::messaging::local::kDirectoryVariable);
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }
    std::string m_dir;
};

TEST_F(CInterfaceTest, EveryFunctionReachesTheReceiver) {
    ReceiverThread rx("Tracewell");
    // One call after the other: the order of sends is the order of the envelopes.
    const char* results[] = {
        DebugSendMsg("m"),         DebugSendMsgEx("m", 42),          DebugSendScratch("s", 7),
        DebugSendNote("n"),        DebugSendNoteEx("n", 1),          DebugSendError("e"),
        DebugSendErrorEx("e", 2),  DebugSendWarning("w"),            DebugSendWarningEx("w", 3),
        DebugSendObject("Total", "100", 12), DebugEnterFormula("{@F}", 4), DebugEnterSubReport("Sub"),
        DebugExitSubReport(),      DebugExitFormula(),               DebugAddCheckPoint(),
    };
    for (const char* r : results) EXPECT_STREQ(r, "");
    rx.Stop();
    const std::vector<std::string> expected = {
        BuildEnvelope(0, "m", 0, "", ""),      BuildEnvelope(0, "m", 42, "", ""),
        BuildEnvelope(5, "s", 7, "", ""),      BuildEnvelope(1, "n", 0, "", ""),
        BuildEnvelope(1, "n", 1, "", ""),      BuildEnvelope(2, "e", 0, "", ""),
        BuildEnvelope(2, "e", 2, "", ""),      BuildEnvelope(3, "w", 0, "", ""),
        BuildEnvelope(3, "w", 3, "", ""),      BuildEnvelope(4, "", 12, "Total", "100"),
        BuildEnvelope(6, "{@F}", 4, "", ""),   BuildEnvelope(8, "Sub", 0, "", ""),
        BuildEnvelope(9, "", 0, "", ""),       BuildEnvelope(7, "", 0, "", ""),
        BuildEnvelope(14, std::string(79, '-'), 0, "", ""),
    };
    EXPECT_EQ(rx.envelopes(), expected);
}

TEST_F(CInterfaceTest, Utf8IsSentInTheCodePageAndNullIsEmpty) {
    ReceiverThread rx("Tracewell");
    DebugSendMsg("caf\xC3\xA9 \xE2\x82\xAC \xE4\xB8\xAD");  // café € and a character outside the code page
    DebugSendMsg(nullptr);
    DebugSendObject(nullptr, nullptr, 1);
    rx.Stop();
    ASSERT_EQ(rx.envelopes().size(), 3u);
    EXPECT_EQ(rx.envelopes()[0].substr(499), "caf\xE9 \x80 ?");
    EXPECT_EQ(rx.envelopes()[1], BuildEnvelope(0, "", 0, "", ""));
    EXPECT_EQ(rx.envelopes()[2], BuildEnvelope(4, "", 1, "", ""));
}

TEST_F(CInterfaceTest, TwoHostThreadsEachWithTheirOwnConnection) {
    ReceiverThread rx("Tracewell");
    auto run = [](const char* text) {
        for (int i = 0; i < 300; ++i) DebugSendMsgEx(text, i);
    };
    std::thread a(run, "from a"), b(run, "from b");
    a.join();
    b.join();
    rx.Stop();
    int countA = 0, countB = 0;
    for (const auto& e : rx.envelopes()) {
        const auto f = tw::messaging::ReadEnvelope(e);
        ASSERT_TRUE(f);
        int& count = f->message == "from a" ? countA : countB;
        EXPECT_EQ(f->recordNumber, count);
        ++count;
    }
    EXPECT_EQ(countA, 300);
    EXPECT_EQ(countB, 300);
    EXPECT_EQ(rx.receiver().stats().accepted, 2u);
}

TEST_F(CInterfaceTest, NoViewerReturnsPromptly) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 1000; ++i) EXPECT_STREQ(DebugSendMsgEx("nobody", i), "");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

}  // namespace
