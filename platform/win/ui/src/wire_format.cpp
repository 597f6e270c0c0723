#include "wire_format.h"

#include <QtEndian>

namespace win::detail::wire {
namespace {

constexpr std::uint8_t kFlagClass = 1;
constexpr std::uint8_t kFlagCaption = 2;

bool KnownKind(std::uint8_t kind)
{
    return kind >= static_cast<std::uint8_t>(Kind::FindWindow) &&
           kind <= static_cast<std::uint8_t>(Kind::QueryWindow);
}

class Writer {
public:
    template <typename T>
    void Put(T value)
    {
        char bytes[sizeof(T)];
        qToLittleEndian(value, bytes);
        m_data.append(bytes, sizeof(T));
    }
    void PutText(const QString& text)
    {
        QByteArray utf8 = text.toUtf8();
        if (utf8.size() > kMaxTextBytes) {
            // Cut at a character boundary: never before a continuation byte.
            qsizetype cut = kMaxTextBytes;
            while (cut > 0 && (static_cast<std::uint8_t>(utf8[cut]) & 0xC0) == 0x80)
                --cut;
            utf8.truncate(cut);
        }
        Put(static_cast<std::uint16_t>(utf8.size()));
        m_data.append(utf8);
    }
    QByteArray Frame() const
    {
        QByteArray frame;
        char length[4];
        qToLittleEndian(static_cast<std::uint32_t>(m_data.size()), length);
        frame.append(length, 4);
        frame.append(m_data);
        return frame;
    }

private:
    QByteArray m_data;
};

class Reader {
public:
    explicit Reader(QByteArrayView data) : m_data(data) {}

    template <typename T>
    bool Get(T& value)
    {
        if (m_data.size() - m_pos < static_cast<qsizetype>(sizeof(T)))
            return false;
        value = qFromLittleEndian<T>(m_data.data() + m_pos);
        m_pos += sizeof(T);
        return true;
    }
    bool GetText(QString& text)
    {
        std::uint16_t length = 0;
        if (!Get(length) || length > kMaxTextBytes || m_data.size() - m_pos < length)
            return false;
        text = QString::fromUtf8(m_data.data() + m_pos, length);
        m_pos += length;
        return true;
    }
    bool AtEnd() const { return m_pos == m_data.size(); }

private:
    QByteArrayView m_data;
    qsizetype m_pos = 0;
};

void PutHeader(Writer& writer, std::uint8_t kind, std::uint32_t id)
{
    writer.Put(kVersion);
    writer.Put(kind);
    writer.Put(id);
}

bool GetHeader(Reader& reader, std::uint8_t& kind, std::uint32_t& id)
{
    std::uint8_t version = 0;
    return reader.Get(version) && version == kVersion && reader.Get(kind) && reader.Get(id);
}

}  // namespace

QByteArray EncodeRequest(const Request& request)
{
    Writer writer;
    PutHeader(writer, static_cast<std::uint8_t>(request.kind), request.id);
    writer.Put(request.hwnd);
    writer.Put(request.message);
    writer.Put(request.wParam);
    writer.Put(request.lParam);
    writer.Put(request.command);
    std::uint8_t flags = (request.className ? kFlagClass : 0) | (request.caption ? kFlagCaption : 0);
    writer.Put(flags);
    writer.PutText(request.className.value_or(QString()));
    writer.PutText(request.caption.value_or(QString()));
    return writer.Frame();
}

QByteArray EncodeReply(const Reply& reply)
{
    Writer writer;
    PutHeader(writer, static_cast<std::uint8_t>(static_cast<std::uint8_t>(reply.kind) | kReplyBit), reply.id);
    writer.Put(static_cast<std::uint8_t>(reply.status));
    writer.Put(reply.hwnd);
    writer.Put(reply.result);
    writer.Put(static_cast<std::uint8_t>(reply.flag ? 1 : 0));
    writer.PutText(reply.text);
    return writer.Frame();
}

std::optional<Request> DecodeRequest(QByteArrayView payload)
{
    Reader reader(payload);
    std::uint8_t kind = 0;
    Request request;
    if (!GetHeader(reader, kind, request.id) || !KnownKind(kind))
        return std::nullopt;
    request.kind = static_cast<Kind>(kind);
    std::uint8_t flags = 0;
    QString className;
    QString caption;
    if (!reader.Get(request.hwnd) || !reader.Get(request.message) || !reader.Get(request.wParam) ||
        !reader.Get(request.lParam) || !reader.Get(request.command) || !reader.Get(flags) ||
        !reader.GetText(className) || !reader.GetText(caption) || !reader.AtEnd())
        return std::nullopt;
    if ((flags & ~(kFlagClass | kFlagCaption)) != 0)
        return std::nullopt;
    // A text that is not given must be empty: one meaning per byte string.
    if ((!(flags & kFlagClass) && !className.isEmpty()) || (!(flags & kFlagCaption) && !caption.isEmpty()))
        return std::nullopt;
    if (flags & kFlagClass)
        request.className = className;
    if (flags & kFlagCaption)
        request.caption = caption;
    return request;
}

std::optional<Reply> DecodeReply(QByteArrayView payload)
{
    Reader reader(payload);
    std::uint8_t kind = 0;
    Reply reply;
    if (!GetHeader(reader, kind, reply.id) || !(kind & kReplyBit) ||
        !KnownKind(static_cast<std::uint8_t>(kind & ~kReplyBit)))
        return std::nullopt;
    reply.kind = static_cast<Kind>(kind & ~kReplyBit);
    std::uint8_t status = 0;
    std::uint8_t flag = 0;
    if (!reader.Get(status) || !reader.Get(reply.hwnd) || !reader.Get(reply.result) || !reader.Get(flag) ||
        !reader.GetText(reply.text) || !reader.AtEnd())
        return std::nullopt;
    if (status > static_cast<std::uint8_t>(Status::Refused) || flag > 1)
        return std::nullopt;
    reply.status = static_cast<Status>(status);
    reply.flag = flag != 0;
    return reply;
}

Split TakeFrame(QByteArray& buffer, QByteArray& payload)
{
    if (buffer.size() < 4)
        return Split::NeedMore;
    std::uint32_t length = qFromLittleEndian<std::uint32_t>(buffer.constData());
    if (length < kHeaderSize || length > kMaxPayload)
        return Split::Bad;
    if (static_cast<std::uint64_t>(buffer.size()) < 4ull + length)
        return Split::NeedMore;
    payload = buffer.mid(4, static_cast<qsizetype>(length));
    buffer.remove(0, static_cast<qsizetype>(4 + length));
    return Split::Frame;
}

}  // namespace win::detail::wire
