// One log-file line of any content, as the log loader reads it: either a reason, or a message
// that, saved as a line and read back, gives the same message.
#include "fuzz_check.hpp"
#include "tw/core/log_format.hpp"
#include "tw/core/message_sink.hpp"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace lf = tw::viewer::logfile;
using tw::viewer::MessageRef;

namespace {

bool Same(const MessageRef& a, const MessageRef& b) {
    return a->MessageType() == b->MessageType() && a->RecordNumber() == b->RecordNumber() &&
           a->Message() == b->Message() && a->ObjectName() == b->ObjectName() &&
           a->ObjectValue() == b->ObjectValue();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view raw(reinterpret_cast<const char*>(data), size);

    // The escape form holds no line end and reads back to the bytes.
    std::string escaped;
    lf::AppendEscaped(escaped, raw);
    TW_FUZZ_CHECK(escaped.find('\r') == std::string::npos && escaped.find('\n') == std::string::npos);
    TW_FUZZ_CHECK(lf::Unescape(escaped) == raw);
    if (!lf::NeedsEscape(raw)) TW_FUZZ_CHECK(lf::Unescape(raw) == raw);

    QString why;
    const MessageRef first = lf::ReadLine(raw, &why);
    if (!first) {
        TW_FUZZ_CHECK(!why.isEmpty());
        return 0;
    }
    std::string saved;
    lf::AppendLine(saved, *first);
    // One line: ends with CR LF and holds no other line end.
    TW_FUZZ_CHECK(saved.size() >= 2 && saved.compare(saved.size() - 2, 2, "\r\n") == 0);
    saved.resize(saved.size() - 2);
    TW_FUZZ_CHECK(saved.find('\r') == std::string::npos && saved.find('\n') == std::string::npos);
    const MessageRef again = lf::ReadLine(saved, &why);
    TW_FUZZ_CHECK(static_cast<bool>(again));
    TW_FUZZ_CHECK(Same(first, again));
    return 0;
}
