// The window server's frame format: what decodes, what is dropped, and how
// a byte stream splits into frames.

#include "wire_format.h"

#include <gtest/gtest.h>

#include <QtEndian>

namespace win::detail::wire {
namespace {

Request SampleRequest()
{
    Request request;
    request.kind = Kind::FindWindow;
    request.id = 77;
    request.hwnd = 0x0000123400000005ull;
    request.message = 0xC001;
    request.wParam = ~0ull;
    request.lParam = 1ull << 63;
    request.command = -3;
    request.caption = QStringLiteral("Tavrel ");
    return request;
}

QByteArray PayloadOf(const QByteArray& frame)
{
    return frame.mid(4);
}

TEST(WireFormatTest, RequestsAndRepliesSurviveARoundTrip)
{
    Request request = SampleRequest();
    std::optional<Request> decoded = DecodeRequest(PayloadOf(EncodeRequest(request)));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->kind, request.kind);
    EXPECT_EQ(decoded->id, request.id);
    EXPECT_EQ(decoded->hwnd, request.hwnd);
    EXPECT_EQ(decoded->message, request.message);
    EXPECT_EQ(decoded->wParam, request.wParam);
    EXPECT_EQ(decoded->lParam, request.lParam);
    EXPECT_EQ(decoded->command, request.command);
    EXPECT_FALSE(decoded->className.has_value());
    EXPECT_EQ(decoded->caption, request.caption);

    // "No class given" and "empty class given" stay apart.
    request.className = QString();
    decoded = DecodeRequest(PayloadOf(EncodeRequest(request)));
    ASSERT_TRUE(decoded);
    ASSERT_TRUE(decoded->className.has_value());
    EXPECT_TRUE(decoded->className->isEmpty());

    Reply reply;
    reply.kind = Kind::QueryWindow;
    reply.id = 9;
    reply.status = Status::NoWindow;
    reply.hwnd = 42;
    reply.result = -5;
    reply.flag = true;
    reply.text = QStringLiteral("Überschrift");
    std::optional<Reply> back = DecodeReply(PayloadOf(EncodeReply(reply)));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->kind, reply.kind);
    EXPECT_EQ(back->id, reply.id);
    EXPECT_EQ(back->status, reply.status);
    EXPECT_EQ(back->hwnd, reply.hwnd);
    EXPECT_EQ(back->result, reply.result);
    EXPECT_TRUE(back->flag);
    EXPECT_EQ(back->text, reply.text);

    // A request never decodes as a reply, nor the other way round.
    EXPECT_FALSE(DecodeReply(PayloadOf(EncodeRequest(SampleRequest()))));
    EXPECT_FALSE(DecodeRequest(PayloadOf(EncodeReply(reply))));
}

TEST(WireFormatTest, LongTextsAreCutAtACharacterBoundary)
{
    Request request = SampleRequest();
    request.caption = QString(kMaxTextBytes, QChar(0x00E9));  // two UTF-8 bytes each
    std::optional<Request> decoded = DecodeRequest(PayloadOf(EncodeRequest(request)));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->caption->size(), kMaxTextBytes / 2);
    EXPECT_FALSE(decoded->caption->contains(QChar::ReplacementCharacter));
}

struct MalformedCase {
    const char* name;
    int offset;        // byte of the payload to change; -1: none
    char value;
    int sizeChange;    // bytes cut (<0) or appended (>0)
};

// Test names print the case's name, not its bytes.
void PrintTo(const MalformedCase& c, std::ostream* out)
{
    *out << c.name;
}

class MalformedRequestTest : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(MalformedRequestTest, IsRejected)
{
    const MalformedCase& c = GetParam();
    Request request = SampleRequest();
    request.caption.reset();
    QByteArray payload = PayloadOf(EncodeRequest(request));  // 43 bytes, no texts
    ASSERT_EQ(payload.size(), 43);
    if (c.offset >= 0)
        payload[c.offset] = c.value;
    if (c.sizeChange < 0)
        payload.chop(-c.sizeChange);
    else
        payload.append(QByteArray(c.sizeChange, 'x'));
    EXPECT_FALSE(DecodeRequest(payload)) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MalformedRequestTest,
    ::testing::Values(MalformedCase{"version 0", 0, 0, 0}, MalformedCase{"version 2", 0, 2, 0},
                      MalformedCase{"kind 0", 1, 0, 0}, MalformedCase{"kind 7", 1, 7, 0},
                      MalformedCase{"reply kind", 1, static_cast<char>(0x81), 0},
                      MalformedCase{"unknown flag", 38, 4, 0},
                      MalformedCase{"caption overruns", 41, 1, 0},
                      MalformedCase{"class longer than allowed", 40, 0x05, 0},
                      MalformedCase{"class overruns", 39, 3, 0}, MalformedCase{"one byte missing", -1, 0, -1},
                      MalformedCase{"header only", -1, 0, -37}, MalformedCase{"trailing byte", -1, 0, 1}),
    [](const ::testing::TestParamInfo<MalformedCase>& info) {
        std::string name = info.param.name;
        for (char& ch : name)
            if (!std::isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return name;
    });

TEST(WireFormatTest, ATextWithoutItsFlagIsRejected)
{
    Request request = SampleRequest();
    request.caption.reset();
    request.className = QStringLiteral("ab");
    QByteArray payload = PayloadOf(EncodeRequest(request));
    ASSERT_TRUE(DecodeRequest(payload));
    payload[38] = 0;  // flags: no class given, yet two class bytes follow
    EXPECT_FALSE(DecodeRequest(payload));
}

TEST(WireFormatTest, AStreamSplitsIntoFramesWhateverThePieces)
{
    Request first = SampleRequest();
    Request second = SampleRequest();
    second.id = 78;
    second.caption = QStringLiteral("second");
    QByteArray stream = EncodeRequest(first) + EncodeRequest(second);

    for (int piece = 1; piece <= stream.size(); ++piece) {
        QByteArray buffer;
        std::vector<std::uint32_t> ids;
        for (int at = 0; at < stream.size(); at += piece) {
            buffer += stream.mid(at, piece);
            QByteArray payload;
            Split split;
            while ((split = TakeFrame(buffer, payload)) == Split::Frame) {
                std::optional<Request> request = DecodeRequest(payload);
                ASSERT_TRUE(request) << "piece size " << piece;
                ids.push_back(request->id);
            }
            ASSERT_EQ(split, Split::NeedMore) << "piece size " << piece;
        }
        EXPECT_EQ(ids, (std::vector<std::uint32_t>{77, 78})) << "piece size " << piece;
        EXPECT_TRUE(buffer.isEmpty());
    }
}

TEST(WireFormatTest, OutOfBoundsLengthsAreBad)
{
    const std::uint32_t lengths[] = {0, kHeaderSize - 1, kMaxPayload + 1, 0xFFFFFFFFu};
    for (std::uint32_t length : lengths) {
        char prefix[4];
        qToLittleEndian(length, prefix);
        QByteArray buffer(prefix, 4);
        QByteArray payload;
        EXPECT_EQ(TakeFrame(buffer, payload), Split::Bad) << length;
    }
    QByteArray shortBuffer("\x06\x00", 2);
    QByteArray payload;
    EXPECT_EQ(TakeFrame(shortBuffer, payload), Split::NeedMore);
}

}  // namespace
}  // namespace win::detail::wire
