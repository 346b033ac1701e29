// The receiver's frame handling: the input is what one client writes on its connection before it
// closes its side. What the handler gets, the acknowledgements the client reads and whether the
// connection is refused must match a plain model of the framing (docs/transport.md).
#include "fuzz_check.hpp"
#include "tw/messaging/envelope.hpp"
#include "tw/messaging/local_socket.hpp"
#include "tw/messaging/receiver.hpp"

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace twm = tw::messaging;

namespace {

struct Expected {
    std::vector<std::string> envelopes;
    std::size_t acks = 0;
    bool refused = false;
};

Expected Model(std::string_view in) {
    Expected e;
    while (in.size() >= twm::local::kFrameHeaderSize) {
        const std::uint32_t marker = twm::local::GetU32(in.data());
        const std::uint32_t count = twm::local::GetU32(in.data() + 4);
        if (count > static_cast<std::uint32_t>(twm::kBufferSize)) {
            e.refused = true;
            break;
        }
        if (in.size() < twm::local::kFrameHeaderSize + count) break;
        const std::string_view payload = in.substr(twm::local::kFrameHeaderSize, count);
        if (marker == static_cast<std::uint32_t>(twm::kEnvelopeMarker)) {
            const auto zero = payload.find('\0');
            if (zero != std::string_view::npos) {
                e.envelopes.emplace_back(payload.substr(0, zero));
            } else if (count < static_cast<std::uint32_t>(twm::kBufferSize)) {
                e.envelopes.emplace_back(payload);
            }
        }
        ++e.acks;
        in.remove_prefix(twm::local::kFrameHeaderSize + count);
    }
    return e;
}

struct Fixture {
    twm::EnvelopeReceiver receiver;
    std::vector<std::string> got;
    Fixture() {
        ::setenv(twm::local::kDirectoryVariable, (FuzzTempDir("tw-fuzz") + "/sockets").c_str(), 1);
        std::string error;
        if (!receiver.Listen("FuzzReceiver", [this](std::string_view e) {
                TW_FUZZ_CHECK(e.size() <= static_cast<std::size_t>(twm::kMaxEnvelopeLength));
                TW_FUZZ_CHECK(e.find('\0') == std::string_view::npos);
                got.emplace_back(e);
            }, &error)) {
            std::fprintf(stderr, "listen: %s\n", error.c_str());
            std::abort();
        }
    }
};

// Takes the acknowledgements that have arrived so far, without waiting.
void DrainAcks(int fd, std::string& acks) {
    char buf[4096];
    ssize_t n;
    while ((n = ::recv(fd, buf, sizeof buf, MSG_DONTWAIT)) > 0) acks.append(buf, static_cast<std::size_t>(n));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Fixture fx;
    // Big inputs would only fill the socket buffer; the framing repeats every 1032 bytes.
    if (size > 16384) return 0;
    fx.got.clear();
    const auto before = fx.receiver.stats();

    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    TW_FUZZ_CHECK(fd >= 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, fx.receiver.SocketPath().c_str(), sizeof(addr.sun_path) - 1);
    TW_FUZZ_CHECK(::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)) == 0);
    // Written in pieces of the input's own choosing is not needed: the receiver reads what is
    // there, so one write followed by the end of the stream covers the framing. The
    // acknowledgements are read as they come, as a sender does; a client that does not read
    // them is only paused (see the transport tests).
    std::string acks;
    std::size_t sent = 0;
    while (sent < size) {
        const ssize_t n = ::send(fd, data + sent, size - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n <= 0) break;  // refused meanwhile, or the buffer is full: the model is checked below
        sent += static_cast<std::size_t>(n);
        fx.receiver.ProcessEvents();
        DrainAcks(fd, acks);
    }
    ::shutdown(fd, SHUT_WR);

    // Serve until the receiver has dropped the connection.
    for (int i = 0; i < 2000 && (fx.receiver.stats().accepted == before.accepted || fx.receiver.ConnectionCount() > 0); ++i) {
        fx.receiver.WaitAndProcess(10);
        DrainAcks(fd, acks);
    }
    TW_FUZZ_CHECK(fx.receiver.ConnectionCount() == 0);
    DrainAcks(fd, acks);
    // The receiver has closed its side: the end of the stream, or a reset when it closed with
    // bytes of ours unread (a refused frame), never "nothing yet".
    char rest;
    const ssize_t last = ::recv(fd, &rest, 1, MSG_DONTWAIT);
    TW_FUZZ_CHECK(last == 0 || (last < 0 && errno != EAGAIN && errno != EWOULDBLOCK));
    ::close(fd);

    const Expected want = Model(std::string_view(reinterpret_cast<const char*>(data), sent));
    const auto& after = fx.receiver.stats();
    TW_FUZZ_CHECK(fx.got == want.envelopes);
    TW_FUZZ_CHECK(acks.size() == want.acks);
    TW_FUZZ_CHECK(acks.find_first_not_of(twm::local::kAck) == std::string::npos);
    TW_FUZZ_CHECK(after.envelopes - before.envelopes == want.envelopes.size());
    TW_FUZZ_CHECK(after.refusedOversize - before.refusedOversize == (want.refused ? 1u : 0u));
    return 0;
}
