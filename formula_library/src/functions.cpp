#include "tw/formula_library/functions.hpp"

#include "tw/formula_library/capture_file.hpp"
#include "tw/formula_library/tap_settings.hpp"
#include "tw/messaging/envelope.hpp"
#include "tw/messaging/transport.hpp"

#include <atomic>
#include <cstdlib>
#include <memory>
#include <mutex>

namespace tw::formula {
namespace {

using messaging::EnumMessageType;
using messaging::SendResult;

// A viewer that did not take a message in time is not tried again for this long, so a hung
// viewer costs a report one timeout, not one a call.
constexpr std::int64_t kGiveUpMicros = 5'000'000;
constexpr std::int64_t kFlushCountsMicros = 1'000'000;

std::atomic<DeliverFunction> g_deliver{nullptr};
std::atomic<std::uint64_t> g_cut{0};

struct Counters {
    std::atomic<std::uint64_t> calls{0}, delivered{0}, noViewer{0}, lost{0}, timedOut{0}, captured{0},
        skipped{0};
    // What the count file has not seen yet.
    std::atomic<std::uint64_t> unflushedSkipped{0}, unflushedTimedOut{0};
    std::atomic<std::int64_t> nextFlush{0};
} g_counters;

std::atomic<std::int64_t> g_viewerGivenUpUntil{0};

// The capture file of this process, made on the first message to capture.
CaptureFile* Capture() {
    static std::once_flag once;
    static std::unique_ptr<CaptureFile> file;
    std::call_once(once, [] {
        const TapSettings& s = Settings();
        if (s.capturePattern.empty()) return;
        file = std::make_unique<CaptureFile>(ExpandCapturePath(s.capturePattern, ProcessId(), NowMicros()),
                                             s.captureMaxBytes);
        std::atexit(FlushCounts);
    });
    return file.get();
}

void Count(std::atomic<std::uint64_t>& counter) { counter.fetch_add(1, std::memory_order_relaxed); }

// Rare events (a skipped capture, a timeout) reach the count file at most once a second.
void CountRare(std::atomic<std::uint64_t>& counter, std::atomic<std::uint64_t>& unflushed, std::int64_t now) {
    Count(counter);
    unflushed.fetch_add(1, std::memory_order_relaxed);
    std::int64_t due = g_counters.nextFlush.load(std::memory_order_relaxed);
    if (now >= due && g_counters.nextFlush.compare_exchange_strong(due, now + kFlushCountsMicros))
        FlushCounts();
}

SendResult SendToViewer(std::string_view envelope, std::int64_t now) {
    if (DeliverFunction deliver = g_deliver.load()) return deliver(envelope);
    if (now < g_viewerGivenUpUntil.load(std::memory_order_relaxed)) return SendResult::NoReceiver;
    const int timeout = Settings().sendTimeoutMs;
    const SendResult result = messaging::SendEnvelopeWithin(messaging::kReceiverCaption, envelope, timeout);
    if (result == SendResult::TimedOut)
        g_viewerGivenUpUntil.store(now + kGiveUpMicros, std::memory_order_relaxed);
    return result;
}

// Builds the envelope, delivers it and gives the formula its empty result.
std::string Call(EnumMessageType type, std::string_view message, std::int32_t recordNumber,
                 std::string_view objectName = {}, std::string_view objectValue = {}) {
    const std::size_t length =
        type == EnumMessageType::SendObject ? objectName.size() + 3 + objectValue.size() : message.size();
    if (length > std::size_t(messaging::kMaxMessageLength)) g_cut.fetch_add(1, std::memory_order_relaxed);
    const TapSettings& settings = Settings();
    if (settings.off) return {};
    Count(g_counters.calls);
    const std::string envelope =
        messaging::BuildEnvelope(static_cast<int>(type), message, recordNumber, objectName, objectValue);
    const std::int64_t sentAt =
        settings.capturePattern.empty() && settings.sendTimeoutMs == 0 ? 0 : NowMicros();
    const SendResult result = SendToViewer(envelope, sentAt);
    switch (result) {
        case SendResult::Delivered:
            Count(g_counters.delivered);
            break;
        case SendResult::NoReceiver:
            Count(g_counters.noViewer);
            break;
        case SendResult::ReceiverLost:
            Count(g_counters.lost);
            break;
        case SendResult::TimedOut:
            CountRare(g_counters.timedOut, g_counters.unflushedTimedOut, sentAt);
            break;
    }
    if (!settings.capturePattern.empty() &&
        (settings.captureMode == CaptureMode::Always || result != SendResult::Delivered)) {
        CaptureFile* file = Capture();
        if (file && file->Write(sentAt, ProcessId(), ThreadId(), envelope))
            Count(g_counters.captured);
        else
            CountRare(g_counters.skipped, g_counters.unflushedSkipped, sentAt);
    }
    return {};
}

}  // namespace

void SetDelivery(DeliverFunction deliver) { g_deliver.store(deliver); }

CallCounts Counts() {
    auto get = [](const std::atomic<std::uint64_t>& c) { return c.load(std::memory_order_relaxed); };
    return {get(g_counters.calls),  get(g_counters.delivered), get(g_counters.noViewer),
            get(g_counters.lost),   get(g_counters.timedOut),  get(g_counters.captured),
            get(g_counters.skipped)};
}

void FlushCounts() {
    TapCounts add;
    add.capturesSkipped = g_counters.unflushedSkipped.exchange(0);
    add.timedOut = g_counters.unflushedTimedOut.exchange(0);
    if (add.capturesSkipped == 0 && add.timedOut == 0) return;
    if (!AddToCountFile(add)) {
        // Kept for the next try.
        g_counters.unflushedSkipped.fetch_add(add.capturesSkipped);
        g_counters.unflushedTimedOut.fetch_add(add.timedOut);
    }
}

std::uint64_t CutMessageCount() { return g_cut.load(std::memory_order_relaxed); }

std::string Send::Msg(std::string_view message) const { return Call(EnumMessageType::SendMsg, message, 0); }
std::string Send::MsgEx(std::string_view message, std::int32_t recordNumber) const {
    return Call(EnumMessageType::SendMsg, message, recordNumber);
}
std::string Send::Scratch(std::string_view message, std::int32_t id) const {
    return Call(EnumMessageType::SendScratch, message, id);
}
std::string Send::Note(std::string_view message) const { return Call(EnumMessageType::SendNote, message, 0); }
std::string Send::NoteEx(std::string_view message, std::int32_t recordNumber) const {
    return Call(EnumMessageType::SendNote, message, recordNumber);
}
std::string Send::Error(std::string_view message) const {
    return Call(EnumMessageType::SendError, message, 0);
}
std::string Send::ErrorEx(std::string_view message, std::int32_t recordNumber) const {
    return Call(EnumMessageType::SendError, message, recordNumber);
}
std::string Send::Warning(std::string_view message) const {
    return Call(EnumMessageType::SendWarning, message, 0);
}
std::string Send::WarningEx(std::string_view message, std::int32_t recordNumber) const {
    return Call(EnumMessageType::SendWarning, message, recordNumber);
}
std::string Send::Object(std::string_view objectName, std::string_view objectValue,
                         std::int32_t recordNumber) const {
    return Call(EnumMessageType::SendObject, {}, recordNumber, objectName, objectValue);
}

std::string Enter::Formula(std::string_view formulaName, std::int32_t recordNumber) const {
    return Call(EnumMessageType::EnterFormula, formulaName, recordNumber);
}
std::string Enter::SubReport(std::string_view subReportName) const {
    return Call(EnumMessageType::EnterSubReport, subReportName, 0);
}

std::string Exit::Formula() const { return Call(EnumMessageType::ExitFormula, {}, 0); }
std::string Exit::SubReport() const { return Call(EnumMessageType::ExitSubReport, {}, 0); }

std::string Add::CheckPoint() const { return Call(EnumMessageType::AddCheckPoint, kCheckPointLine, 0); }

}  // namespace tw::formula
