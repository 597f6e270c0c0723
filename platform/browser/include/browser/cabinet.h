// Cabinet extraction: the browser unpacks every cabinet (".cab") it
// downloads into a folder next to it, through FDICopy, which an add-on can
// intercept (interception.h) to look at the cabinet first.
//
// FDICopy(context, cabinetName, cabinetPath, flags, notify, decrypt, user)
// extracts the cabinet at cabinetPath + cabinetName (the path ends with a
// "/"; nothing is added between) into the context's folder. For each file
// NOTIFY is asked first (answer 1 to extract it, 0 to skip it, -1 to stop
// with a failure) and told after it was written. Answers TRUE when the
// cabinet was read to its end (skipped files included), FALSE otherwise,
// with the reason in FdiLastError(context).
//
// Cabinets come from the web and are untrusted: a file name that is
// absolute, climbs out of the folder ("..") or is empty is refused (the
// extraction fails), and extraction is done by libmspack.
#pragma once

#include "browser/window_api.h"

#include <string>

namespace kb {

struct FdiContext;
using HFDI = FdiContext*;

enum class FdiNotification {
    CopyFile,    // before a file: answer 1 extract, 0 skip, -1 stop (failure)
    FileClosed,  // after a file was written; the answer is ignored
};

struct FdiFile {
    const char* name;        // as stored in the cabinet ('\' turned into '/')
    std::uint32_t size;
    const char* destination; // where it is (or would be) written
};

using PFNFDINOTIFY = int (*)(FdiNotification notification, const FdiFile& file, void* user);
// Encrypted cabinets are not supported; the callback is never called.
using PFNFDIDECRYPT = int (*)(void* user);

enum class FdiError {
    None,
    CabinetNotFound,
    NotACabinet,
    CorruptCabinet,
    UnsafeFileName,
    TargetFile,     // a file could not be written
    UserAbort,      // NOTIFY answered -1
};

// A context that extracts into DESTINATION_FOLDER (created when missing).
HFDI FDICreate(const std::string& destinationFolder);
BOOL FDIDestroy(HFDI context);
FdiError FdiLastError(HFDI context);

// The interceptable entry point.
BOOL FDICopy(HFDI context, const char* cabinetName, const char* cabinetPath, int flags, PFNFDINOTIFY notify,
             PFNFDIDECRYPT decrypt, void* user);

}  // namespace kb
