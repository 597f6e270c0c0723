// The exploit filter's receive path, as a host drives it: one request, then
// the response in receives of 16 KB, through HazardFilter::Recv with a fake
// host. The signatures are generated (seeded) and never occur in the corpus,
// so the figures are the cost of scanning clean traffic: candidate tests,
// prefix checks and full matches of near misses, no reports.
#include "fake_host.h"

#include <hazard_filter.h>

#include <kit/detection_record.h>

#include <test_support.h>

#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kReceiveSize = 16 * 1024;
constexpr std::size_t kCorpusSize = 4u << 20;

// Page-like text: tags, attributes, script and prose, with line breaks.
std::string PlainHtml()
{
    static const char* const kPieces[] = {
        "<div class=\"content\">", "<p>", "</p>\n", "<a href=\"https://example.test/path/page.html\">",
        "</a>", "<script type=\"text/javascript\">", "var x = document.getElementById('main');\n",
        "window.location.href", "</script>\n", "<img src=\"/images/photo.jpg\" alt=\"\">",
        "The quick brown fox jumps over the lazy dog. ", "Lorem ipsum dolor sit amet, consectetur. ",
        "<table><tr><td>", "</td></tr></table>\n", "<span style=\"color:#333\">", "</span>",
        "function update(a, b) { return a + b; }\n", "<input type=\"text\" name=\"q\" value=\"\">",
        "&nbsp;&copy; 2024 ", "<meta name=\"viewport\" content=\"width=device-width\">\n"};
    std::mt19937 random(7);
    std::string html = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n<html><body>\n";
    while (html.size() < kCorpusSize)
        html += kPieces[random() % (sizeof kPieces / sizeof kPieces[0])];
    html.resize(kCorpusSize);
    return html;
}

std::string Binary()
{
    std::mt19937 random(11);
    std::string data = "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n\r\n";
    while (data.size() < kCorpusSize)
        data.push_back(static_cast<char>(random()));
    return data;
}

// Signatures shaped like real ones: a script, object or shell-code stem
// followed by the specific part (a class id, a method name, an address run),
// mostly plain literals; some case-insensitive, some with one gap between two
// literal parts, some with a skip. The random parts make sure none of them
// occurs in the corpus.
std::vector<nfkit::DetectionRecord> Signatures(int count)
{
    static const char* const kStems[] = {"<script", "document.", "window.", "unescape(", "<object", "classid=",
                                         "ActiveXObject(", "eval(", "%u0c0c%u", "<iframe src=", "Shell.Application",
                                         "createElement(", "<div id=", "function ", "href=\"", "var "};
    static const char kSpecific[] = "0123456789ABCDEFabcdef-{}.:_$%\\\"'()";
    std::mt19937 random(static_cast<unsigned>(count) * 31 + 5);
    auto specific = [&](int n) {
        std::string out;
        for (int k = 0; k < n; ++k)
            out.push_back(kSpecific[random() % (sizeof kSpecific - 1)]);
        return out;
    };
    std::vector<nfkit::DetectionRecord> records;
    for (int i = 0; i < count; ++i) {
        nfkit::DetectionRecord r;
        r.id = static_cast<std::uint32_t>(0x1000 + i);
        r.subId = 1;
        const unsigned kind = random() % 20;
        r.flags = (random() % 2 ? nfkit::kStreamHttp | nfkit::kStreamHtml : 0) | (kind < 3 ? nfkit::kFlagNoCase : 0);
        const std::string head = kStems[random() % (sizeof kStems / sizeof kStems[0])] + specific(6 + random() % 10);
        int units = 0;
        auto literals = [&](const std::string& text) {
            for (char c : text) {
                if (units < nfkit::kMaxPatternUnits)
                    r.units[units++] = nfkit::MakeLiteralUnit(static_cast<std::uint8_t>(c));
            }
        };
        literals(head);
        if (kind >= 3 && kind < 6 && units < nfkit::kMaxPatternUnits - 8) {
            r.units[units++] = nfkit::MakeGapUnit(static_cast<std::uint16_t>(8 + random() % 24));
            literals(specific(7));
        } else if (kind == 6 && units < nfkit::kMaxPatternUnits - 8) {
            r.units[units++] = nfkit::MakeSkipUnit(static_cast<std::uint16_t>(1 + random() % 4));
            literals(specific(6));
        }
        r.unitCount = static_cast<std::uint8_t>(units);
        nfkit::DeriveStartKeys(r);
        records.push_back(r);
    }
    return records;
}

enum Corpus { kPlain = 0, kGzip = 1, kBinary = 2 };

std::vector<std::uint8_t> Response(Corpus corpus)
{
    switch (corpus) {
    case kPlain:
        return nftest::Bytes(PlainHtml());
    case kGzip: {
        const std::string html = PlainHtml();
        const std::string head = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Encoding: gzip\r\n\r\n";
        std::vector<std::uint8_t> out = nftest::Bytes(head);
        const auto body = nftest::Gzip(html.substr(html.find("<html>")));
        out.insert(out.end(), body.begin(), body.end());
        return out;
    }
    case kBinary:
        return nftest::Bytes(Binary());
    }
    return {};
}

void ReceivePath(benchmark::State& state)
{
    const auto corpus = static_cast<Corpus>(state.range(0));
    const int signatures = static_cast<int>(state.range(1));
    nftest::FakeHost host;
    hazard::HazardFilter filter;
    filter.InitPlugin();
    filter.InitPlugin2(&host.context);
    auto database = std::make_shared<hazard::DetectionDatabase>(Signatures(signatures));
    database->Prepare();
    filter.UseDatabase(database);
    if (signatures == 0)  // an empty table is "nothing loaded": keep one record no stream selects
        filter.UseDatabase(std::make_shared<hazard::DetectionDatabase>(nftest::Records("1 1 mail \"\\x01\\x02\"")));

    const std::vector<std::uint8_t> original = Response(corpus);
    std::vector<std::uint8_t> response = original;
    std::string request = "GET /index.html HTTP/1.1\r\nHost: bench.test\r\n\r\n";
    const auto remote = nftest::Address(0x0A000001, 80);
    std::size_t body = 0;
    int blocked = 0;
    for (auto _ : state) {
        FilterBuffer out{static_cast<std::uint32_t>(request.size()), request.data()};
        filter.Send(1, &out, 1, out.len);
        for (std::size_t at = 0; at < response.size(); at += kReceiveSize) {
            const std::size_t n = std::min(kReceiveSize, response.size() - at);
            FilterBuffer in{static_cast<std::uint32_t>(n), reinterpret_cast<char*>(response.data() + at)};
            blocked += filter.Recv(1, &in, 1, static_cast<std::uint32_t>(n), &remote) != 0;
        }
        body += response.size();
    }
    if (blocked != 0 || response != original)
        state.SkipWithError("a generated signature matched the corpus");
    state.SetBytesProcessed(static_cast<std::int64_t>(body));
    state.counters["records"] = signatures;
}

// The figures are for the bytes on the wire; for gzip that is the compressed
// body (the inflated page is about ten times larger and scanned too).
BENCHMARK(ReceivePath)
    ->ArgNames({"corpus", "records"})
    ->ArgsProduct({{kPlain, kGzip, kBinary}, {0, 100, 1000, 10000}})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
