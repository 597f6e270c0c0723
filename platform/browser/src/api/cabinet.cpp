// Cabinet extraction with libmspack. The cabinet is untrusted: every file
// name is checked before anything is written, and libmspack does the
// decompression (it checks the cabinet's structure itself).

#include "browser/cabinet.h"

#include <mspack.h>

#include <QString>
#include <QStringList>

#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

namespace kb {

struct FdiContext {
    std::filesystem::path folder;
    FdiError lastError = FdiError::None;
};

namespace {

// The name as a relative path inside the folder, or empty when it is not
// safe: empty, absolute, with a drive, or with "." / ".." / empty parts.
std::string SafeRelativeName(const mscabd_file& file)
{
    QString name = (file.attribs & MSCAB_ATTRIB_UTF_NAME) != 0 ? QString::fromUtf8(file.filename)
                                                               : QString::fromLatin1(file.filename);
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (name.isEmpty() || name.startsWith(QLatin1Char('/')) || name.contains(QLatin1Char(':')) ||
        name.contains(QChar(0)))
        return {};
    for (const QString& part : name.split(QLatin1Char('/'))) {
        if (part.isEmpty() || part == QLatin1String(".") || part == QLatin1String(".."))
            return {};
    }
    return name.toStdString();
}

struct DecompressorDeleter {
    void operator()(mscab_decompressor* d) const { mspack_destroy_cab_decompressor(d); }
};

}  // namespace

HFDI FDICreate(const std::string& destinationFolder)
{
    auto* context = new FdiContext;
    context->folder = destinationFolder;
    return context;
}

BOOL FDIDestroy(HFDI context)
{
    if (context == nullptr)
        return win::FALSE;
    delete context;
    return win::TRUE;
}

FdiError FdiLastError(HFDI context)
{
    return context != nullptr ? context->lastError : FdiError::None;
}

namespace detail {

BOOL FDICopyImpl(HFDI context, const char* cabinetName, const char* cabinetPath, int, PFNFDINOTIFY notify,
                 PFNFDIDECRYPT, void* user)
{
    if (context == nullptr || cabinetName == nullptr || cabinetPath == nullptr)
        return win::FALSE;
    context->lastError = FdiError::None;
    auto fail = [context](FdiError error) {
        context->lastError = error;
        return win::FALSE;
    };
    std::string path = std::string(cabinetPath) + cabinetName;
    std::unique_ptr<mscab_decompressor, DecompressorDeleter> decompressor(mspack_create_cab_decompressor(nullptr));
    if (!decompressor)
        return fail(FdiError::CorruptCabinet);
    mscabd_cabinet* cabinet = decompressor->open(decompressor.get(), path.c_str());
    if (cabinet == nullptr) {
        int error = decompressor->last_error(decompressor.get());
        return fail(error == MSPACK_ERR_OPEN ? FdiError::CabinetNotFound : FdiError::NotACabinet);
    }
    std::error_code ec;
    std::filesystem::create_directories(context->folder, ec);
    BOOL ok = win::TRUE;
    for (mscabd_file* file = cabinet->files; file != nullptr; file = file->next) {
        std::string name = SafeRelativeName(*file);
        if (name.empty()) {
            ok = fail(FdiError::UnsafeFileName);
            break;
        }
        std::filesystem::path target = context->folder / name;
        std::string targetText = target.string();
        FdiFile info{name.c_str(), file->length, targetText.c_str()};
        int answer = notify != nullptr ? notify(FdiNotification::CopyFile, info, user) : 1;
        if (answer < 0) {
            ok = fail(FdiError::UserAbort);
            break;
        }
        if (answer == 0)
            continue;
        std::filesystem::create_directories(target.parent_path(), ec);
        int result = decompressor->extract(decompressor.get(), file, targetText.c_str());
        if (result != MSPACK_ERR_OK) {
            ok = fail(result == MSPACK_ERR_OPEN || result == MSPACK_ERR_WRITE ? FdiError::TargetFile
                                                                              : FdiError::CorruptCabinet);
            break;
        }
        if (notify != nullptr)
            notify(FdiNotification::FileClosed, info, user);
    }
    decompressor->close(decompressor.get(), cabinet);
    return ok;
}

}  // namespace detail
}  // namespace kb
