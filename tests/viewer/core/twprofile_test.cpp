// The twprofile command as a process: the table from a capture file, CSV, the Chrome trace read
// back as JSON, a log without times, and files it cannot read.
#include "tw/messaging/capture_line.hpp"
#include "tw/messaging/envelope.hpp"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <filesystem>

namespace {

struct Outcome {
    int status = -1;
    QString out, err;
};

// Runs one of the tools built beside this test.
Outcome Tool(const char* name, const QStringList& args) {
    QProcess p;
    const auto bin = std::filesystem::read_symlink("/proc/self/exe").parent_path() / name;
    p.start(QString::fromStdString(bin.string()), args);
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

Outcome Twprofile(const QStringList& args) { return Tool("twprofile", args); }

TEST(Twprofile, TableCsvChromeTraceAndBadFiles) {
    QTemporaryDir dir;
    // {@Total} from 1,000 us to 5,000 us with {@Tax} inside from 2,000 to 3,500, record 7.
    std::string capture;
    const std::int64_t t0 = 1'796'738'587'000'000LL;
    auto add = [&](std::int64_t at, int type, const char* text, int record) {
        tw::messaging::AppendCaptureLine(
            capture, t0 + at, 10, 11,
            tw::messaging::BuildEnvelope(type, type == 4 ? "" : text, record, type == 4 ? "Tax" : "",
                                         type == 4 ? text : ""));
    };
    add(1000, 6, "{@Total}", 7);
    add(2000, 6, "{@Tax}", 7);
    add(2500, 4, "19.00", 7);
    add(3500, 7, "", 0);
    add(5000, 7, "", 0);
    const QString file = dir.filePath("run.txt");
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(capture.data(), qint64(capture.size()));
    f.close();

    const Outcome table = Twprofile({file});
    EXPECT_EQ(table.status, 0) << table.err.toStdString();
    EXPECT_TRUE(table.out.contains(QRegularExpression("\\{@Total\\}\\s+1\\s+4.0 ms\\s+2.5 ms")))
        << table.out.toStdString();
    const Outcome csv = Twprofile({"--csv", file});
    EXPECT_TRUE(csv.out.contains("{@Tax},1,1500,1500,")) << csv.out.toStdString();

    const QString json = dir.filePath("trace.json");
    ASSERT_EQ(Twprofile({"--chrome-trace", json, file}).status, 0);
    QFile j(json);
    ASSERT_TRUE(j.open(QIODevice::ReadOnly));
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(j.readAll(), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    const QJsonArray events = doc.object()["traceEvents"].toArray();
    ASSERT_EQ(events.size(), 3);  // two calls, one message
    const QJsonObject total = events[0].toObject();
    EXPECT_EQ(total["ph"].toString(), "X");
    EXPECT_EQ(total["dur"].toInteger(), 4000);
    EXPECT_EQ(total["pid"].toInteger(), 10);
    EXPECT_EQ(events[2].toObject()["args"].toObject()["value"].toString(), "19.00");

    // A log has no times: calls and messages only.
    const QString log = dir.filePath("run.log");
    QFile l(log);
    ASSERT_TRUE(l.open(QIODevice::WriteOnly));
    l.write((tw::messaging::BuildEnvelope(6, "{@Total}", 1, "", "") + "\r\n" +
             tw::messaging::BuildEnvelope(7, "", 0, "", "") + "\r\n")
                .c_str());
    l.close();
    const Outcome untimed = Twprofile({log});
    EXPECT_EQ(untimed.status, 0);
    EXPECT_TRUE(untimed.out.contains("no times in this file")) << untimed.out.toStdString();

    EXPECT_EQ(Twprofile({dir.filePath("missing.txt")}).status, 2);
    const QString empty = dir.filePath("empty.txt");
    QFile e(empty);
    ASSERT_TRUE(e.open(QIODevice::WriteOnly));
    e.close();
    const Outcome none = Twprofile({empty});
    EXPECT_EQ(none.status, 2);
    EXPECT_TRUE(none.err.contains("no trace line")) << none.err.toStdString();
}

}  // namespace

namespace {

Outcome Twdiff(const QStringList& args) { return Tool("twdiff", args); }

// twdiff's exit status: 0 the runs agree (whatever their times), 1 they differ, 2 a file that is
// no trace; the differences printed like a unified diff.
TEST(Twdiff, ExitStatusAndOutput) {
    QTemporaryDir dir;
    auto write = [&](const char* name, std::int64_t shift, const char* value) {
        std::string capture;
        const std::int64_t t0 = 1'796'738'587'000'000LL + shift;
        tw::messaging::AppendCaptureLine(capture, t0, 1, 1,
                                         tw::messaging::BuildEnvelope(6, "{@Total}", 3, "", ""));
        tw::messaging::AppendCaptureLine(capture, t0 + 5, 1, 1,
                                         tw::messaging::BuildEnvelope(4, "", 3, "Total", value));
        tw::messaging::AppendCaptureLine(capture, t0 + 9, 1, 1,
                                         tw::messaging::BuildEnvelope(7, "", 0, "", ""));
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(capture.data(), qint64(capture.size()));
        return f.fileName();
    };
    const QString a = write("a.txt", 0, "10.00"), later = write("later.txt", 3'600'000'000LL, "10.00"),
                  b = write("b.txt", 0, "10.50");
    EXPECT_EQ(Twdiff({a, later}).status, 0);
    const Outcome differ = Twdiff({a, b});
    EXPECT_EQ(differ.status, 1);
    EXPECT_TRUE(
        differ.out.contains("@@ {@Total} record 3 @@\n 0000003 EnterFormula   {@Total}\n"
                            "-0000003 SendObject     Total = 10.00\n+0000003 SendObject     Total = 10.50\n"))
        << differ.out.toStdString();
    QFile text(dir.filePath("notes.txt"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("just some notes\n");
    text.close();
    const Outcome bad = Twdiff({a, text.fileName()});
    EXPECT_EQ(bad.status, 2);
    EXPECT_TRUE(bad.err.contains("notes.txt")) << bad.err.toStdString();
}

}  // namespace
