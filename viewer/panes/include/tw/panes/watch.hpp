#pragma once
// A watch: a standing test (object name, operator, value) on the values of object messages.

#include <QString>
#include <QStringList>

namespace tw::viewer {

// The seven operators, in the order of the watch dialog's option buttons (index 0 to 6).
inline const QStringList& WatchOperators() {
    static const QStringList ops = {QStringLiteral("="),  QStringLiteral("<"),  QStringLiteral("<="),
                                    QStringLiteral(">"),  QStringLiteral(">="), QStringLiteral("<>"),
                                    QStringLiteral("Like")};
    return ops;
}

// Three texts set once by Create and read through read-only properties. Nothing is checked
// or normalised: the value keeps any blanks the user typed.
class Watch {
public:
    Watch() = default;
    void Create(QString objectName, QString op, QString value) {
        m_objectName = std::move(objectName);
        m_operator = std::move(op);
        m_value = std::move(value);
    }
    static Watch Make(QString objectName, QString op, QString value) {
        Watch w;
        w.Create(std::move(objectName), std::move(op), std::move(value));
        return w;
    }

    const QString& ObjectName() const { return m_objectName; }
    const QString& Operator() const { return m_operator; }
    const QString& Value() const { return m_value; }
    // The watch's node text: name, blank, operator, blank, value ("Total >= 100").
    QString Text() const { return m_objectName + QLatin1Char(' ') + m_operator + QLatin1Char(' ') + m_value; }

private:
    QString m_objectName;
    QString m_operator;
    QString m_value;
};

}  // namespace tw::viewer
