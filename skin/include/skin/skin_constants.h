// Named numbers the layout format accepts for font fields and image-list
// flags (FW_BOLD, FIXED_PITCH, ILC_COLOR32, ...): the values of the Windows
// constants of the same names, plus TRUE and FALSE.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace skin {

// The value of one constant name (case-sensitive), or nothing.
std::optional<std::int32_t> LookupConstant(const QString& name);
int ConstantCount();

// Reads TEXT as "NAME|NAME|123": decimal parts that are not 0 and known
// names are OR-ed into VALUE; "0" alone is 0. Unknown parts add nothing and
// are listed in *UNKNOWNPARTS. Always succeeds.
bool GetConstant(const QString& text, std::int32_t& value, QStringList* unknownParts = nullptr);

}  // namespace skin
