#include "tw/core/capture_file.hpp"

#include "tw/core/trace_tree.hpp"
#include "tw/messaging/capture_line.hpp"
#include "tw/messaging/envelope.hpp"

namespace tw::viewer::capturefile {

bool IsCaptureFileStart(std::string_view line) {
    if (tw::messaging::LooksLikeCaptureLine(line)) return true;
    // "2026-12-08T...": a log line holds digits of its record number where the dash stands.
    auto digit = [&](std::size_t i) { return line[i] >= '0' && line[i] <= '9'; };
    return line.size() >= 11 && digit(0) && digit(1) && digit(2) && digit(3) && line[4] == '-' && digit(5) &&
           digit(6) && line[7] == '-' && digit(8) && digit(9) && line[10] == 'T';
}

bool ReadLine(std::string_view line, Line& out, QString* why) {
    tw::messaging::CaptureRecord record;
    std::string reason;
    if (!tw::messaging::ParseCaptureLine(line, record, why ? &reason : nullptr)) {
        if (why) *why = QString::fromStdString(reason);
        return false;
    }
    QString envelopeWhy;
    out.message = MessageSink::Create(record.envelope, why ? &envelopeWhy : nullptr);
    if (!out.message) {
        if (why) *why = QStringLiteral("not a message envelope (%1)").arg(envelopeWhy);
        return false;
    }
    out.sentAt = record.sentAtMicros;
    out.processId = record.processId;
    out.threadId = record.threadId;
    return true;
}

void AppendLine(std::string& out, const TraceTree& tree, int index) {
    const MessageSink& message = tree.Message(index);
    std::string name, value;
    message.AppendObjectNameBytes(name);
    message.AppendObjectValueBytes(value);
    // The envelope as a sender builds it, with the message text as stored, whole.
    std::string envelope =
        tw::messaging::BuildEnvelope(message.MessageType(), {}, message.RecordNumber(), name, value);
    envelope.resize(std::size_t(tw::messaging::kHeaderLength));
    message.AppendMessageBytes(envelope);
    const LineOrigin* origin = tree.OriginOf(index);
    tw::messaging::AppendCaptureLine(out, tree.ReceivedAt(index), origin ? origin->processId : 0,
                                     origin ? origin->threadId : 0, envelope);
}

}  // namespace tw::viewer::capturefile
