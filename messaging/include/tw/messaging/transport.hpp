// Delivery of one envelope to the receiver whose caption is "Tracewell", and the receiving
// side. On Linux the receiver is a local stream socket in a directory private to the user
// (see docs/transport.md); on Windows it is the top-level window of that caption.
#pragma once

#include "tw/messaging/receiver.hpp"

#include <cstdint>
#include <string_view>

namespace tw::messaging {

// The caption under which the viewer receives envelopes.
inline constexpr std::string_view kReceiverCaption = "Tracewell";

// Windows: finding no window of that caption is remembered this long, so a report that runs
// with no viewer pays for the window lookup a few times a second, not at every call; a viewer
// started meanwhile is found by the first call after it.
inline constexpr int kNoReceiverMemoryMs = 200;

enum class SendResult {
    Delivered,     // the receiver's handler returned and acknowledged
    NoReceiver,    // nobody listens under the caption (or the connection was refused)
    ReceiverLost,  // the receiver went away before acknowledging; nothing is sent again
    TimedOut,      // the receiver did not take the envelope within the time allowed
};

// Sends one envelope (code-page bytes, cut to kMaxEnvelopeLength) to the receiver named
// kReceiverCaption and waits until its handler has returned. The receiver is looked up again
// whenever the calling thread holds no live connection, so a receiver started or restarted
// later is found by the next call. Never fails: without a receiver it returns at once.
void SendEnvelope(std::string_view envelope);

// The same for any caption (compared without regard to ASCII letter case), with the outcome.
SendResult SendEnvelopeTo(std::string_view caption, std::string_view envelope);

// The same with a bound on the wait: a receiver that has not taken the envelope after
// timeoutMs milliseconds (connecting included) gives TimedOut; its connection is dropped, so a
// late answer never mixes with the next call's. Windows: SendMessageTimeout with
// SMTO_ABORTIFHUNG, so a window the system already sees as hung fails at once. timeoutMs <= 0
// waits as SendEnvelopeTo does.
SendResult SendEnvelopeWithin(std::string_view caption, std::string_view envelope, int timeoutMs);

// Sends a frame with any marker and byte count, for tests of the receiving side: `payload`
// goes out as it is, announced as `byteCount` bytes. Same lookup and wait as SendEnvelopeTo.
SendResult SendRawFrameTo(std::string_view caption, std::uint32_t marker, std::uint32_t byteCount,
                          std::string_view payload);

// Closes the calling thread's connection, if any (threads also close it when they end).
void DisconnectThread();

}  // namespace tw::messaging
