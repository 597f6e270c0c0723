// The stream pieces of the kit: byte stores, the normaliser, gzip header
// skipping and inflation, first-buffer classification.
#include <kit/byte_buffer.h>
#include <kit/gzip_inflater.h>
#include <kit/normaliser.h>
#include <kit/scan_view.h>
#include <kit/stream_classify.h>

#include <test_support.h>

#include <gtest/gtest.h>

#include <cstring>

namespace {

std::string Flat(const CByteBufferStore& store)
{
    return nftest::Text(store.Flatten());
}

TEST(ByteBufferStore, AppendFillsTheLastChunkThenStartsANewOne)
{
    CByteBufferStore store;
    EXPECT_TRUE(store.Flatten().empty());
    store.Append(reinterpret_cast<const std::uint8_t*>("abc"), 3);
    EXPECT_EQ(store.ChunkCount(), 1u);  // a 128-byte chunk holding 3
    std::string big(200, 'x');
    store.Append(reinterpret_cast<const std::uint8_t*>(big.data()), big.size());
    EXPECT_EQ(store.ChunkCount(), 2u);
    store.Append(reinterpret_cast<const std::uint8_t*>("yz"), 2);
    EXPECT_EQ(store.ChunkCount(), 3u);  // the 200-byte chunk was full
    store.Append(reinterpret_cast<const std::uint8_t*>("0123456789"), 10, 4);
    EXPECT_EQ(Flat(store), "abc" + big + "yz0123");
    EXPECT_EQ(store.TotalBytes(), 3u + 200 + 2 + 4);
    store.Reset(7);
    EXPECT_EQ(store.TotalBytes(), 0u);
    EXPECT_EQ(store.Tag(), 7u);
}

TEST(ByteBufferSlideWindow, SlideKeepsTheLast256BytesInTheWindow)
{
    CByteBufferSlideWindow window;
    EXPECT_EQ(window.ChunkCount(), 1u);
    std::string all;
    for (int i = 0; i < 50; ++i) {
        const std::string part(13, static_cast<char>('a' + i % 26));
        window.Append(reinterpret_cast<const std::uint8_t*>(part.data()), part.size());
        all += part;
    }
    EXPECT_EQ(window.Slide(), 256u);
    EXPECT_EQ(window.ChunkCount(), 1u);
    EXPECT_EQ(Flat(window), all.substr(all.size() - 256));
    window.Reset();
    EXPECT_EQ(window.ChunkCount(), 1u);
    EXPECT_EQ(window.Chunks()[0].capacity, 256u);
}

TEST(CarryOver, KeepsTheLast256BytesOfAViewIncludingOldBytes)
{
    nfkit::CarryOver carry;
    nfkit::ScanView view;
    std::string first(300, 'a');
    first.back() = 'Z';
    carry.BeginView(view);
    view.Add(reinterpret_cast<std::uint8_t*>(first.data()), first.size());
    carry.Update(view);
    ASSERT_EQ(carry.Length(), 256u);

    std::string second = "0123456789";
    carry.BeginView(view);
    EXPECT_EQ(view.CarriedBytes(), 256u);
    view.Add(reinterpret_cast<std::uint8_t*>(second.data()), second.size());
    // A write into the view's carried piece (disarming) works on a copy.
    view.Pieces()[0].data[0] = '!';
    EXPECT_EQ(carry.Bytes()[0], 'a');
    carry.Update(view);
    const std::string kept(reinterpret_cast<const char*>(carry.Bytes()), carry.Length());
    EXPECT_EQ(kept, std::string(245, 'a') + "Z" + second);
}

struct NormaliseCase {
    std::vector<std::string> pieces;
    std::string expected;  // everything added to the store
    std::string pending;   // left over at the end
};

class NormaliserTest : public ::testing::TestWithParam<NormaliseCase> {};

TEST_P(NormaliserTest, UnescapesFiltersAndCarriesCutEscapes)
{
    nfkit::Normaliser normaliser;
    CByteBufferStore out;
    for (const std::string& piece : GetParam().pieces)
        normaliser.Normalise(reinterpret_cast<const std::uint8_t*>(piece.data()), piece.size(), out);
    EXPECT_EQ(Flat(out), GetParam().expected);
    EXPECT_EQ(normaliser.Pending(), GetParam().pending);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NormaliserTest,
    ::testing::Values(
        NormaliseCase{{"%3Cscript%3E"}, "<script>", ""},
        NormaliseCase{{"%u003Cscript%u003e"}, "<script>", ""},
        NormaliseCase{{"<scr\r\nipt>\t"}, "<script>", ""},
        // High bits are cleared: "%BC" is "<" with its high bit set.
        NormaliseCase{{"%BCscript%BE"}, "<script>", ""},
        // A piece with nothing to change adds nothing.
        NormaliseCase{{"plain text"}, "", ""},
        NormaliseCase{{"%zz"}, "zz", ""},
        // An escape cut by the end of a piece waits for the next one.
        NormaliseCase{{"ab%3", "Ccd"}, "ab<cd", ""},
        NormaliseCase{{"ab%", "u003Ccd"}, "ab<cd", ""},
        NormaliseCase{{"x%u00"}, "x", "%u00"},
        NormaliseCase{{"%"}, "", "%"},
        NormaliseCase{{std::string("a\0b", 3)}, "ab", ""}));

TEST(GzipHeader, SkipsEveryOptionalFieldAndAChunkSizeLine)
{
    // FEXTRA, FNAME, FCOMMENT and FHCRC after a preamble, then a CR LF and a
    // chunk-size line.
    std::vector<std::uint8_t> head = nftest::Bytes("HTTP/1.1 200 OK\r\n\r\n");
    const std::uint8_t member[] = {0x1F, 0x8B, 0x08, 0x1E, 0, 0, 0, 0, 0, 3, 2, 0, 'x', 'y',
                                   'n', 'a', 'm', 'e', 0, 'c', 0, 0xAB, 0xCD, '\r', '\n', '1', 'f', '\n'};
    head.insert(head.end(), std::begin(member), std::end(member));
    const std::size_t deflateAt = head.size();
    head.push_back(0x03);
    std::size_t offset = 0;
    ASSERT_EQ(nfkit::FindDeflateData(head.data(), head.size(), &offset), nfkit::GzipStart::Started);
    EXPECT_EQ(offset, deflateAt);

    // Every cut inside the header leaves the inflater unstarted.
    for (std::size_t cut = 19 + 3; cut < deflateAt - 5; ++cut)
        EXPECT_EQ(nfkit::FindDeflateData(head.data(), cut, &offset), nfkit::GzipStart::HeaderIncomplete) << cut;
    EXPECT_EQ(nfkit::FindDeflateData(head.data(), 19, &offset), nfkit::GzipStart::NoMagic);
}

TEST(GzipInflater, InflatesAcrossPiecesAndStopsAtItsBudget)
{
    std::string text;
    for (int i = 0; i < 2000; ++i)
        text += "<p>line " + std::to_string(i) + "</p>\n";
    const auto body = nftest::Gzip(text);
    std::size_t offset = 0;
    ASSERT_EQ(nfkit::FindDeflateData(body.data(), body.size(), &offset), nfkit::GzipStart::Started);

    for (std::size_t piece : {1u, 7u, 100u, 100000u}) {
        nfkit::GzipInflater inflater;
        ASSERT_TRUE(inflater.Start());
        CByteBufferStore out;
        std::size_t budget = nfkit::kMaxInflatedPerReceive;
        for (std::size_t at = offset; at < body.size(); at += piece) {
            const auto r = inflater.Inflate(body.data() + at, std::min(piece, body.size() - at), out, budget);
            EXPECT_FALSE(r.error);
        }
        EXPECT_EQ(Flat(out), text) << piece;
        EXPECT_TRUE(inflater.IsFinished());
    }

    nfkit::GzipInflater inflater;
    ASSERT_TRUE(inflater.Start());
    CByteBufferStore out;
    std::size_t budget = 1000;
    const auto r = inflater.Inflate(body.data() + offset, body.size() - offset, out, budget);
    EXPECT_TRUE(r.capped);
    EXPECT_EQ(r.produced, 1000u);
    EXPECT_EQ(budget, 0u);
    EXPECT_EQ(Flat(out), text.substr(0, 1000));
}

TEST(GzipInflater, ReportsBrokenData)
{
    nfkit::GzipInflater inflater;
    ASSERT_TRUE(inflater.Start());
    CByteBufferStore out;
    std::size_t budget = 1 << 20;
    const std::uint8_t junk[] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_TRUE(inflater.Inflate(junk, sizeof junk, out, budget).error);
}

struct ClassifyCase {
    const char* name;
    std::string first;
    std::uint16_t port;
    std::uint32_t expected;
};

class ClassifyTest : public ::testing::TestWithParam<ClassifyCase> {};

TEST_P(ClassifyTest, FirstBufferGivesTheStreamClass)
{
    std::string data = GetParam().first;
    FilterBuffer buffer{static_cast<std::uint32_t>(data.size()), data.data()};
    const auto remote = nftest::Address(0x7F000001, GetParam().port);
    EXPECT_EQ(nfkit::ClassifyFirstBuffer(&buffer, 1, data.size(), &remote), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ClassifyTest,
    ::testing::Values(
        ClassifyCase{"html", "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n", 80, 0x11000},
        ClassifyCase{"gzip_html",
                     "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nContent-Encoding: gzip\r\n\r\n",
                     80, 0x91000},
        ClassifyCase{"gzip_only", "HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\n\r\n", 80, 0x81000},
        ClassifyCase{"image", "HTTP/1.0 200 OK\r\ncontent-type: image/png\r\n\r\n", 80, 0x21000},
        ClassifyCase{"video", "HTTP/1.0 200 OK\r\nCONTENT-TYPE:    video/mp4\r\n\r\n", 80, 0x21000},
        ClassifyCase{"metafile", "HTTP/1.0 200 OK\r\nContent-Type: application/x-msmetafile\r\n", 80, 0x21000},
        // "text/html" more than 16 bytes after "content-type" does not count.
        ClassifyCase{"type_too_far", "HTTP/1.1 200 OK\r\nContent-Type:                  text/html\r\n", 80, 0x1000},
        ClassifyCase{"not_http", "SSH-2.0-OpenSSH_9.2p1 Debian\r\n", 22, 0},
        ClassifyCase{"lower_case_http", "http/1.1 200 OK\r\nContent-Type: text/html\r\n", 80, 0},
        ClassifyCase{"mail_port", "+OK POP3 server ready <1@x>\r\n", 110, 0x2000},
        ClassifyCase{"short_buffer", "HTTP/1.1 200 O", 993, 0x2000}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Classify, TakesTheFirstBufferOfSixteenBytesWithinTheBytesReceived)
{
    std::string tiny = "HTTP/1.1";
    std::string real = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n";
    FilterBuffer buffers[2] = {{static_cast<std::uint32_t>(tiny.size()), tiny.data()},
                               {static_cast<std::uint32_t>(real.size()), real.data()}};
    EXPECT_EQ(nfkit::ClassifyFirstBuffer(buffers, 2, tiny.size() + real.size(), nullptr), 0x11000u);
    // Only 20 bytes arrived: the second buffer holds 12 and is too short.
    EXPECT_EQ(nfkit::ClassifyFirstBuffer(buffers, 2, 20, nullptr), 0u);
}

}  // namespace
