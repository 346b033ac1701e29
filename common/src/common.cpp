#include "tw/common/common.hpp"

#include <QTime>
#include <atomic>
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
    const QTime t = clock.nowUtc().toUTC().time();
    return QStringLiteral("%1:%2:%3")
        .arg(t.hour(), 2, 10, QLatin1Char('0'))
        .arg(t.minute(), 2, 10, QLatin1Char('0'))
        .arg(t.msec(), 3, 10, QLatin1Char('0'));
}

QString GetTimeStamp() {
    const Clock* clock = g_clock.load();
    return GetTimeStamp(clock ? *clock : g_systemClock);
}

void setClock(const Clock* clock) { g_clock.store(clock); }

}  // namespace tw
