// The main window under load: ten senders at once, five tracetap processes and five threads of
// this process, each sending its own numbered messages. Every message must be stored exactly
// once and in its sender's order, the status bar must give the count, and the heap the window
// grows by must stay within the store's per-line budget.
//   TW_LOAD_PER_SENDER   messages per sender (default 100,000: a million in all; 10,000 in a
//                        sanitizer build, where a million lines would take minutes and gigabytes)

#include "tw/display/viewer.hpp"
#include "tw/messaging/envelope.hpp"
#include "tw/messaging/transport.hpp"
#include "tw/testing/message_boxes.hpp"
#include "tw/testing/modal.hpp"
#include "tw/window/frm_main.hpp"
#include "tw/window/status_panels.hpp"

#include <QDir>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <malloc.h>
#include <map>
#include <memory>
#include <thread>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define TW_HEAP_FIGURES 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TW_HEAP_FIGURES 0
#endif
#endif
#ifndef TW_HEAP_FIGURES
#define TW_HEAP_FIGURES 1
#endif

namespace tw::window {
namespace {

constexpr int kProcesses = 5;
constexpr int kThreads = 5;
// The store's budget for a line beyond its message text (docs/performance.md).
constexpr double kBytesPerLineBudget = 150.0;

int PerSender() {
    bool ok = false;
    const int n = qEnvironmentVariableIntValue("TW_LOAD_PER_SENDER", &ok);
    return ok && n > 0 ? n : (TW_HEAP_FIGURES ? 100000 : 10000);
}

std::size_t HeapInUse() {
    const auto info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// Serves the window's event loop (as tracewell32 runs it) until done() or the limit.
template <typename Done>
bool ServeUntil(Done done, int limitMs) {
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done()) loop.quit();
    });
    poll.start(20);
    QTimer::singleShot(limitMs, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

QString SenderText(const QString& sender, int i) { return sender + ' ' + QString::number(i); }

TEST(ViewerLoad, TenSendersEveryMessageOnceInSenderOrderCountAndMemoryRight) {
    const int perSender = PerSender();
    const int total = (kProcesses + kThreads) * perSender;

    FrmMain form;
    form.show();
    ASSERT_NE(form.Reception(), nullptr);
    viewer::TraceTree& trace = form.Viewer().GetDefault();
    QTest::qWait(50);

    // The processes' calls, one file each.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    std::size_t textBytes = 0;
    std::vector<QString> files;
    for (int p = 0; p < kProcesses; ++p) {
        const QString sender = QStringLiteral("P%1").arg(p);
        QString calls;
        for (int i = 0; i < perSender; ++i) {
            calls += QStringLiteral("DebugSendMsgEx(\"%1\", %2)\n").arg(SenderText(sender, i)).arg(i);
            textBytes += std::size_t(SenderText(sender, i).size()) * sizeof(char16_t);
        }
        files.push_back(dir.filePath(sender + ".txt"));
        QFile f(files.back());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(calls.toLatin1());
    }
    for (int t = 0; t < kThreads; ++t) {
        for (int i = 0; i < perSender; ++i) {
            textBytes += std::size_t(SenderText(QStringLiteral("T%1").arg(t), i).size()) * sizeof(char16_t);
        }
    }

    const std::size_t heapBefore = HeapInUse();
    const auto start = std::chrono::steady_clock::now();
    const QString bin = qEnvironmentVariable("TW_BIN_DIR", QCoreApplication::applicationDirPath());
    std::vector<std::unique_ptr<QProcess>> taps;
    for (const QString& file : files) {
        auto tap = std::make_unique<QProcess>();
        tap->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        tap->start(bin + "/tracetap", {"--require-receiver", "-f", file});
        taps.push_back(std::move(tap));
    }
    std::atomic<int> undelivered{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, perSender, &undelivered] {
            const std::string sender = "T" + std::to_string(t);
            for (int i = 0; i < perSender; ++i) {
                const std::string env = messaging::BuildEnvelope(0, sender + ' ' + std::to_string(i), i, "", "");
                if (messaging::SendEnvelopeTo("Tracewell", env) != messaging::SendResult::Delivered) ++undelivered;
            }
            messaging::DisconnectThread();
        });
    }

    const int limitMs = 120000 + total / 10;
    const bool done = ServeUntil(
        [&] {
            for (const auto& tap : taps) {
                if (tap->state() != QProcess::NotRunning) return false;
            }
            return trace.Count() >= total;
        },
        limitMs);
    if (!done) form.commands().Run("mnuFileExit");  // stops listening: senders still waiting return
    for (auto& th : threads) th.join();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    for (const auto& tap : taps) {
        if (tap->state() != QProcess::NotRunning) {
            tap->kill();
            tap->waitForFinished();
        }
    }
    ASSERT_TRUE(done) << trace.Count() << " of " << total << " stored after " << limitMs << " ms";
    QTest::qWait(100);  // let the view take its last batch
    for (const auto& tap : taps) {
        EXPECT_EQ(tap->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(tap->exitCode(), 0);
    }
    EXPECT_EQ(undelivered.load(), 0);

    // Exactly once each, in each sender's order.
    ASSERT_EQ(trace.Count(), total);
    std::map<QString, int> next;
    int outOfOrder = 0;
    for (int line = 1; line <= total; ++line) {
        const viewer::MessageSink& m = trace.Message(line);
        const QString text = m.Message();
        const qsizetype blank = text.indexOf(' ');
        const QString sender = text.left(blank);
        const int i = text.mid(blank + 1).toInt();
        if (i != next[sender] || m.RecordNumber() != i || trace.Parent(line) != 0) ++outOfOrder;
        next[sender] = i + 1;
    }
    EXPECT_EQ(outOfOrder, 0);
    EXPECT_EQ(next.size(), std::size_t(kProcesses + kThreads));
    for (const auto& [sender, count] : next) EXPECT_EQ(count, perSender) << sender.toStdString();

    // The status bar.
    const QString count = form.statusPanels().Text(1);
    EXPECT_TRUE(count.endsWith(" Messages.")) << count.toStdString();
    QString digits;
    for (const QChar c : count) {
        if (c.isDigit()) digits += c;
    }
    EXPECT_EQ(digits.toLongLong(), total);

    const double perLine = (double(HeapInUse()) - double(heapBefore) - double(textBytes)) / total;
    std::printf("%d messages from %d senders in %.2f s (%.0f/s); heap beyond message text %.1f B a line\n", total,
                kProcesses + kThreads, seconds, total / seconds, perLine);
#if TW_HEAP_FIGURES
    EXPECT_LE(perLine, kBytesPerLineBudget);
#endif
}

}  // namespace
}  // namespace tw::window
