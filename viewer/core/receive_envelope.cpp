#include "core/reception.hpp"

#include <tw/messaging/envelope.hpp>

namespace tw::viewer {

namespace {
constexpr int kScratchType = 5;
}

Received ReceiveEnvelope(std::string_view envelope, const EnvelopeTargets& targets, QString* why) {
    std::string reason;
    const auto fields = tw::messaging::ReadEnvelopeView(envelope, why ? &reason : nullptr);
    if (!fields) {
        if (why) *why = QString::fromStdString(reason);
        return Received::Malformed;
    }
    if (fields->type == kScratchType) {
        if (targets.scratch) {
            const std::string utf8 = tw::messaging::CodePageToUtf8(fields->message);
            targets.scratch(fields->recordNumber, QString::fromUtf8(utf8.data(), qsizetype(utf8.size())));
        }
        return Received::Scratch;
    }
    MessageRef message = MessageSink::Create(*fields);
    if (targets.message) targets.message(message);
    return Received::Message;
}

// Both platforms' receivers end here, on the UI thread.
void Reception::OnEnvelope(std::string_view envelope) {
    QString why;
    if (ReceiveEnvelope(envelope, m_targets, &why) == Received::Malformed) {
        ++m_malformed;
        emit envelopeDropped(why);
        return;
    }
    ++m_received;
}

}  // namespace tw::viewer
