// Starting a scan: the scan types, the custom scanner set and the
// "korva.scanner.start" request every caller sends (the scan page, the
// scan-now button, the command line and the launch message), and the
// scanner status the scan pages read.
#pragma once

#include <cstdint>
#include <string>

#include "console_services.h"
#include "servicelink/value_accessor.h"

// The scanner bits of a custom scan.
enum ScannerBits : std::uint32_t {
    kScanQuarantine = 0x1,
    kScanProcess = 0x2,
    kScanFile = 0x4,
    kScanRestorePoint = 0x8,
    kScanRegistry = 0x10,
    kScanCom = 0x20,
    kScanDistunit = 0x40,
    kScanUninstall = 0x80,
    kScanCookie = 0x100,
    kScanHosts = 0x200,
    kScanDriver = 0x400,
    kScanService = 0x800,
    kScanVirus = 0x1000,
};

// "quick" 0, "intelligent" 1, "full" 2, "custom" 3; any other text counts as
// "full" (2).
int ScanTypeNumber(const std::string& type);
// The type of a number; empty for a number that is no scan type.
std::string ScanTypeName(int number);
// The scan pages' radio index of TYPE: "1" quick, "2" intelligent, "3" full,
// "4" custom; anything else "1".
std::string ScanTypeRadioIndex(const std::string& type);

// The scanner bits named in SCANNERS (words found anywhere in the text) plus
// the virus bit when VIRUS is set.
std::uint32_t CustomScannerBits(const std::string& scanners, bool virus);

// The parameters of "korva.scanner.start" for INPUT (`scan_type` and, for
// custom, `directories`, `partial_directories`, `scanners`,
// `enable_virus_scan`). A type that is none of the four is sent as "full";
// a custom scan whose `directories` are empty or "none" gets no file scanner.
NamedValues BuildScanStartRequest(const CDictionary& input, bool noOptimize);

// The scanner status ("korva.scanner.query_status"); a failed request reads
// as no scan.
struct ScannerStatus {
    int state = 0;       // 0 none; 2 running, not initialized; 3 running and initialized
    int typeNumber = -1;
    std::string item;
    std::string scanner;
    int totalProgress = 0;
    int elementProgress = 0;
    std::uint64_t elements = 0;
};
ScannerStatus QueryScannerStatus(IConsoleServices& services);

class CHTMLDocumentModel;

// What the scan pages know about the scan of this moment: its type, whether
// the scanner is initialized, and the status record it was read from. When
// this program started the scan, the type is the one it started; else the
// running scan's. With a known type the page's radio element "scanner1" to
// "scanner4" of that type is clicked, after its "disabled" attribute was
// removed when ENABLE is set.
struct CurrentScanType {
    std::string type;
    bool initialized = false;
    ScannerStatus status;
};
CurrentScanType FindCurrentScanType(CHTMLDocumentModel& page, IConsoleServices& services, bool enable);
