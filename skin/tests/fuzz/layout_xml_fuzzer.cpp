// Layout and template files: any bytes must parse or be refused with a
// warning, never crash.
#include "skin/dialog_template.h"
#include "skin/layout_xml.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QList<skin::SkinWarning> warnings;
    (void)skin::ParseLayoutXml(bytes, QStringLiteral("fuzz"), &warnings);
    (void)skin::ParseDialogTemplate(bytes, QStringLiteral("T"), QStringLiteral("fuzz"), &warnings);
    return 0;
}
