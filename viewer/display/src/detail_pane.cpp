#include "tw/display/detail_pane.hpp"

#include "tw/core/trace_tree.hpp"
#include "tw/display/time_columns.hpp"
#include "tw/messaging/envelope.hpp"

#include <QDir>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace tw::viewer {

QString DetailText(const TraceTree& tree, int line) {
    if (line < 1 || line > tree.Count()) return {};
    const MessageSink& m = tree.Message(line);
    QStringList path;
    for (int p = tree.Parent(line); p != 0; p = tree.Parent(p)) path.prepend(tree.Message(p).Message());
    QString text;
    text += QStringLiteral("Record number: %1\n").arg(m.RecordNumber());
    text += QStringLiteral("Type: %1 (%2)\n").arg(MessageTypeName(m.MessageType())).arg(m.MessageType());
    const qint64 at = tree.ReceivedAt(line);
    text += QStringLiteral("Received: %1\n")
                .arg(at ? QStringLiteral("%1 %2%3 (local)")
                              .arg(LocalDateText(at), LocalTimeText(at))
                              .arg(((at % 1000) + 1000) % 1000, 3, 10, QLatin1Char('0'))
                        : QStringLiteral("unknown"));
    if (const LineOrigin* origin = tree.OriginOf(line)) {
        // Read from a file: which, and for a captured message the process and thread that sent it.
        text += QStringLiteral("Read from: %1\n").arg(QDir::toNativeSeparators(origin->file));
        if (origin->processId != 0 || origin->threadId != 0)
            text += QStringLiteral("Sent by: process %1, thread %2\n").arg(origin->processId).arg(origin->threadId);
    }
    text += QStringLiteral("Time stamp: %1\n").arg(StampText(tree.StampOf(line)));
    text += QStringLiteral("Level: %1\n").arg(tree.Level(line));
    text += QStringLiteral("Formula path: %1\n").arg(path.isEmpty() ? QStringLiteral("(top level)")
                                                                     : path.join(QStringLiteral(" > ")));
    if (IsType(m.MessageType(), EnumMessageType::SendObject)) {
        text += QStringLiteral("Object name: %1\n").arg(m.ObjectName());
        text += QStringLiteral("Object value: %1\n").arg(m.ObjectValue());
    }
    // The sender cuts a longer message to what the envelope holds: say so where it may have.
    if (m.Message().size() >= tw::messaging::kMaxMessageLength)
        text += QStringLiteral("Length: %1 characters, all the envelope holds: a longer message was cut by its sender\n")
                    .arg(m.Message().size());
    text += u'\n';
    text += m.Message();
    return text;
}

DetailPane::DetailPane(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("DetailPane"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    m_text = new QPlainTextEdit(this);
    m_text->setObjectName(QStringLiteral("txtDetail"));
    m_text->setAccessibleName(QStringLiteral("Line details"));
    m_text->setReadOnly(true);
    m_text->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_text->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    layout->addWidget(m_text);
}

void DetailPane::ShowLine(const TraceTree* tree, int line) {
    m_text->setPlainText(tree && line > 0 && line <= tree->Count() ? DetailText(*tree, line) : QString());
}

QString DetailPane::Text() const { return m_text->toPlainText(); }

}  // namespace tw::viewer
