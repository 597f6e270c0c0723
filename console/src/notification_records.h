// The small records the service client builds from notifications. Texts
// point into the notification and are valid only during the callback.
#pragma once

#include <cstdint>

struct ConfigChangeRecord {
    int setting;        // KorvaConfigSetting
    int type;           // ConfigValueType
    const char* text;   // type 0
    int integer;        // type 2
    std::int64_t integer64;  // type 4
    bool boolean;       // type 1
    std::int64_t time;  // type 3
};

struct QuarantinePackageRecord {
    const char* package_code;
    int severity;
    const char* package_name;
    int package_quarantine_status;
    int package_source;
};

struct QuarantineItemRecord {
    const char* item_code;
    const char* item_name;
    const char* item_class;
    const char* path;
    const char* item_data;
    int definition_id;
    int item_status;
    int target_source;
    const char* package_code;
    int severity;
    const char* package_name;
    int package_quarantine_status;
    int package_source;
};

struct HistoryRecord {
    int source;
    int type;
    const char* message;
    const char* text;
    std::int64_t timestamp;
};

enum PackageActionKind : int { kItemProgress = 0, kPackageStarted = 1, kPackageFinished = 2 };

struct PackageActionRecord {
    int kind;
    const char* package_code;
    const char* path;
    const char* item_class;
    const char* package_name;
    double percent;
};

struct ScannerProgressRecord {
    const char* scan_item;
    const char* scan_scanner;
    int scan_total;
    int scan_percent;
    int scan_elements;
};

struct ScannerThreatRecord {
    const char* package_code;
    const char* package_name;
    const char* package_type;
    int severity;
};

// Scanner state codes.
enum ScannerState : int {
    kScannerCheckingUpdates = 1,
    kScannerUpdatesChecked = 2,
    kScannerInitialized = 3,
    kScannerComplete = 4,
    kScannerException = 5,
};

// Severity and item-status words as numbers.
int SeverityNumber(const char* text);
int ItemStatusNumber(const char* text);
