// Capture files in the viewer's core: loading with damaged lines, saving and loading back, and
// following a file as it grows, is truncated and is replaced.

#include "tw/common/common.hpp"
#include "tw/core/file_follower.hpp"
#include "tw/core/log.hpp"
#include "tw/core/message_manager.hpp"
#include "tw/core/status_panels.hpp"
#include "tw/core/trace_pages.hpp"
#include "tw/messaging/capture_line.hpp"
#include "tw/messaging/envelope.hpp"
#include "tw/testing/message_boxes.hpp"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tw::viewer {
namespace {

using tw::messaging::AppendCaptureLine;
using tw::messaging::BuildEnvelope;

// 2026-12-08T14:03:07.123456Z
constexpr qint64 kT0 = 1'796'738'587'123'456;

std::string Captured(qint64 at, quint32 process, quint32 thread, int type, int record,
                     const std::string& text) {
    std::string line;
    AppendCaptureLine(line, at, process, thread, BuildEnvelope(type, text, record, {}, {}));
    return line;
}

void Write(const QString& path, const std::string& bytes, QIODevice::OpenMode mode = QIODevice::Truncate) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | mode));
    ASSERT_EQ(f.write(bytes.data(), qint64(bytes.size())), qint64(bytes.size()));
}

struct FixedClock : Clock {
    qint64 micros = kT0;
    QDateTime nowUtc() const override { return QDateTime::fromMSecsSinceEpoch(micros / 1000, Qt::UTC); }
    qint64 nowMicroseconds() const override { return micros; }
};

class CaptureFiles : public ::testing::Test {
protected:
    void SetUp() override {
        tw::setClock(&clock);
        tw::setMessageBoxes(&boxes);
        store.SetProcessMessages(true);
        ASSERT_TRUE(dir.isValid());
    }
    void TearDown() override {
        tw::setClock(nullptr);
        tw::setMessageBoxes(nullptr);
    }
    QString Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    TraceTree& Default() { return pages.GetDefault(); }
    // "record/level/message" of each line of the default page.
    QStringList Lines() {
        QStringList out;
        for (int i = 1; i <= Default().Count(); ++i)
            out << QStringLiteral("%1/%2/%3")
                       .arg(Default().Message(i).RecordNumber())
                       .arg(Default().Level(i))
                       .arg(Default().Message(i).Message());
        return out;
    }

    QTemporaryDir dir;
    FixedClock clock;
    test::BoxRecorder boxes;
    PlainTracePages pages;
    MessageManager store{pages};
};

TEST_F(CaptureFiles, EveryGoodLineLoadsWithItsSendTimeAndTheDamagedOnesAreReportedOnce) {
    const std::string good = Captured(kT0, 11, 21, 6, 1, "@F");
    std::string file = good;
    file += good.substr(0, 20) + "\r\n";  // 2: cut
    file += "2026-02-31T14:03:07.123456Z\t11\t21\t" + BuildEnvelope(0, "x", 1, {}, {}) +
            "\r\n";  // 3: no such day
    file += Captured(kT0 + 1'500, 11, 21, 0, 2, "inside\r\nnext \\ line");
    file += Captured(kT0 + 1'600, 11, 21, 5, 9, "scratch text");        // to the scratch list
    file += "2026-12-08T14:03:07.200000Z\t11\t21\tshort envelope\r\n";  // 6: no envelope
    file += "\r\n";                                                     // empty: passed over
    file += Captured(kT0 + 2'000, 12, 22, 7, 3, "");
    file.resize(file.size() - 2);  // the last line without its line end
    Write(Path("run.cap"), file);

    std::vector<std::pair<qint32, QString>> scratch;
    const Log::LoadResult r = Log(store, [&](qint32 id, const QString& text) {
                                  scratch.emplace_back(id, text);
                              }).Load(Path("run.cap"));
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(r.capture);
    EXPECT_EQ(r.lines, 8);
    EXPECT_EQ(r.damaged, 3);
    EXPECT_EQ(Lines(), QStringList({"1/0/@F", "2/1/inside\r\nnext \\ line", "3/0/"}));
    EXPECT_EQ(Default().ReceivedAt(1), kT0);
    EXPECT_EQ(Default().ReceivedAt(2), kT0 + 1'500);
    EXPECT_EQ(Default().ReceivedAt(3), kT0 + 2'000);
    // The time stamp is made from the send time as a received line's is from its arrival.
    EXPECT_EQ(StampText(Default().StampOf(1)), "14:03:123");
    EXPECT_EQ(StampText(Default().StampOf(3)), "14:03:125");
    ASSERT_NE(Default().OriginOf(3), nullptr);
    EXPECT_EQ(Default().OriginOf(3)->processId, 12u);
    EXPECT_EQ(Default().OriginOf(3)->threadId, 22u);
    EXPECT_EQ(scratch, (std::vector<std::pair<qint32, QString>>{{9, "scratch text"}}));

    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].caption, "Error loading logfile");
    EXPECT_EQ(
        boxes.boxes[0].prompt,
        "[13 - Logfile record# 2\r\nLogfile buffer: " + QString::fromLatin1(good.substr(0, 20).c_str()) +
            "\r\nError         : Not a capture line (fewer than four fields); 3 damaged "
            "lines skipped, every other line loaded]\r\nDamaged lines skipped: 2, 3, 6\r\n");

    // A log file loads exactly as before: its first line tells it from a capture file.
    std::string log = BuildEnvelope(1, "a log line", 4, {}, {});
    log.resize(499);
    Write(Path("old.log"), log + "a log line\r\n");
    EXPECT_FALSE(Log(store).Load(Path("old.log")).capture);
    EXPECT_EQ(Lines().back(), "4/0/a log line");
    EXPECT_EQ(Default().ReceivedAt(4), clock.micros);
    EXPECT_EQ(Default().OriginOf(4), nullptr);
}

TEST_F(CaptureFiles, ASavedCaptureLoadsBackAsTheSamePage) {
    Write(Path("in.cap"), Captured(kT0, 4711, 4712, 6, 1, "@Total"));
    Log(store).Load(Path("in.cap"));
    clock.micros = kT0 + 250;
    store.Add(MessageSink::CreateEx(4, 2, QString::fromUtf8("Sum = 1\u20ac"), u"Sum",
                                    QString::fromUtf8("1\u20ac")));
    clock.micros = kT0 + 86'400'000'001;  // a day later
    store.Add(MessageSink::CreateEx(0, 3, QString::fromUtf8("two\r\nlines, a \\ and caf\u00e9")));
    store.Add(MessageSink::CreateEx(7, 1, QString()));
    struct Shape {
        QStringList lines;
        std::vector<qint64> times;
        std::vector<Stamp> stamps;
        std::vector<quint32> processes;
        bool operator==(const Shape&) const = default;
    };
    auto shape = [&] {
        Shape s{Lines(), {}, {}, {}};
        for (int i = 1; i <= Default().Count(); ++i) {
            s.times.push_back(Default().ReceivedAt(i));
            s.stamps.push_back(Default().StampOf(i));
            s.processes.push_back(Default().OriginOf(i) ? Default().OriginOf(i)->processId : 0);
        }
        return s;
    };
    const Shape before = shape();
    EXPECT_EQ(before.processes, (std::vector<quint32>{4711, 0, 0, 0}));

    ASSERT_TRUE(Log(store).SaveCapture(Path("out.cap")));
    QFile saved(Path("out.cap"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_TRUE(saved.readLine().startsWith("2026-12-08T14:03:07.123456Z\t4711\t4712\t06"));

    store.Clear();
    clock.micros = kT0 + 999'999'999;  // the clock plays no part in what loads
    const Log::LoadResult r = Log(store).Load(Path("out.cap"));
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.damaged, 0);
    EXPECT_EQ(shape(), before);
    EXPECT_EQ(Default().Message(2).ObjectValue(), QString::fromUtf8("1\u20ac"));
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(CaptureFiles, FollowingReadsOnThroughTruncationAndRotation) {
    const QString path = Path("live.cap");
    const std::string third = Captured(kT0 + 3, 1, 1, 0, 3, "three");
    Write(path,
          Captured(kT0 + 1, 1, 1, 0, 1, "one") + Captured(kT0 + 2, 1, 1, 0, 2, "two") + third.substr(0, 40));
    FileFollower follower(store);
    QStringList notes, stops;
    QObject::connect(&follower, &FileFollower::note, [&](const QString& t) { notes << t; });
    QObject::connect(&follower, &FileFollower::stopped, [&](const QString& t) { stops << t; });
    ASSERT_TRUE(follower.Start(path));
    EXPECT_EQ(Lines(), QStringList({"1/0/one", "2/0/two"}));  // the half-written line waits

    Write(path, third.substr(40), QIODevice::Append);
    follower.Poll();
    EXPECT_EQ(Lines().back(), "3/0/three");
    EXPECT_EQ(Default().ReceivedAt(3), kT0 + 3);

    // Written anew, shorter: read again from the start, and said so.
    Write(path, Captured(kT0 + 4, 2, 1, 0, 4, "anew"));
    follower.Poll();
    EXPECT_EQ(Lines().back(), "4/0/anew");
    ASSERT_EQ(notes.size(), 1);
    EXPECT_EQ(notes[0], "live.cap got shorter: reading it again from its start.");

    // Rotated: what came last into the old file first, then the new file from its start, with
    // a damaged line skipped and named.
    Write(path, Captured(kT0 + 5, 2, 1, 0, 5, "last of the old"), QIODevice::Append);
    ASSERT_TRUE(QFile::rename(path, path + ".1"));
    Write(path, "garbage\r\n" + Captured(kT0 + 6, 3, 1, 0, 6, "first of the new"));
    follower.Poll();
    EXPECT_EQ(Lines().mid(4), QStringList({"5/0/last of the old", "6/0/first of the new"}));
    ASSERT_EQ(notes.size(), 3);
    EXPECT_EQ(notes[1], "live.cap was replaced by a new file: reading that from its start.");
    EXPECT_TRUE(notes[2].startsWith("Line 1 of live.cap is damaged and was skipped: Not a capture line"));
    EXPECT_EQ(Default().SourceCount(), 3)
        << Default().SourceTexts().join(",").toStdString();  // processes 1, 2 and 3 of the one file

    // Clearing the page ends following.
    store.Clear();
    EXPECT_FALSE(follower.IsFollowing());
    EXPECT_EQ(stops, QStringList({"Stopped following live.cap: the page was cleared."}));
    Write(path, Captured(kT0 + 7, 3, 1, 0, 7, "unread"), QIODevice::Append);
    follower.Poll();
    EXPECT_EQ(Default().Count(), 0);
    EXPECT_TRUE(boxes.boxes.empty());
}

}  // namespace
}  // namespace tw::viewer
