// Common routines of the viewer and the Stepwright: error lists and their message boxes, the
// current error as text, and the time stamp of trace lines.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <stdexcept>

namespace tw {

// Ordered texts of failed checks and caught errors; duplicates allowed.
using ErrorList = QStringList;

// The current error that a handler caught; number 0 means that no error is pending.
struct ErrorInfo {
    qint32 number = 0;
    QString description;
};

// An error of the project's own, carrying a number and a description like a run-time error.
class AppError : public std::runtime_error {
public:
    AppError(qint32 number, const QString& description);
    qint32 number() const { return m_number; }
    const QString& description() const { return m_description; }
    ErrorInfo info() const { return {m_number, m_description}; }

private:
    qint32 m_number;
    QString m_description;
};

// Appends "name: message", or the message alone when name is empty.
void AddError(const QString& name, const QString& message, ErrorList& list);

// "[number - description]" for a pending error, "" when err.number is 0.
QString GetErrorText(const ErrorInfo& err);

// Style values of the two message-box icons in use.
enum class BoxIcon { Warning = 48, Information = 64 };

// Shows one modal message box with a single OK button. Replaceable so tests can read the box.
class MessageBoxService {
public:
    virtual ~MessageBoxService();
    virtual void Show(const QString& prompt, const QString& caption, BoxIcon icon) = 0;
};

// The service in use: the one set by setMessageBoxes, else the program's default (the Qt box
// once installWidgetMessageBoxes() ran, else a fallback that writes to standard error).
MessageBoxService& messageBoxes();
// Sets the service in use (not owned); nullptr restores the default.
void setMessageBoxes(MessageBoxService* service);
// Sets the program's default service (not owned); used by tw_common_widgets.
void setDefaultMessageBoxes(MessageBoxService* service);

// Warning box: the error text, then each list item followed by "\r\n".
void ShowErrors(const QString& caption, const ErrorList* list, const ErrorInfo& err = {});
// Information box: each list item followed by "\r\n"; no error text.
void ShowMessages(const QString& caption, const ErrorList* list);

// Source of the current time, replaceable for tests.
class Clock {
public:
    virtual ~Clock();
    virtual QDateTime nowUtc() const = 0;
    // Microseconds since 1970-01-01 UTC; clocks that only know milliseconds keep the default.
    virtual qint64 nowMicroseconds() const;
};

// "hh:mm:zzz" of the current UTC time (hour, minute, milliseconds; no seconds).
QString GetTimeStamp();
QString GetTimeStamp(const Clock& clock);
// Microseconds since 1970-01-01 UTC from the clock GetTimeStamp() reads.
qint64 CurrentMicroseconds();
// Sets the clock GetTimeStamp() reads (not owned); nullptr restores the system clock.
void setClock(const Clock* clock);

}  // namespace tw
