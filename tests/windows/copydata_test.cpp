// The envelope transport on Windows, sender and receiving hook in two processes: exact bytes,
// byte count and marker on the wire; the hidden sender window; no receiver; two threads;
// frames a library never sends (other marker, oversized or short byte count).
#include "check.hpp"
#include "probe_shared.hpp"
#include "tw/messaging/envelope.hpp"
#include "tw/messaging/transport.hpp"

#include <string>
#include <vector>
#include <windows.h>

using tw::messaging::BuildEnvelope;
using tw::messaging::SendEnvelope;
using tw::messaging::SendEnvelopeTo;
using tw::messaging::SendRawFrameTo;
using tw::messaging::SendResult;
using tw::wintest::Probe;

namespace {

std::string Header(const char* type, const char* record) {
    return std::string(type) + record + std::string(490, ' ');
}

// Sends one envelope and checks everything the receiver saw of it.
void ExpectDelivered(Probe& probe, const std::string& envelope, const std::string& expectedEnvelope) {
    const LONG before = probe.Count();
    SendEnvelope(envelope);
    CHECK_EQ(probe.Count(), before + 1);
    if (probe.Count() != before + 1) return;
    const auto& r = probe.Last();
    CHECK_EQ(r.marker, 3u);
    CHECK_EQ(r.byteCount, static_cast<std::uint32_t>(expectedEnvelope.size() + 1));
    CHECK_BYTES(probe.Raw(r), expectedEnvelope + std::string(1, '\0'));
    CHECK_EQ(r.handedOn, 1u);
    CHECK_BYTES(probe.Envelope(r), expectedEnvelope);
    CHECK_EQ(r.previousProcSaw, 1u);
    CHECK_EQ(r.senderThread, GetCurrentThreadId());
    CHECK_BYTES(std::string_view(r.senderCaption), "frmHwnd");
    CHECK_EQ(r.senderVisible, 0u);
}

void EnvelopeLayouts(Probe& probe) {
    // A plain message: 502 characters, cbData 503.
    ExpectDelivered(probe, BuildEnvelope(0, "abc", 0, "", ""), Header("00", "0000000") + "abc");
    // An object: padded name and value in the header, "x = 5" as the message.
    ExpectDelivered(probe, BuildEnvelope(4, "", 12, "x", "5"),
                    "040000012x" + std::string(89, ' ') + "5" + std::string(399, ' ') + "x = 5");
    // An empty message: exactly the 499-character header.
    ExpectDelivered(probe, BuildEnvelope(7, "", 0, "", ""), Header("07", "0000000"));
    // Bytes above 127 in the code page cross unchanged.
    ExpectDelivered(probe, BuildEnvelope(1, "caf\xE9 \x80", 3, "", ""),
                    Header("01", "0000003") + "caf\xE9 \x80");
    // The longest envelope fills the buffer: 1023 bytes, cbData 1024.
    const std::string longMessage(2000, 'm');
    ExpectDelivered(probe, BuildEnvelope(0, longMessage, 1, "", ""),
                    Header("00", "0000001") + std::string(524, 'm'));

    // A hidden window per thread: the same one for every send of this thread.
    const LONG n = probe.Count();
    CHECK(n >= 2);
    if (n >= 2) CHECK_EQ(probe.Record(n - 1).senderWindow, probe.Record(n - 2).senderWindow);
}

void NoReceiver() {
    // Nothing captioned so: every call returns normally and at once.
    const ULONGLONG start = GetTickCount64();
    for (int i = 0; i < 50; ++i) SendEnvelope(BuildEnvelope(0, "nobody", i, "", ""));
    CHECK(GetTickCount64() - start < 2000);
    CHECK_EQ(SendEnvelopeTo("Tracewell", "0000000000"), SendResult::NoReceiver);
}

struct ThreadJob {
    int id;
    DWORD threadId = 0;
};

DWORD WINAPI SendFromThread(LPVOID arg) {
    auto* job = static_cast<ThreadJob*>(arg);
    job->threadId = GetCurrentThreadId();
    for (int i = 0; i < 25; ++i) {
        SendEnvelope(
            BuildEnvelope(0, "thread " + std::to_string(job->id) + " #" + std::to_string(i), i, "", ""));
    }
    return 0;
}

void TwoThreads() {
    Probe probe;
    CHECK(probe.Ok());
    if (!probe.Ok()) return;
    ThreadJob jobs[2] = {{1}, {2}};
    HANDLE threads[2];
    for (int t = 0; t < 2; ++t) threads[t] = CreateThread(nullptr, 0, SendFromThread, &jobs[t], 0, nullptr);
    WaitForMultipleObjects(2, threads, TRUE, 30000);
    for (HANDLE h : threads) CloseHandle(h);

    CHECK_EQ(probe.Count(), 50);
    std::uint64_t windows[2] = {0, 0};
    int next[2] = {0, 0};
    for (LONG i = 0; i < probe.Count() && i < 50; ++i) {
        const auto& r = probe.Record(i);
        const int t = r.senderThread == jobs[0].threadId ? 0 : (r.senderThread == jobs[1].threadId ? 1 : -1);
        CHECK(t >= 0);
        if (t < 0) continue;
        // Each envelope whole, each thread's envelopes in its own order, from its own window.
        const std::string message = "thread " + std::to_string(jobs[t].id) + " #" + std::to_string(next[t]);
        CHECK_BYTES(probe.Envelope(r), BuildEnvelope(0, message, next[t], "", ""));
        ++next[t];
        if (windows[t] == 0) windows[t] = r.senderWindow;
        CHECK_EQ(r.senderWindow, windows[t]);
        CHECK_BYTES(std::string_view(r.senderCaption), "frmHwnd");
    }
    CHECK(windows[0] != 0 && windows[1] != 0 && windows[0] != windows[1]);
}

void ForeignFrames(Probe& probe) {
    // Another marker: seen by the window, not handed on.
    LONG before = probe.Count();
    CHECK_EQ(SendRawFrameTo("Tracewell", 4, 503, Header("00", "0000000") + "abc"), SendResult::Delivered);
    CHECK_EQ(probe.Count(), before + 1);
    CHECK_EQ(probe.Last().marker, 4u);
    CHECK_EQ(probe.Last().handedOn, 0u);
    CHECK_EQ(probe.Last().previousProcSaw, 1u);

    // An oversized byte count without a zero byte: no more than the 1024-byte buffer is taken.
    before = probe.Count();
    SendRawFrameTo("Tracewell", 3, 5000, std::string(5000, 'A'));
    CHECK_EQ(probe.Count(), before + 1);
    CHECK_EQ(probe.Last().byteCount, 5000u);
    CHECK_EQ(probe.Last().handedOn, 1u);
    CHECK_BYTES(probe.Envelope(probe.Last()), std::string(1024, 'A'));

    // Oversized, with the zero byte inside the buffer: the envelope ends there.
    std::string payload = Header("02", "0000009") + "stop";
    payload.push_back('\0');
    payload.append(3000, 'B');
    SendRawFrameTo("Tracewell", 3, static_cast<std::uint32_t>(payload.size()), payload);
    CHECK_BYTES(probe.Envelope(probe.Last()), Header("02", "0000009") + "stop");

    // A byte count shorter than the text: only cbData bytes are read.
    SendRawFrameTo("Tracewell", 3, 5, "0012345xyz");
    CHECK_BYTES(probe.Envelope(probe.Last()), "00123");

    // No bytes at all.
    SendRawFrameTo("Tracewell", 3, 0, "");
    CHECK_EQ(probe.Last().handedOn, 1u);
    CHECK_EQ(probe.Last().envelopeLength, 0u);
}

void LateAndRenamedReceiver() {
    // Found by the next call after it appears, and by caption without regard to case.
    SendEnvelope(BuildEnvelope(0, "before", 0, "", ""));
    Probe probe("TRACEWELL");
    CHECK(probe.Ok());
    if (!probe.Ok()) return;
    SendEnvelope(BuildEnvelope(0, "after", 0, "", ""));
    CHECK_EQ(probe.Count(), 1);
    if (probe.Count() == 1) CHECK_BYTES(probe.Envelope(probe.Last()), Header("00", "0000000") + "after");
}

void RestartedReceiver() {
    // The window found is kept between calls; once it is gone, the next call's envelope goes to
    // the window there is now, not lost on the old handle.
    {
        Probe first;
        CHECK(first.Ok());
        CHECK_EQ(SendEnvelopeTo("Tracewell", "first"), SendResult::Delivered);
        CHECK_EQ(first.Count(), 1);
    }
    Probe second;
    CHECK(second.Ok());
    if (!second.Ok()) return;
    CHECK_EQ(SendEnvelopeTo("Tracewell", "second"), SendResult::Delivered);
    CHECK_EQ(second.Count(), 1);
    if (second.Count() == 1) CHECK_BYTES(second.Envelope(second.Last()), "second");
}

}  // namespace

int main() {
    NoReceiver();
    {
        Probe probe;
        CHECK(probe.Ok());
        if (probe.Ok()) {
            EnvelopeLayouts(probe);
            ForeignFrames(probe);
        }
    }
    TwoThreads();
    LateAndRenamedReceiver();
    RestartedReceiver();
    return tw::wintest::Summary("copydata_test");
}
