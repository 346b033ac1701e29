#include "tw/core/log.hpp"

#include "tw/common/common.hpp"
#include "tw/core/log_format.hpp"
#include "tw/core/message_manager.hpp"
#include "tw/core/status_panels.hpp"
#include "tw/core/trace_pages.hpp"
#include "tw/messaging/envelope.hpp"
#include "tw/testing/message_boxes.hpp"
#include "tw/testing/small_disk.hpp"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <malloc.h>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace tw::viewer {
namespace {

using RecordingBoxes = tw::test::BoxRecorder;

struct RecordingStatus : StatusPanels {
    QString count;
    void SetMessageCount(const QString& text) override { count = text; }
    void SetListening(const QString&, bool) override {}
};

struct FixedClock : Clock {
    QTime time{9, 5, 17, 42};
    QDateTime nowUtc() const override { return QDateTime(QDate(2026, 1, 2), time, Qt::UTC); }
};

std::string ReadAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return "<missing>";
    const QByteArray bytes = f.readAll();
    return std::string(bytes.constData(), std::size_t(bytes.size()));
}

void WriteAll(const QString& path, std::string_view bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes.data(), qint64(bytes.size()));
}

// One envelope line as an older viewer saved it.
std::string OldLine(int type, int record, const std::string& message, const std::string& name = {},
                    const std::string& value = {}) {
    char head[10];
    std::snprintf(head, sizeof head, "%02d%07d", type, record);
    std::string line = head;
    line += name + std::string(90 - name.size(), ' ');
    line += value + std::string(400 - value.size(), ' ');
    return line + message + "\r\n";
}

QString Utf8(const char* text) { return QString::fromUtf8(text); }

class LogFiles : public ::testing::Test {
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
    void Add(qint16 type, qint32 record, const QString& text, const QString& name = {}, const QString& value = {}) {
        store.Add(MessageSink::CreateEx(type, record, text, name, value));
    }
    TraceTree& Default() { return pages.GetDefault(); }
    // Messages of the default tree as "type/record/name/value/message" texts.
    std::vector<QString> Messages() {
        std::vector<QString> out;
        for (int i = 1; i <= Default().Count(); ++i) {
            const MessageSink& m = Default().Message(i);
            out.push_back(QString::number(m.MessageType()) + '/' + QString::number(m.RecordNumber()) + '/' +
                          m.ObjectName() + '/' + m.ObjectValue() + '/' + m.Message());
        }
        return out;
    }

    QTemporaryDir dir;
    FixedClock clock;
    RecordingBoxes boxes;
    RecordingStatus status;
    PlainTracePages pages;
    MessageManager store{pages, &status};
};

TEST_F(LogFiles, SavingAnEmptyPageWritesNoFileAndLeavesAnExistingOneAlone) {
    EXPECT_TRUE(Log(store).Save(Path("new.log")));
    EXPECT_FALSE(QFile::exists(Path("new.log")));
    WriteAll(Path("old.log"), "keep me");
    EXPECT_TRUE(Log(store).Save(Path("old.log")));
    EXPECT_EQ(ReadAll(Path("old.log")), "keep me");
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(LogFiles, SavedNotesAndObjectsHaveTheEnvelopeLayoutByteForByte) {
    Add(1, 7, "hello");
    store.Add(MessageSink::Create(tw::messaging::BuildEnvelope(4, {}, 12, "x", "5")));
    ASSERT_TRUE(Log(store).Save(Path("a.log")));
    const std::string expected = "010000007" + std::string(490, ' ') + "hello\r\n" + "040000012" + "x" +
                                 std::string(89, ' ') + "5" + std::string(399, ' ') + "x = 5\r\n";
    EXPECT_EQ(ReadAll(Path("a.log")), expected);

    store.Clear();
    Log(store).Load(Path("a.log"));
    ASSERT_EQ(Default().Count(), 2);
    EXPECT_EQ(Messages()[0], "1/7///hello");
    EXPECT_EQ(Messages()[1], "4/12/x/5/x = 5");
}

TEST_F(LogFiles, SavingAFilterPageWritesOnlyItsLinesAndLoadingAddsThemToTheDefaultPage) {
    Add(0, 1, "one");
    Add(0, 2, "two");
    Add(0, 3, "three");
    TraceTree* filter = pages.Add(QStringLiteral("Filter"));
    ASSERT_NE(filter, nullptr);
    filter->AppendCopy(Default(), 2);
    ASSERT_TRUE(Log(store).Save(Path("f.log")));
    EXPECT_EQ(ReadAll(Path("f.log")), OldLine(0, 2, "two"));

    Log(store).Load(Path("f.log"));  // the filter page is still the current one
    EXPECT_EQ(filter->Count(), 1);
    ASSERT_EQ(Default().Count(), 4);
    EXPECT_EQ(Messages()[3], "0/2///two");
}

TEST_F(LogFiles, MessagesWithLineBreaksQuotesAndCodePageCharactersSurviveSaveAndLoad) {
    const QString texts[] = {Utf8("line\r\nbreak"), Utf8("cr\ronly"), Utf8("lf\nonly"), Utf8("a, b, c"),
                             Utf8("\"quoted, \"\" twice\""), Utf8("caf\u00e9 \u20ac5 \u00a9 \u00ff"),
                             Utf8("ends in a break\r\n"), Utf8("back\\slash \\r\\n")};
    for (const QString& t : texts) Add(0, 42, t);
    Add(4, 9, Utf8("Name\r\nx = v\r\n\u00e9"), Utf8("Name\r\nx"), Utf8("v\r\n\u00e9"));
    ASSERT_TRUE(Log(store).Save(Path("t.log")));
    const std::string bytes = ReadAll(Path("t.log"));
    // One line per message: every LF of the file ends a line.
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 9);
    EXPECT_NE(bytes.find("caf\xe9 \x80" "5 \xa9 \xff"), std::string::npos);  // Windows-1252 bytes

    const std::vector<QString> before = Messages();
    store.Clear();
    Log(store).Load(Path("t.log"));
    EXPECT_EQ(Messages(), before);
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(LogFiles, FilesOfTheExistingFormatLoadExactly) {
    std::string file = OldLine(0, 1, "plain") + OldLine(2, 1234567, "error \\n with \\r\\n text") +
                       OldLine(4, 3, "Total = 1,000", "Total", "1,000") + OldLine(14, 0, std::string(79, '-')) +
                       OldLine(1, 0, "  padded  ", "ignored for notes", "also ignored") +
                       OldLine(0, 5, "\xe9t\xe9 \x80");
    WriteAll(Path("old.log"), file);
    Log(store).Load(Path("old.log"));
    const std::vector<QString> expected = {"0/1///plain", "2/1234567///error \\n with \\r\\n text",
                                           "4/3/Total/1,000/Total = 1,000", "14/0///" + QString(79, '-'),
                                           "1/0///padded", Utf8("0/5///\u00e9t\u00e9 \u20ac")};
    EXPECT_EQ(Messages(), expected);
    // A last line without its CR LF and lines ended by LF alone load as well.
    WriteAll(Path("lf.log"), "000000001" + std::string(490, ' ') + "a\n" + "000000002" + std::string(490, ' ') + "b");
    Log(store).Load(Path("lf.log"));
    EXPECT_EQ(Messages().back(), "0/2///b");
    EXPECT_EQ(Default().Count(), 8);
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(LogFiles, AMalformedLineStopsTheLoadWithTheExactBoxAndKeepsTheLinesBefore) {
    WriteAll(Path("bad.log"), OldLine(0, 1, "one") + OldLine(0, 2, "two") + "hello world\r\n" + OldLine(0, 4, "four"));
    const Log::LoadResult r = Log(store).Load(Path("bad.log"));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.lines, 3);
    EXPECT_EQ(Default().Count(), 2);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].caption, "Error loading logfile");
    EXPECT_EQ(boxes.boxes[0].icon, BoxIcon::Warning);
    EXPECT_EQ(boxes.boxes[0].prompt,
              "[13 - Logfile record# 3\r\nLogfile buffer: hello world\r\n"
              "Error         : Not a message envelope (shorter than the 499-character header)]");

    // The second line of a message saved by a viewer that did not escape line breaks.
    WriteAll(Path("split.log"), OldLine(0, 1, "first half") + "xx" + std::string(600, ' ') + "second half\r\n");
    Log(store).Load(Path("split.log"));
    ASSERT_EQ(boxes.boxes.size(), 2u);
    // The box shows the first 200 characters of the line.
    EXPECT_EQ(boxes.boxes[1].prompt, "[13 - Logfile record# 2\r\nLogfile buffer: xx" + QString(198, ' ') +
                                         "...\r\nError         : Not a message envelope (message type "
                                         "(positions 1-2) is not a number)]");
    EXPECT_EQ(Default().Count(), 3);
}

// Pieces of the file are cut into messages ahead of the store; lines across the pieces'
// borders, their order and the first bad line deep in the file come out as a line-by-line
// read gives them.
TEST_F(LogFiles, ABigFileLoadsInOrderAndStopsAtItsFirstBadLine) {
    std::string file;
    const int bad = 9001;  // in the fifth MiB
    for (int i = 1; i < bad; ++i) file += OldLine(i % 3 == 0 ? 4 : 0, i, "m" + std::to_string(i), "n", "v");
    file += "99 not an envelope\r\n";
    for (int i = bad + 1; i < bad + 3000; ++i) file += OldLine(0, i, "after");
    WriteAll(Path("big.log"), file);
    const Log::LoadResult r = Log(store).Load(Path("big.log"));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.lines, bad);
    ASSERT_EQ(Default().Count(), bad - 1);
    for (int i = 1; i < bad; ++i) {
        ASSERT_EQ(Default().Message(i).RecordNumber(), i);
        ASSERT_EQ(Default().Message(i).Message(), QStringLiteral("m%1").arg(i));
        ASSERT_EQ(Default().Message(i).ObjectName(), i % 3 == 0 ? QStringLiteral("n") : QString());
    }
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(boxes.boxes[0].prompt.startsWith(
        QStringLiteral("[13 - Logfile record# %1\r\nLogfile buffer: 99 not an envelope\r\n").arg(bad)));
}

TEST_F(LogFiles, ATruncatedFileKeepsEveryWholeLineAndNamesTheCutOne) {
    for (int i = 1; i <= 3; ++i) Add(0, i, QStringLiteral("message %1").arg(i));
    ASSERT_TRUE(Log(store).Save(Path("whole.log")));
    const std::string whole = ReadAll(Path("whole.log"));
    const std::size_t lineLength = whole.find('\n') + 1;
    ASSERT_EQ(whole.size(), 3 * lineLength);

    // Cut inside the third line's header (as a copy stopped part way would leave it): the
    // two whole lines load, the box names record 3 and shows what there was of it.
    const std::string cut = whole.substr(0, 2 * lineLength + 100);
    WriteAll(Path("cut.log"), cut);
    store.Clear();
    const Log::LoadResult r = Log(store).Load(Path("cut.log"));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(Default().Count(), 2);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].caption, "Error loading logfile");
    EXPECT_EQ(boxes.boxes[0].prompt, "[13 - Logfile record# 3\r\nLogfile buffer: " +
                                         QString::fromLatin1(cut.substr(2 * lineLength).c_str()) +
                                         "\r\nError         : Not a message envelope (shorter than the "
                                         "499-character header)]");

    // Cut inside the third line's text: its header is whole, so it loads with the text there is.
    WriteAll(Path("text.log"), whole.substr(0, whole.size() - 4));
    store.Clear();
    EXPECT_TRUE(Log(store).Load(Path("text.log")).ok);
    ASSERT_EQ(Default().Count(), 3);
    EXPECT_EQ(Default().Message(3).Message(), "message");
    EXPECT_EQ(boxes.boxes.size(), 1u);

    // An empty file loads nothing and says nothing.
    WriteAll(Path("empty.log"), "");
    store.Clear();
    EXPECT_TRUE(Log(store).Load(Path("empty.log")).ok);
    EXPECT_EQ(Default().Count(), 0);
    EXPECT_EQ(boxes.boxes.size(), 1u);
}

// A program binary opened as a log: the box shows a bounded, readable piece of the line, not
// kilobytes of control bytes, and keeps its three-line text.
TEST_F(LogFiles, AFileThatIsNotALogShowsABoundedEscapedBuffer) {
    std::string binary("\x7f" "ELF\x02\x01\x01", 7);
    binary += std::string(3, '\0');
    binary += "\t\x1b[0m";
    for (int i = 0; i < 3000; ++i) {
        const char c = char(i % 251 + 1);
        binary += c == '\n' || c == '\r' ? ' ' : c;
    }
    binary += "\r\n";
    WriteAll(Path("program.bin"), binary);
    Log(store).Load(Path("program.bin"));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    const QString prompt = boxes.boxes[0].prompt;
    const QString head = "[13 - Logfile record# 1\r\nLogfile buffer: ";
    ASSERT_TRUE(prompt.startsWith(head)) << prompt.toStdString();
    const qsizetype end = prompt.indexOf("\r\nError         : Not a message envelope");
    ASSERT_GT(end, 0) << prompt.toStdString();
    const QString shown = prompt.mid(head.size(), end - head.size());
    EXPECT_TRUE(shown.startsWith("\\x7FELF\\x02\\x01\\x01")) << shown.toStdString();
    EXPECT_TRUE(shown.contains("\\x09\\x1B[0m")) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith("...")) << shown.toStdString();
    for (QChar c : shown) EXPECT_GE(c.unicode(), 0x20) << shown.toStdString();
    // 200 characters of the line, each at most four characters wide, and the mark of the cut.
    EXPECT_LE(shown.size(), 4 * Log::kShownBufferChars + 3);
    EXPECT_EQ(Log::BufferText(QString(250, 'a')), QString(200, 'a') + "...");
    EXPECT_EQ(Log::BufferText(QString(200, 'a')), QString(200, 'a'));
    EXPECT_EQ(Log::BufferText(QString("a\x01" "b") + QChar(0x81)), "a\\x01b\\x81");
}

TEST_F(LogFiles, AMissingFileReportsRecordZeroAndAnEmptyBuffer) {
    const QString path = Path("none.log");
    Log(store).Load(path);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].prompt,
              "[53 - Logfile record# 0\r\nLogfile buffer: \r\nError         : File not found: " + path + "]");
}

TEST_F(LogFiles, LoadingWhileStoppedAddsAndShowsNothing) {
    WriteAll(Path("a.log"), OldLine(0, 1, "one") + OldLine(0, 2, "two"));
    store.SetProcessMessages(false);
    Log(store).Load(Path("a.log"));
    EXPECT_EQ(Default().Count(), 0);
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_TRUE(status.count.isEmpty());
}

TEST_F(LogFiles, LoadingTwiceAddsEveryMessageTwiceStampedWithTheTimeOfLoading) {
    WriteAll(Path("a.log"), OldLine(0, 1, "one") + OldLine(0, 2, "two") + OldLine(0, 3, "three"));
    clock.time = QTime(23, 59, 59, 999);
    Log(store).Load(Path("a.log"));
    EXPECT_EQ(status.count, "3 Messages.");
    EXPECT_EQ(Default().Text(1), "00001  23:59:999  one");
    Log(store).Load(Path("a.log"));
    EXPECT_EQ(Default().Count(), 6);
    EXPECT_EQ(Messages()[3], "0/1///one");
    EXPECT_EQ(Messages()[5], "0/3///three");
}

TEST_F(LogFiles, NestingSurvivesSaveAndLoad) {
    const std::pair<qint16, const char*> trace[] = {{0, "M0"}, {6, "E1"}, {0, "M1"}, {8, "E2"}, {0, "M2"},
                                                   {9, ""},   {0, "M3"}, {7, ""},   {0, "M4"}, {7, ""}};
    for (const auto& [type, text] : trace) Add(type, 0, Utf8(text));
    auto shape = [this] {
        std::vector<int> parents;
        for (int i = 1; i <= Default().Count(); ++i) parents.push_back(Default().Parent(i));
        return parents;
    };
    const std::vector<int> before = shape();
    ASSERT_TRUE(Log(store).Save(Path("n.log")));
    store.Clear();
    Log(store).Load(Path("n.log"));
    EXPECT_EQ(shape(), before);
    EXPECT_EQ(before, (std::vector<int>{0, 0, 2, 2, 4, 2, 2, 0, 0, 0}));
}

TEST_F(LogFiles, AFailingWriteLeavesTheOldFileIntactAndShowsTheError) {
    for (int i = 0; i < 2000; ++i) Add(0, i, QStringLiteral("message %1").arg(i));
    const QString target = Path("keep.log");
    WriteAll(target, "the old log\r\n");

    // Files of this process may not grow beyond 64 KiB: the write fails part way, as on a
    // full disk.
    struct rlimit old {};
    getrlimit(RLIMIT_FSIZE, &old);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 64 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved = Log(store).Save(target);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved);
    EXPECT_EQ(ReadAll(target), "the old log\r\n");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"keep.log"});  // no temporary file left
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].caption, "Tracewell");
    // The box names the cause the system gave.
    EXPECT_EQ(boxes.boxes[0].prompt, "[57 - Cannot write the log file " + target + ": File too large]");

    // A folder that does not exist: nothing is created.
    EXPECT_FALSE(Log(store).Save(Path("no/such/folder.log")));
    ASSERT_EQ(boxes.boxes.size(), 2u);
    EXPECT_TRUE(boxes.boxes[1].prompt.startsWith("[75 - Cannot create the log file ")) << boxes.boxes[1].prompt.toStdString();

    // A read-only file is left alone, whoever saves (root included).
    QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::ReadGroup);
    EXPECT_FALSE(Log(store).Save(target));
    EXPECT_EQ(ReadAll(target), "the old log\r\n");
    ASSERT_EQ(boxes.boxes.size(), 3u);
    EXPECT_EQ(boxes.boxes[2].prompt, "[70 - The log file " + target + " is read-only]");
    EXPECT_EQ(boxes.boxes[2].caption, "Tracewell");

    // Writable again and without the limit, the save replaces the old file.
    QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_TRUE(Log(store).Save(target));
    EXPECT_EQ(ReadAll(target).substr(0, 9), "000000000");
}

struct StoppingProgress : LogProgress {
    qint64 total = -1, steps = 0, linesAtStop = -1;
    bool ended = false;
    void Begin(qint64 bytes) override { total = bytes; }
    bool Step(qint64, qint64 lines) override {
        if (++steps < 2) return true;
        linesAtStop = lines;
        return false;
    }
    void End() override { ended = true; }
};

TEST_F(LogFiles, ProgressFollowsALongLoadAndCanStopItKeepingWhatWasLoaded) {
    std::string file;
    for (int i = 0; i < 20000; ++i) file += OldLine(0, i, "m");
    WriteAll(Path("big.log"), file);
    StoppingProgress progress;
    const Log::LoadResult r = Log(store).Load(Path("big.log"), &progress);
    EXPECT_EQ(progress.total, qint64(file.size()));
    EXPECT_TRUE(progress.ended);
    EXPECT_TRUE(r.stopped);
    EXPECT_TRUE(r.ok);
    // Stopped at the second report (every 256 lines and after every piece read), with
    // exactly the lines loaded by then.
    EXPECT_GT(progress.linesAtStop, 0);
    EXPECT_LE(progress.linesAtStop, 2 * 256);
    EXPECT_EQ(Default().Count(), progress.linesAtStop);
    EXPECT_TRUE(boxes.boxes.empty());
}

// Notes, when the box shows, what is left in a folder and how much room its file system has.
struct FolderAtBoxTime : MessageBoxService {
    QString folder;
    QStringList prompts, entries;
    unsigned long long freeBytes = 0;
    void Show(const QString& prompt, const QString&, BoxIcon) override {
        prompts << prompt;
        entries = QDir(folder).entryList(QDir::Files | QDir::Hidden);
        struct statvfs fs {};
        if (::statvfs(QFile::encodeName(folder).constData(), &fs) == 0) freeBytes = fs.f_bavail * fs.f_frsize;
    }
};

// A full disk, on a small file system of its own (a tmpfs mounted in a mount namespace of this
// thread; skipped without the right to mount): the box names the cause, and the temporary
// file's space is free again while it shows.
TEST_F(LogFiles, AFullDiskNamesTheCauseAndFreesTheSpaceBeforeTheBox) {
    for (int i = 0; i < 3000; ++i) Add(0, i, QStringLiteral("message %1").arg(i));  // about 1.5 MB
    const QString folder = Path("small");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QByteArray where = QFile::encodeName(folder);
    tw::test::SmallDisk disk(where.toStdString());
    if (!disk.Mounted()) GTEST_SKIP() << "cannot mount a small file system here: " << disk.Why();
    const QString target = folder + "/trace.log";
    WriteAll(target, "the old log\r\n");
    FolderAtBoxTime probe;
    probe.folder = folder;
    struct statvfs before {};
    ASSERT_EQ(::statvfs(where.constData(), &before), 0);
    tw::setMessageBoxes(&probe);
    const bool saved = Log(store).Save(target);
    tw::setMessageBoxes(&boxes);
    disk.Unmount();

    EXPECT_FALSE(saved);
    ASSERT_EQ(probe.prompts.size(), 1);
    EXPECT_EQ(probe.prompts[0], "[57 - Cannot write the log file " + target + ": No space left on device]");
    EXPECT_EQ(probe.entries, QStringList{"trace.log"});
    EXPECT_EQ(probe.freeBytes, (unsigned long long)(before.f_bavail * before.f_frsize));
}

// Named pipes, devices, folders and sockets are refused at once with the box: nothing waits
// for a writer (a pipe), reads for ever (/dev/zero) or blocks the caller.
TEST_F(LogFiles, AnythingButARegularFileIsRefusedAtOnce) {
    const QString fifo = Path("pipe.log");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    // Should the load ever open the pipe for reading, this writer releases it after a while,
    // so the test fails instead of hanging.
    std::atomic<bool> done{false};
    std::thread rescue([&] {
        for (int i = 0; i < 100 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (done) return;
        const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) ::close(fd);
    });
    const int socketFd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const QByteArray socketPath = QFile::encodeName(Path("socket.log"));
    std::strncpy(addr.sun_path, socketPath.constData(), sizeof(addr.sun_path) - 1);
    ASSERT_EQ(::bind(socketFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);

    QElapsedTimer timer;
    timer.start();
    const struct {
        QString path;
        const char* kind;
    } cases[] = {{fifo, "a named pipe (FIFO)"},
                 {QStringLiteral("/dev/zero"), "a character device"},
                 {dir.path(), "a folder"},
                 {Path("socket.log"), "a socket"}};
    for (const auto& c : cases) {
        const Log::LoadResult r = Log(store).Load(c.path);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.lines, 0);
    }
    const qint64 ms = timer.elapsed();
    done = true;
    rescue.join();
    ::close(socketFd);
    EXPECT_LT(ms, 5000) << "a load waited on something that is not a file";
    ASSERT_EQ(boxes.boxes.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(boxes.boxes[i].caption, "Error loading logfile");
        EXPECT_EQ(boxes.boxes[i].prompt, "[75 - Logfile record# 0\r\nLogfile buffer: \r\nError         : " +
                                             QDir::toNativeSeparators(cases[i].path) + " is " + cases[i].kind +
                                             ", not a file]");
    }
    EXPECT_EQ(Default().Count(), 0);

    // Nor is a pipe replaced by a saved file.
    Add(0, 1, QStringLiteral("x"));
    EXPECT_FALSE(Log(store).Save(fifo));
    ASSERT_EQ(boxes.boxes.size(), 5u);
    EXPECT_EQ(boxes.boxes[4].prompt, "[75 - Cannot create the log file: " + fifo + " is a named pipe (FIFO), not a file]");
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(fifo).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

// Heap in use, for bounds on what a load holds (glibc's count).
std::size_t HeapInUse() { return mallinfo2().uordblks; }

// Stops when asked to, and watches the heap on the way.
struct CancellingProgress : LogProgress {
    int stopAfterSteps = 0;
    int steps = 0;
    std::size_t heapBase = 0, heapMax = 0;
    qint64 lastBytes = 0;
    void Begin(qint64) override { heapBase = heapMax = HeapInUse(); }
    bool Step(qint64 bytes, qint64) override {
        heapMax = std::max(heapMax, HeapInUse());
        lastBytes = bytes;
        return ++steps < stopAfterSteps;
    }
    void End() override {}
};

// A 100 GB sparse file holds nothing but zero bytes and no line end: the load is asked about
// progress after every piece, so it can be stopped, and it never keeps more than a bounded
// part of the endless line.
TEST_F(LogFiles, AnEndlessLineCanBeStoppedAndIsNeverHeldWhole) {
    const QString sparse = Path("sparse.log");
    {
        QFile f(sparse);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(qint64(100) << 30));
    }
    CancellingProgress progress;
    progress.stopAfterSteps = 200;  // 200 MiB read
    const Log::LoadResult r = Log(store).Load(sparse, &progress);
    EXPECT_TRUE(r.stopped);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.lines, 0);
    EXPECT_EQ(progress.steps, 200);
    EXPECT_GE(progress.lastBytes, qint64(150) << 20);  // asked after (about) every piece
    EXPECT_LE(progress.lastBytes, qint64(205) << 20);
    EXPECT_EQ(Default().Count(), 0);
    EXPECT_TRUE(boxes.boxes.empty());
#if !defined(__SANITIZE_ADDRESS__)
    // The pieces read ahead (1 MiB each) and 4 KiB of the line; nothing grows with the line.
    EXPECT_LT(progress.heapMax - progress.heapBase, std::size_t(8) << 20);
#endif

    // A long line followed by good ones: the long one is read as its first 4096 bytes only
    // (not an envelope: the load stops there and the box shows the start of it).
    std::string file = OldLine(1, 1, "before");
    file += std::string(3u << 20, 'x') + "\r\n" + OldLine(1, 2, "after");
    WriteAll(Path("long.log"), file);
    CancellingProgress watch;
    watch.stopAfterSteps = 1'000'000;
    const Log::LoadResult longLine = Log(store).Load(Path("long.log"), &watch);
    EXPECT_FALSE(longLine.ok);
    EXPECT_EQ(longLine.lines, 2);
    EXPECT_EQ(Default().Count(), 1);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(boxes.boxes[0].prompt.contains("Logfile buffer: " + QString(Log::kShownBufferChars, 'x') + "...\r\n"));
#if !defined(__SANITIZE_ADDRESS__)
    EXPECT_LT(watch.heapMax - watch.heapBase, std::size_t(8) << 20);
#endif
}

TEST(LogLineEscape, OnlyLinesHoldingBreaksAreEscapedAndEveryByteRoundTrips) {
    EXPECT_FALSE(logfile::NeedsEscape("plain \\ text \x7f\xff"));
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(char(b));
    std::string escaped;
    logfile::AppendEscaped(escaped, all);
    EXPECT_EQ(escaped.find('\r'), std::string::npos);
    EXPECT_EQ(escaped.find('\n'), std::string::npos);
    EXPECT_EQ(logfile::Unescape(escaped), all);
    // A cut escape pair or an unknown letter never adds a zero byte.
    EXPECT_EQ(logfile::Unescape(std::string("ab\0", 3)), "ab");
    EXPECT_EQ(logfile::Unescape(std::string("a\0xb", 4)), "axb");
}

}  // namespace
}  // namespace tw::viewer
