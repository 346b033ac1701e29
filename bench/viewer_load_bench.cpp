// Opening a big log file in the real main window (what File > Open does after its dialog:
// Log::Load with the main window's progress window), beside glogg indexing the same file when
// glogg is installed. Every load runs in a fresh process, so each peak resident memory is a
// whole program's, as glogg's is; the two alternate.
//
//   viewer_load_bench [--lines N] [--rounds R] [--file PATH]
//
// --lines N   lines of the generated file (default 600000, about 315 MB)
// --rounds R  alternated rounds; medians are reported (default 3)
// --file PATH the log file to use (made when missing; default /tmp/tw-load-bench-N.log)
//
// glogg's indexing time is read from its own debug log (-dddd): from "FullIndexOperation::start"
// to "indexingFinished". Needs QT_QPA_PLATFORM=offscreen or a display.
#include "run_figures.hpp"
#include "tw/core/log.hpp"
#include "tw/core/message_manager.hpp"
#include "tw/messaging/envelope.hpp"
#include "tw/window/frm_main.hpp"
#include "tw/window/log_progress.hpp"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <signal.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using tw::bench::LoadAverage;
using tw::bench::Median;

using Clock = std::chrono::steady_clock;

const std::string kText = "record 12345 computed: running total 4711.50 for customer";

void MakeFile(const std::string& path, long lines) {
    std::ofstream out(path, std::ios::binary);
    std::string line;
    for (long i = 0; i < lines; ++i) {
        const auto n = std::int32_t(i);
        if (i % 50 == 0) line = tw::messaging::BuildEnvelope(6, "{@Total}", n, "", "");
        else if (i % 50 == 49) line = tw::messaging::BuildEnvelope(7, "", 0, "", "");
        else if (i % 7 == 0) line = tw::messaging::BuildEnvelope(4, "", n, "Total", std::to_string(i * 3));
        else line = tw::messaging::BuildEnvelope(0, kText + " " + std::to_string(i), n, "", "");
        out << line << "\r\n";
    }
}

long StatusKb(pid_t pid, const char* key) {
    std::ifstream in("/proc/" + (pid ? std::to_string(pid) : std::string("self")) + "/status");
    std::string line;
    const std::string k = std::string(key) + ":";
    while (std::getline(in, line)) {
        if (line.rfind(k, 0) == 0) return std::strtol(line.c_str() + k.size(), nullptr, 10);
    }
    return -1;
}

// One load in this process: prints "seconds peak_kb lines".
int LoadOnce(int argc, char** argv, const QString& path) {
    QApplication app(argc, argv);
    tw::window::FrmMain form;
    form.show();
    app.processEvents();
    tw::window::LogLoadProgress progress(&form);
    const auto start = Clock::now();
    const auto result = tw::viewer::Log(form.MessageManager()).Load(path, &progress);
    app.processEvents();  // the page shows its lines
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("%.3f %ld %lld\n", seconds, StatusKb(0, "VmHWM"), (long long)result.lines);
    return result.ok ? 0 : 1;
}

struct Run {
    double seconds = 0;
    long peakKb = 0;
};

Run Ours(const std::string& self, const std::string& path) {
    Run r;
    const std::string cmd = "'" + self + "' --one '" + path + "'";
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return r;
    long long lines = 0;
    if (std::fscanf(p, "%lf %ld %lld", &r.seconds, &r.peakKb, &lines) != 3) r = {};
    ::pclose(p);
    return r;
}

double Stamp(const std::string& line) {
    // "- HH:MM:SS.mmm ..."
    static const std::regex re(R"(- (\d+):(\d+):(\d+)\.(\d+))");
    std::smatch m;
    if (!std::regex_search(line, m, re)) return -1;
    return std::stoi(m[1]) * 3600.0 + std::stoi(m[2]) * 60.0 + std::stoi(m[3]) + std::stoi(m[4]) / 1000.0;
}

Run Glogg(const std::string& path, const std::string& logPath) {
    Run r;
    const pid_t child = ::fork();
    if (child == 0) {
        FILE* out = std::freopen(logPath.c_str(), "w", stderr);
        if (!out) ::_exit(127);
        ::dup2(2, 1);
        ::execlp("glogg", "glogg", "-dddd", "--multi", path.c_str(), nullptr);
        ::_exit(127);
    }
    double start = -1, end = -1;
    const auto deadline = Clock::now() + std::chrono::seconds(300);
    while (end < 0 && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::ifstream in(logPath);
        std::string line;
        while (std::getline(in, line)) {
            if (line.find("FullIndexOperation::start") != std::string::npos) start = Stamp(line);
            if (line.find("indexingFinished") != std::string::npos) end = Stamp(line);
        }
    }
    if (start >= 0 && end >= 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        r.seconds = end - start;
        r.peakKb = StatusKb(child, "VmHWM");
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--one") return LoadOnce(1, argv, QString::fromLocal8Bit(argv[2]));
    long lines = 600000, rounds = 3;
    std::string path;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool more = i + 1 < argc;
        if (a == "--lines" && more) lines = std::atol(argv[++i]);
        else if (a == "--rounds" && more) rounds = std::atol(argv[++i]);
        else if (a == "--file" && more) path = argv[++i];
        else {
            std::fprintf(stderr, "usage: %s [--lines N] [--rounds R] [--file PATH]\n", argv[0]);
            return 2;
        }
    }
    if (path.empty()) path = "/tmp/tw-load-bench-" + std::to_string(lines) + ".log";
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        MakeFile(path, lines);
        ::stat(path.c_str(), &st);
    }
    const bool haveGlogg = std::system("command -v glogg >/dev/null 2>&1") == 0;
    const std::string self = argv[0];
    const std::string gloggLog = path + ".glogg-debug.txt";
    std::printf("file %s: %.0f MB; glogg %s; load average %.1f\n", path.c_str(), double(st.st_size) / 1e6,
                haveGlogg ? "installed" : "not installed", LoadAverage());
    // Once each beforehand, so both read the file from the page cache.
    Ours(self, path);
    std::vector<double> ourTimes, ourPeaks, gTimes, gPeaks;
    for (long round = 1; round <= rounds; ++round) {
        const Run o = Ours(self, path);
        ourTimes.push_back(o.seconds);
        ourPeaks.push_back(double(o.peakKb));
        std::printf("round %ld: tracewell32 %.2f s, peak %ld kB", round, o.seconds, o.peakKb);
        if (haveGlogg) {
            const Run g = Glogg(path, gloggLog);
            gTimes.push_back(g.seconds);
            gPeaks.push_back(double(g.peakKb));
            std::printf("; glogg indexing %.2f s, peak %ld kB; time ratio %.2f", g.seconds, g.peakKb,
                        g.seconds > 0 ? o.seconds / g.seconds : 0.0);
        }
        std::printf("\n");
        std::fflush(stdout);
    }
    std::printf("median: tracewell32 %.2f s (%.0f MB/s), peak %.0f MB", Median(ourTimes),
                double(st.st_size) / 1e6 / Median(ourTimes), Median(ourPeaks) / 1024);
    if (haveGlogg && Median(gTimes) > 0) {
        std::printf("; glogg %.2f s, peak %.0f MB; time tracewell32/glogg %.2f, peak %.2f", Median(gTimes),
                    Median(gPeaks) / 1024, Median(ourTimes) / Median(gTimes), Median(ourPeaks) / Median(gPeaks));
    }
    std::printf("; load average %.1f\n", LoadAverage());
    std::remove(gloggLog.c_str());
    return 0;
}
