#pragma once
// One received trace message and the counted reference that trace lines hold to it.

#include "tw/core/message_types.hpp"
#include "tw/messaging/envelope.hpp"

#include <QString>
#include <QStringView>

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

namespace tw::viewer {

class MessageRef;

// One stored message. Filled once by Create or CreateEx and never changed afterwards.
// The three texts live in the same allocation as the fixed fields (one heap block per
// message), so a stored line costs little beyond its text. Texts are kept as the code-page
// bytes they arrived in (one byte a character) and converted when read; a text given to
// CreateEx with a character the code page cannot hold is kept in UTF-16 instead. Instances
// exist only behind a MessageRef; the last reference frees the block.
class MessageSink {
public:
    // Cuts an envelope (code-page bytes, without the trailing zero byte) into a message.
    // Returns a null reference when the envelope is malformed; why receives the reason.
    static MessageRef Create(std::string_view envelope, QString* why = nullptr);
    // The same from fields the envelope reader already cut (code-page bytes; copied).
    static MessageRef Create(const tw::messaging::EnvelopeView& fields);
    // Takes the five values as they are (name and value are kept for every type).
    static MessageRef CreateEx(qint16 messageType, qint32 recordNumber, QStringView message,
                               QStringView objectName = {}, QStringView objectValue = {});

    // The picture index (into the trace image list) shown for a message type; 0 for none.
    static qint32 IconFor(qint32 messageType);

    qint32 MessageType() const { return m_type; }
    qint32 MessageIcon() const { return IconFor(m_type); }
    qint32 RecordNumber() const { return m_recordNumber; }
    // The texts as text.
    QString Message() const;
    QString ObjectName() const;
    QString ObjectValue() const;
    // The same appended to out: scanning many messages, reuse one QString and empty it with
    // resize(0), which keeps its room.
    void AppendMessage(QString& out) const;
    void AppendObjectName(QString& out) const;
    void AppendObjectValue(QString& out) const;
    // Characters in each text.
    qsizetype MessageLength() const { return qsizetype(lengths().message); }
    qsizetype ObjectNameLength() const { return qsizetype(lengths().name); }
    qsizetype ObjectValueLength() const { return qsizetype(lengths().value); }
    // The texts as code-page bytes appended to out (a character the code page cannot hold
    // as '?'), for log files.
    void AppendMessageBytes(std::string& out) const;
    void AppendObjectNameBytes(std::string& out) const;
    void AppendObjectValueBytes(std::string& out) const;

    MessageSink(const MessageSink&) = delete;
    MessageSink& operator=(const MessageSink&) = delete;

private:
    friend class MessageRef;
    enum : std::uint8_t { kWide = 1, kLongLengths = 2 };
    struct Lengths {
        std::uint32_t message, name, value;
    };
    MessageSink() = default;
    ~MessageSink() = default;
    static MessageRef MakeBytes(qint32 type, qint32 recordNumber, std::string_view message,
                                std::string_view name, std::string_view value);
    static MessageRef MakeWide(qint32 type, qint32 recordNumber, QStringView message, QStringView name,
                               QStringView value);
    static MessageSink* Allocate(qint32 type, qint32 recordNumber, Lengths lengths, std::uint8_t flags);
    Lengths lengths() const;
    // Start of the texts (message, name, value, in this order; bytes, or UTF-16 when kWide).
    const char* texts() const;
    void AppendText(QString& out, std::size_t offset, std::size_t length) const;
    void AppendBytes(std::string& out, std::size_t offset, std::size_t length) const;
    void addRef() const { m_refs.fetch_add(1, std::memory_order_relaxed); }
    void release() const;

    // 16 bytes: the lengths of short texts are packed (message 12 bits, name 8, value 12);
    // longer ones set kLongLengths and follow the object as three 32-bit counts.
    mutable std::atomic<std::int32_t> m_refs{1};
    std::int32_t m_recordNumber = 0;
    std::int16_t m_type = 0;
    std::uint8_t m_flags = 0;
    std::uint8_t m_sizeClass = 0;  // where the block came from (0: the heap)
    std::uint32_t m_packedLengths = 0;
};

// Shared reference to a MessageSink (8 bytes). Trace lines of every page and anything
// else that keeps a message hold one; copying is cheap.
class MessageRef {
public:
    MessageRef() = default;
    MessageRef(const MessageRef& other) : m_p(other.m_p) {
        if (m_p) m_p->addRef();
    }
    MessageRef(MessageRef&& other) noexcept : m_p(other.m_p) { other.m_p = nullptr; }
    MessageRef& operator=(const MessageRef& other) {
        MessageRef copy(other);
        swap(copy);
        return *this;
    }
    MessageRef& operator=(MessageRef&& other) noexcept {
        MessageRef moved(std::move(other));
        swap(moved);
        return *this;
    }
    ~MessageRef() {
        if (m_p) m_p->release();
    }
    void swap(MessageRef& other) noexcept { std::swap(m_p, other.m_p); }

    const MessageSink* get() const { return m_p; }
    const MessageSink& operator*() const { return *m_p; }
    const MessageSink* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    bool operator==(const MessageRef& other) const { return m_p == other.m_p; }
    // Number of references held (for tests and diagnostics).
    int useCount() const { return m_p ? m_p->m_refs.load(std::memory_order_relaxed) : 0; }

private:
    friend class MessageSink;
    explicit MessageRef(MessageSink* adopted) : m_p(adopted) {}
    MessageSink* m_p = nullptr;
};

}  // namespace tw::viewer
