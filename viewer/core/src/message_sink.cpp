#include "tw/core/message_sink.hpp"

#include "tw/messaging/codepage.hpp"
#include "tw/messaging/envelope.hpp"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

namespace tw::viewer {

namespace {

qint16 To16(qint32 value) {
    return qint16(std::clamp<qint32>(value, INT16_MIN, INT16_MAX));
}

constexpr std::uint32_t kMessageBits = 12, kNameBits = 8, kValueBits = 12;
constexpr std::uint32_t Max(std::uint32_t bits) { return (1u << bits) - 1; }

// Message blocks come from slabs, in sizes of 4-byte steps (a block needs no more alignment)
// and without the general heap's per-block header and 16-byte rounding: a million short
// messages save some 14 MB. Freed
// blocks are kept for later messages of their size. Reception, log loading (on its reading
// thread) and the panes all make messages, so the pool is locked.
class BlockPool {
public:
    static constexpr std::size_t kStep = alignof(MessageSink);
    static constexpr std::size_t kLargest = 255 * kStep;  // larger blocks come from the heap
    static constexpr std::uint8_t kHeap = 0;       // the size class of a heap block
    static_assert(sizeof(MessageSink) >= sizeof(void*), "a free block holds the link to the next");

    static std::uint8_t ClassOf(std::size_t bytes) {
        return bytes <= kLargest ? std::uint8_t((bytes + kStep - 1) / kStep) : kHeap;
    }
    void* Allocate(std::uint8_t sizeClass) {
        const std::size_t bytes = std::size_t(sizeClass) * kStep;
        std::lock_guard lock(m_mutex);
        if (void* b = m_free[sizeClass]) {
            std::memcpy(&m_free[sizeClass], b, sizeof(void*));
            return b;
        }
        if (m_left < bytes) {
            m_cursor = static_cast<char*>(::operator new(kSlabBytes));
            m_slabs.push_back(m_cursor);
            m_left = kSlabBytes;
        }
        void* p = m_cursor;
        m_cursor += bytes;
        m_left -= bytes;
        return p;
    }
    void Free(void* p, std::uint8_t sizeClass) {
        std::lock_guard lock(m_mutex);
        std::memcpy(p, &m_free[sizeClass], sizeof(void*));  // the block is only 4-byte aligned
        m_free[sizeClass] = p;
    }

private:
    static constexpr std::size_t kSlabBytes = 256 * 1024;
    std::mutex m_mutex;
    void* m_free[kLargest / kStep + 1] = {};  // freed blocks of each size, linked through their first bytes
    char* m_cursor = nullptr;
    std::size_t m_left = 0;
    std::vector<void*> m_slabs;  // kept for good
};

// Never destroyed: messages may outlive every other static object.
BlockPool& Pool() {
    static BlockPool* pool = new BlockPool;
    return *pool;
}

std::u16string_view Utf16(QStringView text) {
    return {reinterpret_cast<const char16_t*>(text.utf16()), std::size_t(text.size())};
}

}  // namespace

void MessageSink::release() const {
    if (m_refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        MessageSink* self = const_cast<MessageSink*>(this);
        const std::uint8_t sizeClass = m_sizeClass;
        self->~MessageSink();
        if (sizeClass == BlockPool::kHeap) ::operator delete(static_cast<void*>(self));
        else Pool().Free(self, sizeClass);
    }
}

MessageSink* MessageSink::Allocate(qint32 type, qint32 recordNumber, Lengths n, std::uint8_t flags) {
    const bool packed = n.message <= Max(kMessageBits) && n.name <= Max(kNameBits) && n.value <= Max(kValueBits);
    if (!packed) flags |= kLongLengths;
    const std::size_t unit = (flags & kWide) ? 2 : 1;
    const std::size_t extra = packed ? 0 : sizeof(Lengths);
    const std::size_t bytes = sizeof(MessageSink) + extra + (std::size_t(n.message) + n.name + n.value) * unit;
    const std::uint8_t sizeClass = BlockPool::ClassOf(bytes);
    void* block = sizeClass == BlockPool::kHeap ? ::operator new(bytes) : Pool().Allocate(sizeClass);
    auto* sink = new (block) MessageSink();
    sink->m_sizeClass = sizeClass;
    sink->m_type = To16(type);
    sink->m_recordNumber = recordNumber;
    sink->m_flags = flags;
    if (packed) {
        sink->m_packedLengths = n.message | (n.name << kMessageBits) | (n.value << (kMessageBits + kNameBits));
    } else {
        std::memcpy(reinterpret_cast<char*>(sink + 1), &n, sizeof n);
    }
    return sink;
}

MessageSink::Lengths MessageSink::lengths() const {
    if (m_flags & kLongLengths) {
        Lengths n;
        std::memcpy(&n, this + 1, sizeof n);
        return n;
    }
    return {m_packedLengths & Max(kMessageBits), (m_packedLengths >> kMessageBits) & Max(kNameBits),
            m_packedLengths >> (kMessageBits + kNameBits)};
}

const char* MessageSink::texts() const {
    return reinterpret_cast<const char*>(this + 1) + ((m_flags & kLongLengths) ? sizeof(Lengths) : 0);
}

MessageRef MessageSink::MakeBytes(qint32 type, qint32 recordNumber, std::string_view message,
                                  std::string_view name, std::string_view value) {
    const Lengths n{std::uint32_t(message.size()), std::uint32_t(name.size()), std::uint32_t(value.size())};
    MessageSink* sink = Allocate(type, recordNumber, n, 0);
    char* out = const_cast<char*>(sink->texts());
    if (!message.empty()) std::memcpy(out, message.data(), message.size());
    out += message.size();
    if (!name.empty()) std::memcpy(out, name.data(), name.size());
    out += name.size();
    if (!value.empty()) std::memcpy(out, value.data(), value.size());
    return MessageRef(sink);
}

MessageRef MessageSink::MakeWide(qint32 type, qint32 recordNumber, QStringView message, QStringView name,
                                 QStringView value) {
    const Lengths n{std::uint32_t(message.size()), std::uint32_t(name.size()), std::uint32_t(value.size())};
    MessageSink* sink = Allocate(type, recordNumber, n, kWide);
    char* out = const_cast<char*>(sink->texts());
    for (QStringView text : {message, name, value}) {
        if (!text.isEmpty()) std::memcpy(out, text.utf16(), std::size_t(text.size()) * 2);
        out += text.size() * 2;
    }
    return MessageRef(sink);
}

void MessageSink::AppendText(QString& out, std::size_t offset, std::size_t length) const {
    if (length == 0) return;
    if (m_flags & kWide) {
        out.append(reinterpret_cast<const QChar*>(texts() + offset * 2), qsizetype(length));
        return;
    }
    const auto& table = tw::messaging::CodePageCharacters();
    const auto* in = reinterpret_cast<const unsigned char*>(texts() + offset);
    const qsizetype at = out.size();
    out.resize(at + qsizetype(length));
    auto* dst = reinterpret_cast<char16_t*>(out.data()) + at;
    for (std::size_t i = 0; i < length; ++i) dst[i] = table[in[i]];
}

void MessageSink::AppendBytes(std::string& out, std::size_t offset, std::size_t length) const {
    if (length == 0) return;
    if (m_flags & kWide) {
        tw::messaging::AppendUtf16AsCodePage(
            out, {reinterpret_cast<const char16_t*>(texts() + offset * 2), length});
        return;
    }
    out.append(texts() + offset, length);
}

void MessageSink::AppendMessage(QString& out) const { AppendText(out, 0, lengths().message); }

void MessageSink::AppendObjectName(QString& out) const {
    const Lengths n = lengths();
    AppendText(out, n.message, n.name);
}

void MessageSink::AppendObjectValue(QString& out) const {
    const Lengths n = lengths();
    AppendText(out, std::size_t(n.message) + n.name, n.value);
}

QString MessageSink::Message() const {
    QString text;
    AppendMessage(text);
    return text;
}

QString MessageSink::ObjectName() const {
    QString text;
    AppendObjectName(text);
    return text;
}

QString MessageSink::ObjectValue() const {
    QString text;
    AppendObjectValue(text);
    return text;
}

void MessageSink::AppendMessageBytes(std::string& out) const { AppendBytes(out, 0, lengths().message); }

void MessageSink::AppendObjectNameBytes(std::string& out) const {
    const Lengths n = lengths();
    AppendBytes(out, n.message, n.name);
}

void MessageSink::AppendObjectValueBytes(std::string& out) const {
    const Lengths n = lengths();
    AppendBytes(out, std::size_t(n.message) + n.name, n.value);
}

qint32 MessageSink::IconFor(qint32 messageType) { return MessageTypeIcon(messageType); }

MessageRef MessageSink::Create(std::string_view envelope, QString* why) {
    std::string reason;
    const auto fields = tw::messaging::ReadEnvelopeView(envelope, why ? &reason : nullptr);
    if (!fields) {
        if (why) *why = QString::fromStdString(reason);
        return {};
    }
    return Create(*fields);
}

MessageRef MessageSink::Create(const tw::messaging::EnvelopeView& fields) {
    if (IsType(fields.type, EnumMessageType::SendObject))
        return MakeBytes(fields.type, fields.recordNumber, fields.message, fields.objectName, fields.objectValue);
    return MakeBytes(fields.type, fields.recordNumber, fields.message, {}, {});
}

MessageRef MessageSink::CreateEx(qint16 messageType, qint32 recordNumber, QStringView message,
                                 QStringView objectName, QStringView objectValue) {
    // Kept as bytes when the code page holds every character, as UTF-16 otherwise.
    std::string bytes;
    bytes.reserve(std::size_t(message.size() + objectName.size() + objectValue.size()));
    bool fits = tw::messaging::AppendUtf16AsCodePage(bytes, Utf16(message));
    fits = fits && tw::messaging::AppendUtf16AsCodePage(bytes, Utf16(objectName));
    fits = fits && tw::messaging::AppendUtf16AsCodePage(bytes, Utf16(objectValue));
    if (!fits) return MakeWide(messageType, recordNumber, message, objectName, objectValue);
    const std::string_view all(bytes);
    return MakeBytes(messageType, recordNumber, all.substr(0, std::size_t(message.size())),
                     all.substr(std::size_t(message.size()), std::size_t(objectName.size())),
                     all.substr(std::size_t(message.size() + objectName.size())));
}

}  // namespace tw::viewer
