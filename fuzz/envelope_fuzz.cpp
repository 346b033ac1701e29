// The envelope reader on any bytes, and BuildEnvelope -> ReadEnvelope on any fields.
#include "fuzz_check.hpp"
#include "tw/messaging/codepage.hpp"
#include "tw/messaging/envelope.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>
#include <string_view>

namespace twm = tw::messaging;

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

bool Trimmed(std::string_view s) { return s.empty() || (s.front() != ' ' && s.back() != ' '); }

void CheckFields(const twm::EnvelopeFields& f) {
    TW_FUZZ_CHECK(f.objectName.size() <= static_cast<std::size_t>(twm::kObjectNameWidth));
    TW_FUZZ_CHECK(f.objectValue.size() <= static_cast<std::size_t>(twm::kObjectValueWidth));
    TW_FUZZ_CHECK(f.message.size() <= static_cast<std::size_t>(twm::kMaxReadMessageLength));
    TW_FUZZ_CHECK(f.objectName.find('\0') == std::string::npos);
    TW_FUZZ_CHECK(f.objectValue.find('\0') == std::string::npos);
    TW_FUZZ_CHECK(f.message.find('\0') == std::string::npos);
    TW_FUZZ_CHECK(Trimmed(f.objectName) && Trimmed(f.objectValue) && Trimmed(f.message));
    TW_FUZZ_CHECK(f.type >= twm::kMinTypeCode && f.type <= twm::kMaxTypeCode);
    TW_FUZZ_CHECK(f.recordNumber >= twm::kMinRecordNumber && f.recordNumber <= twm::kMaxRecordNumber);
    if (f.type != static_cast<int>(twm::EnumMessageType::SendObject)) {
        TW_FUZZ_CHECK(f.objectName.empty() && f.objectValue.empty());
    }
}

std::string NoZeros(std::string s) {
    std::replace(s.begin(), s.end(), '\0', 'z');
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view raw(reinterpret_cast<const char*>(data), size);

    // 1. Any bytes: either a reason, or fields within their widths.
    std::string why;
    if (const auto fields = twm::ReadEnvelope(raw, &why)) {
        CheckFields(*fields);
        TW_FUZZ_CHECK(why.empty());
    } else {
        TW_FUZZ_CHECK(!why.empty());
    }

    // 2. Code page bytes survive a trip through UTF-8.
    const std::string utf8 = twm::CodePageToUtf8(raw);
    TW_FUZZ_CHECK(twm::Utf8ToCodePage(utf8) == raw);
    // Any UTF-8 (or not) gives one byte per character, never more bytes than it had.
    TW_FUZZ_CHECK(twm::Utf8ToCodePage(raw).size() <= raw.size());

    // 3. Fields from the input: a built envelope reads back as what was written.
    FuzzedDataProvider in(data, size);
    const int type = in.ConsumeIntegral<int>() % 128;
    const std::int32_t record = in.ConsumeIntegral<std::int32_t>();
    const std::string name = NoZeros(in.ConsumeRandomLengthString(200));
    const std::string value = NoZeros(in.ConsumeRandomLengthString(600));
    const std::string message = NoZeros(in.ConsumeRemainingBytesAsString());

    const std::string envelope = twm::BuildEnvelope(type, message, record, name, value);
    TW_FUZZ_CHECK(envelope.size() <= static_cast<std::size_t>(twm::kMaxEnvelopeLength));
    TW_FUZZ_CHECK(envelope.size() >= static_cast<std::size_t>(twm::kHeaderLength));
    TW_FUZZ_CHECK(twm::PadField(name, twm::kObjectNameWidth).size() == static_cast<std::size_t>(twm::kObjectNameWidth));

    const auto back = twm::ReadEnvelope(envelope, &why);
    TW_FUZZ_CHECK(back.has_value());
    CheckFields(*back);
    TW_FUZZ_CHECK(back->type == std::clamp(type, twm::kMinTypeCode, twm::kMaxTypeCode));
    TW_FUZZ_CHECK(back->recordNumber == std::clamp(record, twm::kMinRecordNumber, twm::kMaxRecordNumber));
    const std::string_view body(envelope.data() + twm::kHeaderLength, envelope.size() - twm::kHeaderLength);
    if (type == static_cast<int>(twm::EnumMessageType::SendObject)) {
        TW_FUZZ_CHECK(back->objectName == Trim(std::string_view(name).substr(0, twm::kObjectNameWidth)));
        TW_FUZZ_CHECK(back->objectValue == Trim(std::string_view(value).substr(0, twm::kObjectValueWidth)));
        const std::string whole = name + " = " + value;
        TW_FUZZ_CHECK(body == std::string_view(whole).substr(0, twm::kMaxMessageLength));
    } else {
        TW_FUZZ_CHECK(body == std::string_view(message).substr(0, twm::kMaxMessageLength));
    }
    TW_FUZZ_CHECK(back->message == Trim(body));
    return 0;
}
