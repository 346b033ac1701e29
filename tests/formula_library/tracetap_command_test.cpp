// The tracetap command as a process, sending to a twlisten process.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace {

fs::path BinDir() {
    const char* bin = std::getenv("TW_BIN_DIR");
    return bin ? fs::path(bin) : fs::read_symlink("/proc/self/exe").parent_path();
}

struct ProcessRun {
    int status = -1;
    std::string output;
};

// Runs a shell command line, with standard error joined to the output.
ProcessRun Shell(const std::string& command) {
    ProcessRun r;
    FILE* p = ::popen(("( " + command + " ) 2>&1").c_str(), "r");
    if (!p) return r;
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) r.output.append(buf, n);
    const int st = ::pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

class TracetapCommand : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/tw-tracetap-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        m_dir = tmpl;
        ::setenv("TRACEWELL_SOCKET_DIR", (m_dir / "s").c_str(), 1);
        m_tracetap = (BinDir() / "tracetap").string();
        m_listen = (BinDir() / "twlisten").string();
    }
    void TearDown() override {
        ::unsetenv("TRACEWELL_SOCKET_DIR");
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }
    // Starts twlisten for `count` envelopes, runs `sender`, and returns what twlisten printed.
    std::string Exchange(int count, const std::string& sender, ProcessRun* senderRun = nullptr) {
        const std::string out = (m_dir / "listened.txt").string();
        const std::string ready = (m_dir / "ready.fifo").string();
        // twlisten writes a line to the fifo once ready; the sender waits for it.
        const std::string script = "mkfifo '" + ready + "' && { '" + m_listen + "' --count " + std::to_string(count) +
                                   " --ready-file '" + ready + "' > '" + out + "' & } && head -n1 < '" + ready +
                                   "' > /dev/null && " + sender + "; status=$?; wait; cat '" + out +
                                   "'; exit $status";
        ProcessRun r = Shell(script);
        if (senderRun) *senderRun = r;
        return r.output;  // the sender's messages, then what twlisten printed
    }
    fs::path m_dir;
    std::string m_tracetap;
    std::string m_listen;
};

TEST_F(TracetapCommand, CallsFromArgumentsFileAndStandardInput) {
    const fs::path file = m_dir / "calls.txt";
    std::ofstream(file) << "// a report run\n"
                           "DebugEnterFormula(\"{@Total}\", 3)\n"
                           "\n"
                           "DebugSendObject('Total', '1,234.50', 3);\n"
                           "DebugExitFormula()\r\n"
                           "DebugSendMsg('" << std::string(600, 'x') << "')\n";
    ProcessRun run;
    const std::string printed = Exchange(
        6,
        "'" + m_tracetap + "' --summary 'DebugSendMsgEx(\"hello\", 42)' -f '" + file.string() + "' && echo " +
            "\"DebugAddCheckPoint()\" | '" + m_tracetap + "'",
        &run);
    EXPECT_EQ(run.status, 0) << printed;
    EXPECT_NE(printed.find("0000042 SendMsg        hello"), std::string::npos) << printed;
    EXPECT_NE(printed.find("0000003 EnterFormula   {@Total}"), std::string::npos) << printed;
    EXPECT_NE(printed.find("0000003 SendObject       Total = 1,234.50"), std::string::npos) << printed;
    EXPECT_NE(printed.find("0000000 ExitFormula"), std::string::npos) << printed;
    EXPECT_NE(printed.find(std::string(79, '-')), std::string::npos) << printed;
    EXPECT_NE(printed.find("tracetap: 5 calls, 5 delivered, 0 without viewer, 0 lost, 1 cut to fit"), std::string::npos)
        << printed;
}

TEST_F(TracetapCommand, MalformedLineIsNamedAndStopsTheRun) {
    const fs::path file = m_dir / "bad.txt";
    std::ofstream(file) << "DebugSendMsg('one')\n"
                           "\n"
                           "DebugSendMsgEx('two')\n"
                           "DebugSendMsg('three')\n";
    const ProcessRun check = Shell("'" + m_tracetap + "' --check -f '" + file.string() + "'");
    EXPECT_EQ(check.status, 2);
    EXPECT_EQ(check.output, "tracetap: " + file.string() +
                                ":3: DebugSendMsgEx takes 2 arguments, 1 given: DebugSendMsgEx(Message, RecordNumber)\n");
    const ProcessRun run = Shell("'" + m_tracetap + "' --summary -f '" + file.string() + "'");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.output.find("tracetap: 1 calls, 0 delivered, 1 without viewer"), std::string::npos) << run.output;
}

TEST_F(TracetapCommand, NoViewerAndUsageErrors) {
    EXPECT_EQ(Shell("'" + m_tracetap + "' 'DebugSendMsg(\"x\")'").status, 0);
    EXPECT_EQ(Shell("'" + m_tracetap + "' --require-receiver 'DebugSendMsg(\"x\")'").status, 3);
    const ProcessRun missing = Shell("'" + m_tracetap + "' -f '" + (m_dir / "missing.txt").string() + "'");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.output.find("cannot open"), std::string::npos);
    EXPECT_EQ(Shell("'" + m_tracetap + "' --bogus").status, 1);
    const ProcessRun list = Shell("'" + m_tracetap + "' --list");
    EXPECT_NE(list.output.find("DebugSendObject(ObjectName, ObjectValue, RecordNumber)"), std::string::npos);
}

}  // namespace

namespace {

TEST_F(TracetapCommand, DemoTraceIsWellFormedAndBalanced) {
    const std::string demo = std::string(TW_SOURCE_DIR) + "/scripts/demo-trace.txt";
    const ProcessRun check = Shell("'" + m_tracetap + "' --check --summary -f '" + demo + "'");
    EXPECT_EQ(check.status, 0) << check.output;
    // Every formula and subreport that is entered is left again.
    std::ifstream in(demo);
    int depth = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("DebugEnter", 0) == 0) ++depth;
        if (line.rfind("DebugExit", 0) == 0) --depth;
        EXPECT_GE(depth, 0) << line;
    }
    EXPECT_EQ(depth, 0);
}

}  // namespace

#include "tw/messaging/capture_line.hpp"
#include "tw/messaging/envelope.hpp"

#include <chrono>
#include <map>
#include <sstream>

namespace {

std::vector<tw::messaging::CaptureRecord> ReadCapture(const fs::path& path) {
    std::vector<tw::messaging::CaptureRecord> records;
    std::ifstream in(path, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        tw::messaging::CaptureRecord r;
        EXPECT_TRUE(tw::messaging::ParseCaptureLine(line, r)) << line;
        EXPECT_EQ(line.back(), '\r');
        records.push_back(std::move(r));
    }
    return records;
}

// Four processes at once appending 2,500 messages each to one capture file, no viewer: every
// line whole, every writer's lines in its order.
TEST_F(TracetapCommand, ConcurrentCapturesStayWholeAndInOrder) {
    const fs::path capture = m_dir / "capture-%d.txt";
    std::string script;
    for (int p = 0; p < 4; ++p) {
        const fs::path calls = m_dir / ("calls" + std::to_string(p));
        std::ofstream out(calls);
        for (int i = 0; i < 2500; ++i) out << "DebugSendMsgEx(\"writer " << p << " message " << i << "\", " << i << ")\n";
        script += "'" + m_tracetap + "' --capture '" + capture.string() + "' -f '" + calls.string() + "' & ";
    }
    ASSERT_EQ(Shell(script + "wait").status, 0);
    fs::path written;
    for (const auto& entry : fs::directory_iterator(m_dir))
        if (entry.path().filename().string().rfind("capture-", 0) == 0) written = entry.path();
    ASSERT_FALSE(written.empty());  // %d became the date
    const auto records = ReadCapture(written);
    ASSERT_EQ(records.size(), 10000u);
    std::map<std::uint32_t, int> next;  // process id -> next message number
    for (const auto& r : records) {
        const auto e = tw::messaging::ReadEnvelope(r.envelope);
        ASSERT_TRUE(e.has_value());
        EXPECT_EQ(e->recordNumber, next[r.processId]++) << r.envelope;
    }
    EXPECT_EQ(next.size(), 4u);
}

// Rotation at the size given, the off switch, and a viewer that stopped answering: one call
// waits for the timeout, the next ones go on at once; all of them are captured.
TEST_F(TracetapCommand, RotationOffSwitchAndTimeout) {
    const fs::path calls = m_dir / "many.txt";
    {
        std::ofstream out(calls);
        for (int i = 0; i < 4000; ++i) out << "DebugSendMsgEx(\"" << std::string(400, 'r') << "\", " << i << ")\n";
    }
    const fs::path rotating = m_dir / "rotating.txt";
    ASSERT_EQ(Shell("TRACETAP_CAPTURE_MAX_MB=1 '" + m_tracetap + "' --capture '" + rotating.string() + "' -f '" +
                    calls.string() + "'").status, 0);
    EXPECT_LE(fs::file_size(rotating), 1u << 20);
    EXPECT_LE(fs::file_size(rotating.string() + ".1"), 1u << 20);
    const auto last = tw::messaging::ReadEnvelope(ReadCapture(rotating).back().envelope);
    ASSERT_TRUE(last.has_value());
    EXPECT_EQ(last->recordNumber, 3999);

    const fs::path off = m_dir / "off.txt";
    const ProcessRun offRun = Shell("TRACETAP_OFF=1 '" + m_tracetap + "' --summary --capture '" + off.string() +
                                    "' 'DebugSendMsg(\"x\")'");
    EXPECT_FALSE(fs::exists(off));
    EXPECT_NE(offRun.output.find("1 calls, 0 delivered, 0 without viewer"), std::string::npos) << offRun.output;

    const fs::path late = m_dir / "late.txt";
    ProcessRun run;
    const auto start = std::chrono::steady_clock::now();
    Exchange(1, "kill -STOP $(pgrep -n -f -- '--ready-file " + (m_dir / "ready.fifo").string() +
                    "') && TRACETAP_SEND_TIMEOUT_MS=300 TRACETAP_CAPTURE_MODE=no-viewer '" + m_tracetap +
                    "' --summary --capture '" + late.string() + "' " + std::string(20, ' ') +
                    "'DebugSendMsg(\"a\")' 'DebugSendMsg(\"b\")' 'DebugSendMsg(\"c\")'; s=$?; "
                    "kill -CONT $(pgrep -n -f -- '--ready-file " + (m_dir / "ready.fifo").string() + "'); "
                    "'" + m_tracetap + "' 'DebugSendMsg(\"after\")'; exit $s",
             &run);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("3 calls, 0 delivered, 2 without viewer, 0 lost, 0 cut to fit, 1 timed out, 3 captured"),
              std::string::npos) << run.output;
    EXPECT_LT(seconds, 3.0);
    EXPECT_EQ(ReadCapture(late).size(), 3u);
}

TEST_F(TracetapCommand, DoctorSaysWhatIsMissingAndHowToFixIt) {
    const ProcessRun none = Shell("HOME='" + m_dir.string() + "' TRACETAP_CAPTURE=/proc/nowhere/x.txt '" + m_tracetap +
                                  "' --doctor");
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.output.find("FAIL  no viewer is reachable"), std::string::npos) << none.output;
    EXPECT_NE(none.output.find("FAIL  capture file /proc/nowhere/x.txt cannot be written"), std::string::npos) << none.output;
    EXPECT_NE(none.output.find("; fix: "), std::string::npos);
    ProcessRun run;
    // The check's own frame adds no line: one message afterwards ends the listener.
    const std::string printed = Exchange(1, "HOME='" + m_dir.string() + "' '" + m_tracetap + "' --doctor; s=$?; '" +
                                                m_tracetap + "' 'DebugSendMsg(\"end\")'; exit $s", &run);
    EXPECT_EQ(run.status, 0) << printed;
    EXPECT_NE(printed.find("ok    a viewer is reachable"), std::string::npos) << printed;
}

}  // namespace
