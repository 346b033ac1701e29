#pragma once
// One received trace message and the counted reference that trace lines hold to it.

#include <QString>
#include <QStringView>

#include <atomic>
#include <cstdint>
#include <string_view>

namespace tw::messaging {
struct EnvelopeFields;
}

namespace tw::viewer {

class MessageRef;

// One stored message. Filled once by Create or CreateEx and never changed afterwards.
// The three texts live in the same allocation as the fixed fields (one heap block per
// message), so a stored line costs little beyond its text. Instances exist only behind a
// MessageRef; the last reference frees the block.
class MessageSink {
public:
    // Cuts an envelope (code-page bytes, without the trailing zero byte) into a message.
    // Returns a null reference when the envelope is malformed; why receives the reason.
    static MessageRef Create(std::string_view envelope, QString* why = nullptr);
    // The same from fields the envelope reader already cut (code-page bytes).
    static MessageRef Create(const tw::messaging::EnvelopeFields& fields);
    // Takes the five values as they are (name and value are kept for every type).
    static MessageRef CreateEx(qint16 messageType, qint32 recordNumber, QStringView message,
                               QStringView objectName = {}, QStringView objectValue = {});

    // The picture index (into the trace image list) shown for a message type; 0 for none.
    static qint32 IconFor(qint32 messageType);

    qint32 MessageType() const { return m_type; }
    qint32 MessageIcon() const { return m_icon; }
    qint32 RecordNumber() const { return m_recordNumber; }
    // Copies of the texts; the *View accessors below do not copy and stay valid while a
    // MessageRef to this message is held.
    QString Message() const { return MessageView().toString(); }
    QString ObjectName() const { return ObjectNameView().toString(); }
    QString ObjectValue() const { return ObjectValueView().toString(); }
    QStringView MessageView() const { return {text(), qsizetype(m_messageLength)}; }
    QStringView ObjectNameView() const { return {text() + m_messageLength, qsizetype(m_nameLength)}; }
    QStringView ObjectValueView() const {
        return {text() + m_messageLength + m_nameLength, qsizetype(m_valueLength)};
    }

    MessageSink(const MessageSink&) = delete;
    MessageSink& operator=(const MessageSink&) = delete;

private:
    friend class MessageRef;
    MessageSink() = default;
    ~MessageSink() = default;
    static MessageRef Make(qint32 type, qint32 recordNumber, QStringView message, QStringView name,
                           QStringView value);
    void SetIcon(qint32 messageType);
    const char16_t* text() const { return reinterpret_cast<const char16_t*>(this + 1); }
    void addRef() const { m_refs.fetch_add(1, std::memory_order_relaxed); }
    void release() const;

    mutable std::atomic<std::int32_t> m_refs{1};
    std::int16_t m_type = 0;
    std::int16_t m_icon = 0;
    std::int32_t m_recordNumber = 0;
    std::uint32_t m_messageLength = 0;
    std::uint32_t m_nameLength = 0;
    std::uint32_t m_valueLength = 0;
    // The UTF-16 texts follow the object: message, object name, object value.
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
