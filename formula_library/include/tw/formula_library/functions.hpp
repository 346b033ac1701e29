// The formula functions: the classes a report engine creates and whose methods formulas call
// (DebugSendMsgEx and so on). Each method builds one envelope and delivers it synchronously;
// each returns the empty text. Portable and Qt-free: the Windows automation server and the
// Linux C library both wrap these classes.
//
// Text arguments are bytes of the single-byte code page (see tw/messaging/codepage.hpp);
// wrappers convert from their own string type first.
#pragma once

#include "tw/messaging/transport.hpp"

#include <cstdint>
#include <string>
#include <string_view>

namespace tw::formula {

// Where every method hands its envelope. The default sends it to the viewer
// (tw::messaging::SendEnvelopeWithin, with the send timeout of the settings); tests may put
// their own (set it before calls start; nullptr restores the default). The outcome decides
// what is captured (see tap_settings.hpp).
using DeliverFunction = messaging::SendResult (*)(std::string_view envelope);
void SetDelivery(DeliverFunction deliver);

// What happened to this process's messages so far.
struct CallCounts {
    std::uint64_t calls = 0;  // calls made while not switched off
    std::uint64_t delivered = 0;
    std::uint64_t noViewer = 0;  // no viewer, or one given up on after a timeout
    std::uint64_t lost = 0;      // the viewer went away before taking it
    std::uint64_t timedOut = 0;  // the viewer did not take it in time
    std::uint64_t captured = 0;
    std::uint64_t captureSkipped = 0;
};
CallCounts Counts();
// Writes what is not yet in the user's count file there (also done at most once a second while
// calls go on, and when the process ends).
void FlushCounts();

// Messages cut so far (in this process) because they were longer than the envelope's message
// field (for DebugSendObject: name " = " value); the envelope carries their first bytes.
std::uint64_t CutMessageCount();

// The message of Add.CheckPoint: 79 hyphen-minus characters.
inline constexpr std::string_view kCheckPointLine =
    "-------------------------------------------------------------------------------";

class Send {
  public:
    std::string Msg(std::string_view message) const;
    std::string MsgEx(std::string_view message, std::int32_t recordNumber) const;
    std::string Scratch(std::string_view message, std::int32_t id) const;
    std::string Note(std::string_view message) const;
    std::string NoteEx(std::string_view message, std::int32_t recordNumber) const;
    std::string Error(std::string_view message) const;
    std::string ErrorEx(std::string_view message, std::int32_t recordNumber) const;
    std::string Warning(std::string_view message) const;
    std::string WarningEx(std::string_view message, std::int32_t recordNumber) const;
    std::string Object(std::string_view objectName, std::string_view objectValue,
                       std::int32_t recordNumber) const;
};

class Enter {
  public:
    std::string Formula(std::string_view formulaName, std::int32_t recordNumber) const;
    std::string SubReport(std::string_view subReportName) const;
};

class Exit {
  public:
    std::string Formula() const;
    std::string SubReport() const;
};

class Add {
  public:
    std::string CheckPoint() const;
};

// Registered and creatable like the others; it has no members.
class Message {};

}  // namespace tw::formula
