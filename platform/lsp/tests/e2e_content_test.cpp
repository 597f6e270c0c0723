// End to end: curl through the shim against a local HTTP server, with the
// sample detection file kelmdb builds (netfilter/tools/kelmdb/samples/
// detections.txt). A disarmable signature arrives turned to "X", a blocking
// one fails the transfer, gzip-encoded HTML is inflated and blocked, and
// everything else arrives byte for byte.
#include "support/e2e_fixture.h"

#include <zlib.h>

#include <random>

namespace lsp {
namespace {

using testing::ChildResult;
using testing::CurlThroughShim;
using testing::HttpServer;

std::string Gzip(const std::string& data)
{
    z_stream stream{};
    // 16 + 15 window bits: a gzip member rather than a zlib stream.
    deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 16 + 15, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, data.size()) + 32, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

std::string Page(const std::string& inside)
{
    return "<html><head><title>sample</title></head><body>\n<p>Before the sample.</p>\n<p>" + inside +
           "</p>\n<p>After the sample.</p>\n</body></html>\n";
}

class ContentEndToEndTest : public CurlThroughShim {
protected:
    std::string Fetch(const std::string& path, ChildResult* result = nullptr)
    {
        ChildResult run = Curl("http://127.0.0.1:" + std::to_string(m_server.Port()) + path, Output("out"));
        if (result != nullptr)
            *result = run;
        return Read("out");
    }

    HttpServer m_server;
};

TEST_F(ContentEndToEndTest, DisarmableSignatureArrivesAsX)
{
    std::string page = Page("script kelm-disarm-sample here");
    m_server.Serve("/disarm.html", page, "text/html");
    ChildResult result;
    std::string got = Fetch("/disarm.html", &result);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::string expected = page;
    std::size_t at = expected.find("kelm-disarm-sample");
    expected.replace(at, std::string("kelm-disarm-sample").size(), std::string(18, 'X'));
    EXPECT_EQ(got, expected);
    EXPECT_NE(ShimLog().find("exploit signature 00010001, action level 1"), std::string::npos) << ShimLog();
}

TEST_F(ContentEndToEndTest, BlockingSignatureFailsTheTransfer)
{
    m_server.Serve("/block.html", Page("kelm-block-sample"), "text/html");
    ChildResult result;
    std::string got = Fetch("/block.html", &result);
    EXPECT_NE(result.exitCode, 0);
    EXPECT_EQ(got.find("kelm-block-sample"), std::string::npos);
    EXPECT_NE(ShimLog().find("exploit signature 00010002, action level 3"), std::string::npos) << ShimLog();
    EXPECT_NE(ShimLog().find(": block requested"), std::string::npos) << ShimLog();
}

// A signature inside a gzip-encoded HTML body is found after inflation. A
// blocking one fails the transfer; a disarmable one of a lower action level
// is reported and left as it is, since inflated bytes cannot be overwritten
// in the compressed stream.
TEST_F(ContentEndToEndTest, BlockingSignatureInGzipHtmlBlocks)
{
    m_server.Serve("/page.html", Gzip(Page("kelm-block-sample")), "text/html", "Content-Encoding: gzip\r\n");
    ChildResult result;
    Fetch("/page.html", &result);
    EXPECT_NE(result.exitCode, 0);
    EXPECT_NE(ShimLog().find("exploit signature 00010002, action level 3"), std::string::npos) << ShimLog();
}

TEST_F(ContentEndToEndTest, DisarmableSignatureInGzipHtmlIsReportedNotChanged)
{
    std::string body = Gzip(Page("kelm-disarm-sample"));
    m_server.Serve("/page.html", body, "text/html", "Content-Encoding: gzip\r\n");
    ChildResult result;
    std::string got = Fetch("/page.html", &result);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(got == body);
    EXPECT_NE(ShimLog().find("exploit signature 00010001, action level 1"), std::string::npos) << ShimLog();
}

TEST_F(ContentEndToEndTest, EverythingElseArrivesByteForByte)
{
    std::string page = Page("nothing to see");
    std::string gzipped = Gzip(page);
    std::string binary;
    std::mt19937 random(11);
    for (int i = 0; i < (1 << 20); ++i)
        binary.push_back(static_cast<char>(random()));
    std::string large = "<html><body>\n";
    while (large.size() < (3 << 20))
        large += "<p>A long page, longer than any one receive, with no sample in it at all.</p>\n";
    m_server.Serve("/page.html", page, "text/html");
    m_server.Serve("/page.gz.html", gzipped, "text/html", "Content-Encoding: gzip\r\n");
    m_server.Serve("/data.bin", binary, "application/octet-stream");
    m_server.Serve("/large.html", large, "text/html");
    struct Item {
        const char* path;
        const std::string& body;
    };
    for (const Item& item : {Item{"/page.html", page}, Item{"/page.gz.html", gzipped}, Item{"/data.bin", binary},
                             Item{"/large.html", large}}) {
        ChildResult result;
        std::string got = Fetch(item.path, &result);
        ASSERT_EQ(result.exitCode, 0) << item.path << ": " << result.err;
        EXPECT_TRUE(got == item.body) << item.path << " changed (" << got.size() << " bytes)";
    }
    EXPECT_EQ(ShimLog().find("exploit signature"), std::string::npos) << ShimLog();
}

}  // namespace
}  // namespace lsp
