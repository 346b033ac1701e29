// The message envelope: the fixed-width record one formula-function call sends to the viewer
// and that a log file stores one per line.
//
//   positions   1-2    type code          "0#"
//               3-9    record number      "0######"
//              10-99   object name        PadField(name, 90)
//             100-499  object value       PadField(value, 400)
//             500 on   message text       (type 4: name " = " value)
//
// All text here is bytes of the single-byte code page (see codepage.hpp): one character is
// one byte, so lengths and positions count bytes.
#pragma once

#include "tw/messaging/codepage.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tw::messaging {

enum class EnumMessageType : int {
    SendMsg = 0,
    SendNote = 1,
    SendError = 2,
    SendWarning = 3,
    SendObject = 4,
    SendScratch = 5,
    EnterFormula = 6,
    ExitFormula = 7,
    EnterSubReport = 8,
    ExitSubReport = 9,
    AddCheckPoint = 14,
};

inline constexpr int kBufferSize = 1024;          // transport buffer, envelope + zero byte
inline constexpr int kHeaderLength = 499;         // type, record number, name, value
inline constexpr int kMaxEnvelopeLength = 1023;   // kBufferSize less the zero byte
inline constexpr int kEnvelopeMarker = 3;         // the only marker that carries an envelope
inline constexpr int kTypeWidth = 2;
inline constexpr int kRecordNumberWidth = 7;
inline constexpr int kObjectNameWidth = 90;
inline constexpr int kObjectValueWidth = 400;
inline constexpr int kMaxMessageLength = kMaxEnvelopeLength - kHeaderLength;  // 524 when sent
inline constexpr int kMaxReadMessageLength = 999;  // positions 500 to 1498 when read

// Range that the fixed fields hold. Values beyond are clamped to the nearest bound; a negative
// number is written as '-' and the zero-filled digits of its magnitude, so "-000042" and "-5".
inline constexpr std::int32_t kMinRecordNumber = -999'999;
inline constexpr std::int32_t kMaxRecordNumber = 9'999'999;
inline constexpr int kMinTypeCode = -9;
inline constexpr int kMaxTypeCode = 99;

// Fits text to exactly `width` bytes: cut on the right, or blanks appended. width <= 0 gives "".
std::string PadField(std::string_view text, int width);

// Builds one envelope from code-page bytes. The header is always 499 bytes; the message field
// (for type 4: objectName " = " objectValue, whole and unpadded; the message argument is not
// used) is cut so that the envelope never exceeds kMaxEnvelopeLength.
std::string BuildEnvelope(int type, std::string_view message, std::int32_t recordNumber,
                          std::string_view objectName, std::string_view objectValue);

// The fields of one envelope as the viewer reads them: name and value only for type 4, each
// trimmed of leading and trailing blanks; the message from positions 500 to 1498, trimmed.
// As strings of their own (EnvelopeFields), or as views into the envelope's bytes
// (EnvelopeView, for a reader that copies them once into a store of its own: valid only as
// long as those bytes are).
template <class Text>
struct BasicEnvelopeFields {
    int type = 0;
    std::int32_t recordNumber = 0;
    Text objectName;
    Text objectValue;
    Text message;
};
using EnvelopeFields = BasicEnvelopeFields<std::string>;
using EnvelopeView = BasicEnvelopeFields<std::string_view>;

// Cuts an envelope into fields. The envelope ends at its first zero byte, if any. Returns
// nullopt for a malformed envelope (shorter than the header, type or record number not a
// number in the written form) and then sets *whyMalformed to a short English reason.
std::optional<EnvelopeFields> ReadEnvelope(std::string_view envelope,
                                           std::string* whyMalformed = nullptr);
std::optional<EnvelopeView> ReadEnvelopeView(std::string_view envelope,
                                             std::string* whyMalformed = nullptr);

}  // namespace tw::messaging
