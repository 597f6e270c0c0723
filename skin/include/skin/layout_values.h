// Reading attribute values of layout and template elements, reporting each
// value that is not what the format allows.
#pragma once

#include "skin/layout_xml.h"

#include <QStringList>

#include <cstdint>
#include <initializer_list>

namespace skin {

// Reports every attribute of ELEMENT that is not in ALLOWED.
void CheckAttributes(const CLayoutElement& element, std::initializer_list<const char*> allowed,
                     const QString& source, QList<SkinWarning>* warnings);

// The attribute as a decimal number; absent or empty gives FALLBACK, text
// that is not a number gives 0 and a warning.
int ReadIntAttribute(const CLayoutElement& element, const QString& name, int fallback,
                     const QString& source, QList<SkinWarning>* warnings);

// A style attribute ("WS_CHILD|SS_NOTIFY"); unknown names are reported.
std::uint32_t ReadStyleText(const CLayoutElement& element, const QString& text,
                            const QString& attribute, const QString& source,
                            QList<SkinWarning>* warnings);

}  // namespace skin
