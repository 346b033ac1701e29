// twlisten: receives envelopes under a caption (default "Tracewell") and prints them, one
// line each, indented by the formula and subreport nesting. A stand-in for the viewer when
// trying the formula functions out, and the peer process of the transport tests.
#include "tw/messaging/envelope.hpp"
#include "tw/messaging/transport.hpp"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

using namespace tw::messaging;

namespace {

volatile std::sig_atomic_t g_stop = 0;
void OnSignal(int) { g_stop = 1; }

const char* TypeName(int type) {
    switch (static_cast<EnumMessageType>(type)) {
        case EnumMessageType::SendMsg: return "SendMsg";
        case EnumMessageType::SendNote: return "SendNote";
        case EnumMessageType::SendError: return "SendError";
        case EnumMessageType::SendWarning: return "SendWarning";
        case EnumMessageType::SendObject: return "SendObject";
        case EnumMessageType::SendScratch: return "SendScratch";
        case EnumMessageType::EnterFormula: return "EnterFormula";
        case EnumMessageType::ExitFormula: return "ExitFormula";
        case EnumMessageType::EnterSubReport: return "EnterSubReport";
        case EnumMessageType::ExitSubReport: return "ExitSubReport";
        case EnumMessageType::AddCheckPoint: return "AddCheckPoint";
    }
    return "Unknown";
}

void Usage() {
    std::fputs(
        "usage: twlisten [--caption TEXT] [--count N] [--raw | --quiet] [--ready] [--die-in-handler N]\n"
        "  Receives envelopes sent to the caption (default Tracewell) and prints them.\n"
        "  --count N            exit after N envelopes\n"
        "  --raw                print each envelope as it arrived (UTF-8), one per line\n"
        "  --quiet              print nothing per envelope, only the total at the end\n"
        "  --ready              print 'listening PATH' once the socket is ready\n"
        "  --ready-file FILE    write 'listening PATH' to FILE (a file or fifo) once ready\n"
        "  --die-in-handler N   end the process abruptly while handling envelope N\n",
        stderr);
}

}  // namespace

int main(int argc, char** argv) {
    std::string caption(kReceiverCaption);
    long count = -1;
    long dieAt = -1;
    bool raw = false;
    bool quiet = false;
    bool ready = false;
    std::string readyFile;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() -> const char* {
            if (i + 1 >= argc) {
                Usage();
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "--caption") caption = next();
        else if (a == "--count") count = std::strtol(next(), nullptr, 10);
        else if (a == "--die-in-handler") dieAt = std::strtol(next(), nullptr, 10);
        else if (a == "--raw") raw = true;
        else if (a == "--quiet") quiet = true;
        else if (a == "--ready") ready = true;
        else if (a == "--ready-file") readyFile = next();
        else {
            Usage();
            return 2;
        }
    }

    struct sigaction sa {};
    sa.sa_handler = OnSignal;  // no SA_RESTART: the wait returns on a signal
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);

    long received = 0;
    int depth = 0;
    EnvelopeReceiver receiver;
    auto handler = [&](std::string_view envelope) {
        ++received;
        if (received == dieAt) _exit(3);
        if (quiet) return;
        if (raw) {
            std::printf("%s\n", CodePageToUtf8(envelope).c_str());
        } else if (const auto f = ReadEnvelope(envelope)) {
            const auto type = static_cast<EnumMessageType>(f->type);
            if (type == EnumMessageType::ExitFormula || type == EnumMessageType::ExitSubReport) {
                depth = depth > 0 ? depth - 1 : 0;
            }
            std::printf("%07d %-14s %*s%s\n", f->recordNumber, TypeName(f->type), depth * 2, "",
                        CodePageToUtf8(f->message).c_str());
            if (type == EnumMessageType::EnterFormula || type == EnumMessageType::EnterSubReport) ++depth;
        } else {
            std::printf("(malformed envelope of %zu bytes)\n", envelope.size());
        }
        std::fflush(stdout);
    };
    std::string error;
    if (!receiver.Listen(caption, handler, &error)) {
        std::fprintf(stderr, "twlisten: %s\n", error.c_str());
        return 1;
    }
    if (ready) {
        std::printf("listening %s\n", receiver.SocketPath().c_str());
        std::fflush(stdout);
    }
    if (!readyFile.empty()) {
        if (FILE* f = std::fopen(readyFile.c_str(), "w")) {
            std::fprintf(f, "listening %s\n", receiver.SocketPath().c_str());
            std::fclose(f);
        }
    }
    while (!g_stop && (count < 0 || received < count)) receiver.WaitAndProcess(-1);
    receiver.Close();
    if (quiet) std::printf("%ld envelopes\n", received);
    return 0;
}
