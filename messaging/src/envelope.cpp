#include "tw/messaging/envelope.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace tw::messaging {
namespace {

// Writes `value` into exactly `width` bytes at `out`: zero-filled digits, or '-' and the
// zero-filled digits of the magnitude for a negative value. The caller clamps the value first.
void WriteFixedNumber(char* out, std::int64_t value, int width) {
    std::uint64_t magnitude = value < 0 ? static_cast<std::uint64_t>(-value) : static_cast<std::uint64_t>(value);
    for (int i = width - 1; i >= 0; --i) {
        out[i] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    }
    if (value < 0) out[0] = '-';
}

// Reads a field written by WriteFixedNumber. Accepts digits only, or '-' followed by digits.
std::optional<std::int32_t> ReadFixedNumber(std::string_view field) {
    bool negative = false;
    if (!field.empty() && field.front() == '-') {
        negative = true;
        field.remove_prefix(1);
    }
    if (field.empty()) return std::nullopt;
    std::int64_t value = 0;
    for (char c : field) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return static_cast<std::int32_t>(negative ? -value : value);
}

// Fields are mostly padding, so the blanks are skipped eight bytes at a time.
constexpr std::uint64_t kEightBlanks = 0x2020202020202020ULL;

std::string_view TrimBlanks(std::string_view text) {
    const char* begin = text.data();
    const char* end = begin + text.size();
    while (end - begin >= 8) {
        std::uint64_t word;
        std::memcpy(&word, end - 8, 8);
        if (word != kEightBlanks) break;
        end -= 8;
    }
    while (end > begin && end[-1] == ' ') --end;
    while (end - begin >= 8) {
        std::uint64_t word;
        std::memcpy(&word, begin, 8);
        if (word != kEightBlanks) break;
        begin += 8;
    }
    while (begin < end && *begin == ' ') ++begin;
    return {begin, static_cast<std::size_t>(end - begin)};
}

void AppendPadded(std::string& out, std::string_view text, std::size_t width) {
    const std::size_t n = std::min(text.size(), width);
    out.append(text.data(), n);
    out.append(width - n, ' ');
}

}  // namespace

std::string PadField(std::string_view text, int width) {
    std::string out;
    if (width <= 0) return out;
    out.reserve(static_cast<std::size_t>(width));
    AppendPadded(out, text, static_cast<std::size_t>(width));
    return out;
}

std::string BuildEnvelope(int type, std::string_view message, std::int32_t recordNumber,
                          std::string_view objectName, std::string_view objectValue) {
    std::string out;
    out.reserve(kMaxEnvelopeLength);
    out.resize(kTypeWidth + kRecordNumberWidth);
    WriteFixedNumber(out.data(), std::clamp(type, kMinTypeCode, kMaxTypeCode), kTypeWidth);
    WriteFixedNumber(out.data() + kTypeWidth, std::clamp(recordNumber, kMinRecordNumber, kMaxRecordNumber),
                     kRecordNumberWidth);
    AppendPadded(out, objectName, kObjectNameWidth);
    AppendPadded(out, objectValue, kObjectValueWidth);

    // The message field takes what is left of the buffer; the header is never cut.
    std::size_t room = kMaxMessageLength;
    auto appendCut = [&](std::string_view part) {
        const std::size_t n = std::min(part.size(), room);
        out.append(part.data(), n);
        room -= n;
    };
    if (type == static_cast<int>(EnumMessageType::SendObject)) {
        appendCut(objectName);
        appendCut(" = ");
        appendCut(objectValue);
    } else {
        appendCut(message);
    }
    return out;
}

std::optional<EnvelopeView> ReadEnvelopeView(std::string_view envelope, std::string* whyMalformed) {
    auto fail = [&](const char* why) -> std::optional<EnvelopeView> {
        if (whyMalformed) *whyMalformed = why;
        return std::nullopt;
    };
    if (const auto zero = envelope.find('\0'); zero != std::string_view::npos) {
        envelope = envelope.substr(0, zero);
    }
    if (envelope.size() < static_cast<std::size_t>(kHeaderLength)) {
        return fail("shorter than the 499-character header");
    }
    const auto type = ReadFixedNumber(envelope.substr(0, kTypeWidth));
    if (!type) return fail("message type (positions 1-2) is not a number");
    const auto record = ReadFixedNumber(envelope.substr(kTypeWidth, kRecordNumberWidth));
    if (!record) return fail("record number (positions 3-9) is not a number");

    EnvelopeView fields;
    fields.type = *type;
    fields.recordNumber = *record;
    if (fields.type == static_cast<int>(EnumMessageType::SendObject)) {
        constexpr std::size_t nameAt = kTypeWidth + kRecordNumberWidth;
        fields.objectName = TrimBlanks(envelope.substr(nameAt, kObjectNameWidth));
        fields.objectValue = TrimBlanks(envelope.substr(nameAt + kObjectNameWidth, kObjectValueWidth));
    }
    fields.message = TrimBlanks(envelope.substr(kHeaderLength, kMaxReadMessageLength));
    return fields;
}

std::optional<EnvelopeFields> ReadEnvelope(std::string_view envelope, std::string* whyMalformed) {
    const auto view = ReadEnvelopeView(envelope, whyMalformed);
    if (!view) return std::nullopt;
    EnvelopeFields fields;
    fields.type = view->type;
    fields.recordNumber = view->recordNumber;
    fields.objectName = view->objectName;
    fields.objectValue = view->objectValue;
    fields.message = view->message;
    return fields;
}

}  // namespace tw::messaging
