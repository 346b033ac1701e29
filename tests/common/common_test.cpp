#include "tw/common/common.hpp"

#include <gtest/gtest.h>

#include <vector>

using namespace tw;

namespace {

struct Box {
    QString prompt;
    QString caption;
    BoxIcon icon;
};

class RecordingBoxes : public MessageBoxService {
public:
    void Show(const QString& prompt, const QString& caption, BoxIcon icon) override {
        boxes.push_back({prompt, caption, icon});
    }
    std::vector<Box> boxes;
};

class FixedClock : public Clock {
public:
    explicit FixedClock(QDateTime t) : m_t(std::move(t)) {}
    QDateTime nowUtc() const override { return m_t; }

private:
    QDateTime m_t;
};

class CommonTest : public ::testing::Test {
protected:
    void SetUp() override { setMessageBoxes(&rec); }
    void TearDown() override { setMessageBoxes(nullptr); }
    const Box& only() {
        EXPECT_EQ(rec.boxes.size(), 1u);
        return rec.boxes.back();
    }
    RecordingBoxes rec;
};

TEST_F(CommonTest, AddErrorWithAndWithoutName) {
    ErrorList list;
    AddError("", "You must at least enter or select one Filter criteria.", list);
    AddError("Filter Name", "M", list);
    AddError("Filter Name", "M", list);
    EXPECT_EQ(list, QStringList({"You must at least enter or select one Filter criteria.", "Filter Name: M",
                                 "Filter Name: M"}));
}

TEST_F(CommonTest, GetErrorText) {
    EXPECT_EQ(GetErrorText({}), "");
    EXPECT_EQ(GetErrorText({429, "D"}), "[429 - D]");
    EXPECT_EQ(GetErrorText({-2147221005, "Invalid class string"}), "[-2147221005 - Invalid class string]");
    EXPECT_EQ(GetErrorText({7, ""}), "[7 - ]");
    EXPECT_EQ(AppError(53, "File not found").info().number, 53);
    EXPECT_EQ(GetErrorText(AppError(53, "File not found").info()), "[53 - File not found]");
}

TEST_F(CommonTest, ShowErrorsListOnlyEndsWithLineBreak) {
    ErrorList list{"one", "two"};
    ShowErrors("Tracewell", &list);
    const Box& b = only();
    EXPECT_EQ(b.prompt, "one\r\ntwo\r\n");
    EXPECT_EQ(b.caption, "Tracewell");
    EXPECT_EQ(b.icon, BoxIcon::Warning);
    EXPECT_EQ(static_cast<int>(b.icon), 48);
}

TEST_F(CommonTest, ShowErrorsWithPendingError) {
    ShowErrors("C", nullptr, {429, "D"});
    ErrorList empty;
    ShowErrors("C", &empty, {429, "D"});
    ErrorList list{"Unable to save."};
    ShowErrors("C", &list, {-5, "Bad"});
    ASSERT_EQ(rec.boxes.size(), 3u);
    EXPECT_EQ(rec.boxes[0].prompt, "[429 - D]");
    EXPECT_EQ(rec.boxes[1].prompt, "[429 - D]\r\n");
    EXPECT_EQ(rec.boxes[2].prompt, "[-5 - Bad]\r\nUnable to save.\r\n");
}

TEST_F(CommonTest, ShowErrorsWithNothingStillShowsAnEmptyBox) {
    ShowErrors("C", nullptr);
    ErrorList empty;
    ShowErrors("C", &empty);
    ASSERT_EQ(rec.boxes.size(), 2u);
    EXPECT_EQ(rec.boxes[0].prompt, "");
    EXPECT_EQ(rec.boxes[1].prompt, "");
    EXPECT_EQ(rec.boxes[1].icon, BoxIcon::Warning);
}

TEST_F(CommonTest, ShowMessagesUsesInformationIcon) {
    ErrorList list{"Search string not found."};
    ShowMessages("Find", &list);
    ShowMessages("Find", nullptr);
    ASSERT_EQ(rec.boxes.size(), 2u);
    EXPECT_EQ(rec.boxes[0].prompt, "Search string not found.\r\n");
    EXPECT_EQ(rec.boxes[0].caption, "Find");
    EXPECT_EQ(static_cast<int>(rec.boxes[0].icon), 64);
    EXPECT_EQ(rec.boxes[1].prompt, "");
}

TEST_F(CommonTest, RestoringTheDefaultStopsRecording) {
    setMessageBoxes(nullptr);
    EXPECT_NE(&messageBoxes(), &rec);
    setMessageBoxes(&rec);
    EXPECT_EQ(&messageBoxes(), &rec);
}

QDateTime Utc(int h, int m, int s, int ms) { return QDateTime(QDate(2026, 12, 7), QTime(h, m, s, ms), Qt::UTC); }

TEST(GetTimeStamp, HourMinuteMilliseconds) {
    EXPECT_EQ(GetTimeStamp(FixedClock(Utc(23, 59, 59, 999))), "23:59:999");
    EXPECT_EQ(GetTimeStamp(FixedClock(Utc(0, 0, 0, 0))), "00:00:000");
    EXPECT_EQ(GetTimeStamp(FixedClock(Utc(9, 5, 17, 42))), "09:05:042");
}

TEST(GetTimeStamp, InjectedClockAndUtcNotLocal) {
    // A local time of another zone is still rendered as UTC.
    const FixedClock clock(QDateTime(QDate(2026, 1, 1), QTime(10, 30, 0, 5), Qt::OffsetFromUTC, 3600));
    setClock(&clock);
    EXPECT_EQ(GetTimeStamp(), "09:30:005");
    setClock(nullptr);
    EXPECT_EQ(GetTimeStamp().size(), 9);
}

}  // namespace
