#include "core/message_sink.hpp"

#include <tw/messaging/envelope.hpp>

#include <algorithm>
#include <cstring>
#include <new>

namespace tw::viewer {

namespace {

QString FromCodePage(const std::string& bytes) {
    if (bytes.empty()) return {};
    const std::string utf8 = tw::messaging::CodePageToUtf8(bytes);
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}

qint16 To16(qint32 value) {
    return qint16(std::clamp<qint32>(value, INT16_MIN, INT16_MAX));
}

}  // namespace

void MessageSink::release() const {
    if (m_refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        MessageSink* self = const_cast<MessageSink*>(this);
        self->~MessageSink();
        ::operator delete(static_cast<void*>(self));
    }
}

MessageRef MessageSink::Make(qint32 type, qint32 recordNumber, QStringView message, QStringView name,
                             QStringView value) {
    const std::size_t chars = std::size_t(message.size() + name.size() + value.size());
    void* block = ::operator new(sizeof(MessageSink) + chars * sizeof(char16_t));
    auto* sink = new (block) MessageSink();
    sink->m_type = To16(type);
    sink->m_recordNumber = recordNumber;
    sink->m_messageLength = std::uint32_t(message.size());
    sink->m_nameLength = std::uint32_t(name.size());
    sink->m_valueLength = std::uint32_t(value.size());
    auto* out = reinterpret_cast<char16_t*>(sink + 1);
    if (!message.isEmpty()) std::memcpy(out, message.utf16(), std::size_t(message.size()) * 2);
    out += message.size();
    if (!name.isEmpty()) std::memcpy(out, name.utf16(), std::size_t(name.size()) * 2);
    out += name.size();
    if (!value.isEmpty()) std::memcpy(out, value.utf16(), std::size_t(value.size()) * 2);
    sink->SetIcon(sink->m_type);
    return MessageRef(sink);
}

qint32 MessageSink::IconFor(qint32 messageType) {
    switch (messageType) {
        case 0: return 12;   // general message
        case 1: return 5;    // note
        case 2: return 4;    // error
        case 3: return 11;   // warning
        case 4: return 14;   // object
        case 6: return 6;    // enter formula
        case 7: return 7;    // exit formula
        case 8: return 9;    // enter subreport
        case 9: return 7;    // exit subreport shows the exit-formula picture
        case 14: return 8;   // check point
        default: return 0;
    }
}

void MessageSink::SetIcon(qint32 messageType) {
    const qint32 icon = IconFor(messageType);
    if (icon != 0) m_icon = qint16(icon);  // types not in the table keep the initial 0
}

MessageRef MessageSink::Create(std::string_view envelope, QString* why) {
    std::string reason;
    auto fields = tw::messaging::ReadEnvelope(envelope, why ? &reason : nullptr);
    if (!fields) {
        if (why) *why = QString::fromStdString(reason);
        return {};
    }
    return Create(*fields);
}

MessageRef MessageSink::Create(const tw::messaging::EnvelopeFields& fields) {
    const QString message = FromCodePage(fields.message);
    if (fields.type == 4) {
        const QString name = FromCodePage(fields.objectName);
        const QString value = FromCodePage(fields.objectValue);
        return Make(fields.type, fields.recordNumber, message, name, value);
    }
    return Make(fields.type, fields.recordNumber, message, {}, {});
}

MessageRef MessageSink::CreateEx(qint16 messageType, qint32 recordNumber, QStringView message,
                                 QStringView objectName, QStringView objectValue) {
    return Make(messageType, recordNumber, message, objectName, objectValue);
}

}  // namespace tw::viewer
