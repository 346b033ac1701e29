// End to end: a sender thread sends envelopes through the real transport to the viewer's
// reception, store and visible trace display, compared in the same run with a bare socket
// ping-pong of the same frame size between two threads. Also reports how late a 20 ms timer
// fired on the viewer's thread meanwhile (the window's responsiveness).
//
// Run with a display (for example under xvfb-run) or with QT_QPA_PLATFORM=offscreen.
// Argument: seconds per measurement (default 3).
#include "tw/core/message_manager.hpp"
#include "tw/core/reception.hpp"
#include "tw/display/viewer.hpp"
#include "tw/messaging/envelope.hpp"
#include "tw/messaging/local_socket.hpp"
#include "tw/messaging/transport.hpp"
#include "tw/panes/scratch_manager.hpp"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTabWidget>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace tw::viewer;
using Clock = std::chrono::steady_clock;

namespace {

const std::string kText = "record 12345 computed: running total 4711.50 for customer 0815";

std::string Envelope(int i) {
    if (i % 50 == 0) return tw::messaging::BuildEnvelope(6, "{@Total}", i, "", "");
    if (i % 50 == 49) return tw::messaging::BuildEnvelope(7, "", 0, "", "");
    if (i % 7 == 0) return tw::messaging::BuildEnvelope(4, "", i, "Total", std::to_string(i));
    return tw::messaging::BuildEnvelope(0, kText, i, "", "");
}

// Frames per second of a blocking ping-pong between two threads: frame out, one byte back.
double BarePingPong(double seconds) {
    int sv[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv) != 0) return 0;
    const std::size_t size = tw::messaging::local::kFrameHeaderSize + Envelope(1).size() + 1;
    std::thread echo([&] {
        std::string buf(size, '\0');
        for (;;) {
            std::size_t got = 0;
            while (got < size) {
                const ssize_t n = ::read(sv[1], buf.data() + got, size - got);
                if (n <= 0) return;
                got += std::size_t(n);
            }
            const char ack = 6;
            if (::write(sv[1], &ack, 1) != 1) return;
        }
    });
    std::string frame(size, 'x');
    long count = 0;
    const auto start = Clock::now();
    const auto end = start + std::chrono::duration<double>(seconds);
    while (Clock::now() < end) {
        if (::send(sv[0], frame.data(), size, MSG_NOSIGNAL) != ssize_t(size)) break;
        char ack;
        if (::recv(sv[0], &ack, 1, 0) != 1) break;
        ++count;
    }
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    ::shutdown(sv[0], SHUT_RDWR);
    echo.join();
    ::close(sv[0]);
    ::close(sv[1]);
    return double(count) / elapsed;
}

struct EndToEnd {
    double rate = 0;
    long sent = 0;
    int stored = 0;
    qint64 worstTimerLateness = 0;
};

EndToEnd ToTheViewer(QApplication& app, double seconds) {
    EndToEnd result;
    Viewer viewer;
    MessageManager store(viewer);
    store.SetProcessMessages(true);
    ScratchManager scratch;
    viewer.TabWidget()->resize(900, 600);
    viewer.TabWidget()->show();
    Reception reception({[&](qint32 id, const QString& t) { scratch.Add(id, t); },
                         [&](const MessageRef& m) { store.Add(m); }, {}});
    const std::string caption = "TracewellBench" + std::to_string(::getpid());
    QString error;
    if (!reception.Listen(QString::fromStdString(caption), &error)) {
        std::fprintf(stderr, "listen failed: %s\n", qPrintable(error));
        return result;
    }
    // A 20 ms timer on the viewer's thread: how late it fires shows how responsive it stays.
    QElapsedTimer sinceTick;
    sinceTick.start();
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        result.worstTimerLateness = std::max(result.worstTimerLateness, sinceTick.restart() - 20);
    });
    tick.start(20);

    QEventLoop loop;
    std::atomic<long> sent{0};
    double elapsed = 0;
    std::thread sender([&] {
        const auto start = Clock::now();
        const auto end = start + std::chrono::duration<double>(seconds);
        long i = 0;
        while (Clock::now() < end) {
            tw::messaging::SendEnvelopeTo(caption, Envelope(int(i++)));
        }
        elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        tw::messaging::DisconnectThread();
        sent = i;
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    sender.join();
    viewer.FlushPending();
    app.processEvents();
    result.sent = sent;
    result.rate = double(sent) / elapsed;
    result.stored = viewer.GetDefault().Count();
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 3.0;
    // Alternate so both see the same machine conditions.
    double bare = 0, e2e = 0;
    EndToEnd last;
    for (int round = 0; round < 2; ++round) {
        const double b = BarePingPong(seconds);
        const EndToEnd e = ToTheViewer(app, seconds);
        std::printf("round %d: bare ping-pong %.0f/s, to the viewer %.0f/s (%ld sent, %d lines stored), "
                    "worst timer lateness %lld ms\n",
                    round + 1, b, e.rate, e.sent, e.stored, (long long)e.worstTimerLateness);
        bare += b;
        e2e += e.rate;
        last = e;
    }
    std::printf("mean bare ping-pong %.0f/s, end to end %.0f/s, ratio %.2f\n", bare / 2, e2e / 2, e2e / bare);
    return 0;
}
