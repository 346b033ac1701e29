#include "tw/core/reception.hpp"

#include "tw/core/breakpoints.hpp"
#include "tw/messaging/envelope.hpp"

namespace tw::viewer {

Received ReceiveEnvelope(std::string_view envelope, const EnvelopeTargets& targets, QString* why,
                         MessageRef* stored) {
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
    if (stored) *stored = std::move(message);
    return Received::Message;
}

// Both platforms' receivers end here, on the UI thread.
void Reception::OnEnvelope(std::string_view envelope) {
    if (WaitInTurn(envelope)) return;
    if (m_holds > 0) {
        m_heldEnvelopes.emplace_back(envelope);
        return;
    }
    Deliver(envelope);
}

void Reception::Deliver(std::string_view envelope) {
    QString why;
    // While no breakpoint is set, this test is all that breakpoints cost a message.
    const bool test = m_breakpoints != nullptr && m_breakpoints->Armed() && !m_releasing;
    MessageRef stored;
    const Received received = ReceiveEnvelope(envelope, m_targets, &why, test ? &stored : nullptr);
    if (received == Received::Malformed) {
        ++m_malformed;
        emit envelopeDropped(why);
    }
    if (test && received == Received::Message) CheckBreakpoints(envelope, stored);
}

void Reception::CheckBreakpoints(std::string_view envelope, const MessageRef& message) {
    if (m_targets.keeping && !m_targets.keeping()) return;
    const auto fields = tw::messaging::ReadEnvelopeView(envelope);
    if (!fields) return;
    const auto hit = m_breakpoints->Check(*fields);
    if (!hit) return;
    m_paused = true;
    emit paused(message, QString::fromStdString(hit->reason));
    PauseHere();  // Windows: returns only when the pause has ended
}

void Reception::Continue() {
    if (!m_paused) return;
    m_paused = false;
    emit resumed();
    EndPause();
}

void Reception::ReleaseAll() {
    const bool was = m_releasing;
    m_releasing = true;
    Continue();
    m_releasing = was;
}

void Reception::Hold() {
    if (m_holds++ == 0) SetNotifierEnabled(false);
}

void Reception::Release() {
    if (m_holds == 0 || --m_holds > 0) return;
    if (m_paused) return;  // what waits goes on when the pause ends
    SetNotifierEnabled(true);
    // What arrived meanwhile, in order; should one of them lead to a new hold, the rest waits
    // for its release behind what arrives during it.
    // Their senders went on long ago (Windows): no breakpoint could hold them.
    const bool was = m_releasing;
    m_releasing = true;
    while (!m_heldEnvelopes.empty() && m_holds == 0) {
        const std::string envelope = std::move(m_heldEnvelopes.front());
        m_heldEnvelopes.pop_front();
        Deliver(envelope);
    }
    m_releasing = was;
}

}  // namespace tw::viewer
