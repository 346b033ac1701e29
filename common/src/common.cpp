#include "tw/common/common.hpp"

#include <QTime>

#include <atomic>
#include <chrono>
#include <cstdio>

namespace tw {
namespace {

// Without a window system the box text goes to standard error, so nothing is lost silently.
class StderrMessageBoxes final : public MessageBoxService {
public:
    void Show(const QString& prompt, const QString& caption, BoxIcon icon) override {
        const char* kind = icon == BoxIcon::Warning ? "warning" : "information";
        std::fprintf(stderr, "[%s] %s\n%s\n", kind, caption.toLocal8Bit().constData(),
                     prompt.toLocal8Bit().constData());
    }
};

class SystemClock final : public Clock {
public:
    QDateTime nowUtc() const override { return QDateTime::currentDateTimeUtc(); }
    qint64 nowMicroseconds() const override {
        return std::chrono::duration_cast<std::chrono::microseconds>(
                   std::chrono::system_clock::now().time_since_epoch())
            .count();
    }
};

StderrMessageBoxes g_stderrBoxes;
std::atomic<MessageBoxService*> g_defaultBoxes{nullptr};
std::atomic<MessageBoxService*> g_boxes{nullptr};
const SystemClock g_systemClock;
std::atomic<const Clock*> g_clock{nullptr};

const QString kLineBreak = QStringLiteral("\r\n");

}  // namespace

AppError::AppError(qint32 number, const QString& description)
    : std::runtime_error(description.toStdString()), m_number(number), m_description(description) {}

MessageBoxService::~MessageBoxService() = default;
Clock::~Clock() = default;

qint64 Clock::nowMicroseconds() const { return nowUtc().toMSecsSinceEpoch() * 1000; }

void AddError(const QString& name, const QString& message, ErrorList& list) {
    list.append(name.isEmpty() ? message : name + QStringLiteral(": ") + message);
}

QString GetErrorText(const ErrorInfo& err) {
    if (err.number == 0) return QString();
    return QStringLiteral("[") + QString::number(err.number) + QStringLiteral(" - ") + err.description +
           QStringLiteral("]");
}

MessageBoxService& messageBoxes() {
    if (auto* s = g_boxes.load()) return *s;
    if (auto* s = g_defaultBoxes.load()) return *s;
    return g_stderrBoxes;
}

void setMessageBoxes(MessageBoxService* service) { g_boxes.store(service); }
void setDefaultMessageBoxes(MessageBoxService* service) { g_defaultBoxes.store(service); }

void ShowErrors(const QString& caption, const ErrorList* list, const ErrorInfo& err) {
    QString text = GetErrorText(err);
    if (list) {
        if (!text.isEmpty()) text += kLineBreak;
        for (const QString& item : *list) text += item + kLineBreak;
    }
    messageBoxes().Show(text, caption, BoxIcon::Warning);
}

void ShowMessages(const QString& caption, const ErrorList* list) {
    QString text;
    if (list) {
        for (const QString& item : *list) text += item + kLineBreak;
    }
    messageBoxes().Show(text, caption, BoxIcon::Information);
}

QString GetTimeStamp(const Clock& clock) {
    // Every stored line takes one: built directly rather than through QString::arg.
    const QTime t = clock.nowUtc().toUTC().time();
    const int h = t.hour(), m = t.minute(), ms = t.msec();
    const char16_t text[9] = {char16_t(u'0' + h / 10),    char16_t(u'0' + h % 10),        u':',
                              char16_t(u'0' + m / 10),    char16_t(u'0' + m % 10),        u':',
                              char16_t(u'0' + ms / 100),  char16_t(u'0' + ms / 10 % 10), char16_t(u'0' + ms % 10)};
    return QString(reinterpret_cast<const QChar*>(text), 9);
}

QString GetTimeStamp() {
    const Clock* clock = g_clock.load();
    return GetTimeStamp(clock ? *clock : g_systemClock);
}

qint64 CurrentMicroseconds() {
    const Clock* clock = g_clock.load();
    return (clock ? *clock : g_systemClock).nowMicroseconds();
}

void setClock(const Clock* clock) { g_clock.store(clock); }

}  // namespace tw
