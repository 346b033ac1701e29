#include "tw/core/log_format.hpp"

#include "tw/messaging/envelope.hpp"

namespace tw::viewer::logfile {

namespace {
constexpr char kEscape = '\0';
}  // namespace

void AppendCodePage(std::string& out, QStringView text) {
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out.push_back(char(c));
            continue;
        }
        if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(text[i + 1].unicode())) {
            out.push_back('?');  // outside the code page: one character, one '?'
            ++i;
            continue;
        }
        // The few characters of 0x80-0x9F: the shared table decides.
        const QByteArray utf8 = QString(QChar(c)).toUtf8();
        out += tw::messaging::Utf8ToCodePage(std::string_view(utf8.constData(), std::size_t(utf8.size())));
    }
}

bool NeedsEscape(std::string_view bytes) {
    for (char c : bytes)
        if (c == '\r' || c == '\n' || c == '\0') return true;
    return false;
}

void AppendEscaped(std::string& out, std::string_view bytes) {
    for (char c : bytes) {
        switch (c) {
            case '\r': out.push_back(kEscape); out.push_back('r'); break;
            case '\n': out.push_back(kEscape); out.push_back('n'); break;
            case '\0': out.push_back(kEscape); out.push_back('0'); break;
            default: out.push_back(c);
        }
    }
}

std::string Unescape(std::string_view line) {
    std::string out;
    out.reserve(line.size());
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c != kEscape) {
            out.push_back(c);
            continue;
        }
        if (i + 1 >= line.size()) break;
        const char code = line[++i];
        if (code == 'r') out.push_back('\r');
        else if (code == 'n') out.push_back('\n');
        else if (code == '0') out.push_back('\0');
        else out.push_back(code);
    }
    return out;
}

void AppendLine(std::string& out, const MessageSink& message) {
    std::string name, value;
    // The name and value fields hold what the message holds (empty for every type but 4).
    message.AppendObjectNameBytes(name);
    message.AppendObjectValueBytes(value);
    // The header as an envelope has it; the message text follows as stored, whole.
    std::string line =
        tw::messaging::BuildEnvelope(message.MessageType(), {}, message.RecordNumber(), name, value);
    line.resize(std::size_t(tw::messaging::kHeaderLength));
    message.AppendMessageBytes(line);
    if (NeedsEscape(line))
        AppendEscaped(out, line);
    else
        out += line;
    out += "\r\n";
}

MessageRef ReadLine(std::string_view line, QString* why) {
    if (line.find(kEscape) == std::string_view::npos) return MessageSink::Create(line, why);
    const std::string envelope = Unescape(line);
    // A zero byte that stood for itself ends the envelope, as it does on the wire.
    return MessageSink::Create(envelope, why);
}

}  // namespace tw::viewer::logfile
