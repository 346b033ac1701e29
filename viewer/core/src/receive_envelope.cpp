#include "tw/core/reception.hpp"
#include "tw/messaging/envelope.hpp"

namespace tw::viewer {

Received ReceiveEnvelope(std::string_view envelope, const EnvelopeTargets& targets, QString* why) {
    std::string reason;
    const auto fields = tw::messaging::ReadEnvelopeView(envelope, why ? &reason : nullptr);
    if (!fields) {
        if (why) *why = QString::fromStdString(reason);
        return Received::Malformed;
    }
    if (IsType(fields->type, EnumMessageType::SendScratch)) {
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
    if (m_holds > 0) {
        m_heldEnvelopes.emplace_back(envelope);
        return;
    }
    Deliver(envelope);
}

void Reception::Deliver(std::string_view envelope) {
    QString why;
    if (ReceiveEnvelope(envelope, m_targets, &why) == Received::Malformed) {
        ++m_malformed;
        emit envelopeDropped(why);
    }
}

void Reception::Hold() {
    if (m_holds++ == 0) SetNotifierEnabled(false);
}

void Reception::Release() {
    if (m_holds == 0 || --m_holds > 0) return;
    SetNotifierEnabled(true);
    // What arrived meanwhile, in order; should one of them lead to a new hold, the rest waits
    // for its release behind what arrives during it.
    while (!m_heldEnvelopes.empty() && m_holds == 0) {
        const std::string envelope = std::move(m_heldEnvelopes.front());
        m_heldEnvelopes.pop_front();
        Deliver(envelope);
    }
}

}  // namespace tw::viewer
