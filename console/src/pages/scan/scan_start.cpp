#include "pages/scan/scan_start.h"

#include <array>
#include <string_view>
#include <utility>

#include "qvconsole_app.h"
#include "servicelink/html/html_document_model.h"
#include "servicelink/msg_results.h"

namespace {

constexpr std::array<std::string_view, 4> kTypes = {"quick", "intelligent", "full", "custom"};

// The scanner words of a custom scan's `scanners` text, and their bits.
constexpr std::pair<std::string_view, std::uint32_t> kScannerWords[] = {
    {"service", kScanService},   {"process", kScanProcess},   {"quarantine", kScanQuarantine},
    {"file", kScanFile},         {"registry", kScanRegistry}, {"com", kScanCom},
    {"distunit", kScanDistunit}, {"uninstall", kScanUninstall}, {"cookie", kScanCookie},
    {"hosts", kScanHosts},       {"driver", kScanDriver},     {"restore_point", kScanRestorePoint},
};

// The order in which set bits are named in the request, after "quarantine"
// and the file scanner.
constexpr std::pair<std::uint32_t, std::string_view> kRequestOrder[] = {
    {kScanProcess, ",process"},   {kScanRestorePoint, ",restore_point"}, {kScanRegistry, ",registry"},
    {kScanCom, ",com"},           {kScanDistunit, ",distunit"},          {kScanUninstall, ",uninstall"},
    {kScanCookie, ",cookie"},     {kScanHosts, ",hosts"},                {kScanDriver, ",driver"},
    {kScanService, ",service"},
};

constexpr const char* kQuickScanners = "cookie,quarantine,process,distunit,driver,uninstall,service";

}  // namespace

int ScanTypeNumber(const std::string& type)
{
    for (std::size_t i = 0; i < kTypes.size(); ++i)
        if (kTypes[i] == type)
            return static_cast<int>(i);
    return 2;
}

std::string ScanTypeName(int number)
{
    if (number < 0 || number >= static_cast<int>(kTypes.size()))
        return {};
    return std::string(kTypes[static_cast<std::size_t>(number)]);
}

std::string ScanTypeRadioIndex(const std::string& type)
{
    if (type == "intelligent")
        return "2";
    if (type == "full")
        return "3";
    if (type == "custom")
        return "4";
    return "1";
}

std::uint32_t CustomScannerBits(const std::string& scanners, bool virus)
{
    std::uint32_t bits = 0;
    for (const auto& [word, bit] : kScannerWords)
        if (scanners.find(word) != std::string::npos)
            bits |= bit;
    if (virus)
        bits |= kScanVirus;
    return bits;
}

NamedValues BuildScanStartRequest(const CDictionary& input, bool noOptimize)
{
    const std::string type = input.GetValue("scan_type").ToString();
    const int number = ScanTypeNumber(type);
    NamedValues request;
    // An unknown type is a full scan: the service is never asked for a type
    // it does not know.
    request.emplace_back("scan_type", ScanTypeName(number));
    if (number == 3) {
        const std::string directories = input.GetValue("directories").ToString();
        const std::uint32_t bits = CustomScannerBits(input.GetValue("scanners").ToString(),
                                                     input.GetValue("enable_virus_scan").ToInteger() != 0);
        std::string scanners = "quarantine";
        // "none" is the page's word for no folder: no file scanner then.
        if (!directories.empty() && directories != "none")
            scanners += ",file";
        for (const auto& [bit, word] : kRequestOrder)
            if ((bits & bit) != 0)
                scanners += word;
        request.emplace_back("directories", directories);
        request.emplace_back("partial_directories", input.GetValue("partial_directories").ToString());
        request.emplace_back("scanners", scanners);
        request.emplace_back("enable_virus_scan", (bits & kScanVirus) != 0 ? "1" : "0");
    } else if (number == 0) {
        request.emplace_back("scanners", kQuickScanners);
    }
    if (noOptimize)
        request.emplace_back("nooptimize", "1");
    return request;
}

ScannerStatus QueryScannerStatus(IConsoleServices& services)
{
    ScannerStatus status;
    const CMsgResults results = services.Query("korva.scanner.query_status");
    if (!results.Succeeded())
        return status;
    const CMsgCursor row = results.GetCursor();
    if (row["scan_status"].ToString() == "running")
        status.state = row["scan_initialized"].ToInteger() != 0 ? 3 : 2;
    const std::string type = row["scan_type"].ToString();
    // The service gives the type as its number; a name is accepted too.
    if (type.empty())
        status.typeNumber = -1;
    else if (type.find_first_not_of("0123456789") == std::string::npos)
        status.typeNumber = row["scan_type"].ToInteger();
    else
        status.typeNumber = ScanTypeName(ScanTypeNumber(type)) == type ? ScanTypeNumber(type) : -1;
    status.item = row["last_scan_item"].ToString();
    status.scanner = row["last_scan_scanner"].ToString();
    status.totalProgress = row["last_scan_total"].ToInteger();
    status.elementProgress = row["last_scan_percent"].ToInteger();
    status.elements = row["last_scan_elements"].ToUInteger64();
    return status;
}

CurrentScanType FindCurrentScanType(CHTMLDocumentModel& page, IConsoleServices& services, bool enable)
{
    CurrentScanType current;
    current.status = QueryScannerStatus(services);
    const CQVConsoleApp& app = CQVConsoleApp::Instance();
    if (app.m_bScanStartedHere == 1) {
        current.type = app.m_strCurrentScanType;
    } else if (current.status.state != 0) {
        current.type = ScanTypeName(current.status.typeNumber);
        current.initialized = current.status.state == 3;
    }
    const int number = current.type.empty() ? -1 : ScanTypeNumber(current.type);
    if (number >= 0 && ScanTypeName(number) == current.type) {
        const CHTMLElement radio = page.GetElementById(QStringLiteral("scanner%1").arg(number + 1));
        if (!radio.IsNull()) {
            if (enable)
                radio.RemoveAttribute(QStringLiteral("disabled"));
            radio.Click();
        }
    }
    return current;
}
