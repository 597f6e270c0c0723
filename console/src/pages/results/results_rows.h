// The rows of the scan results tables: what one quarantine item record
// becomes on the page. Pure functions, so the loaders and expand_row build
// exactly the same lines.
#pragma once

#include <QString>
#include <QStringList>
#include <string>
#include <vector>

#include "servicelink/msg_cursor.h"
#include "servicelink/value_accessor.h"

namespace results {

// How many item lines of a package the tables show before its summary row.
inline constexpr int kShownLinesPerPackage = 21;

// The lines a registry item shows, from its item data (an XML text whose
// root's first child is a KEY). Data that cannot be read, or that yields no
// line, shows PATH alone.
std::vector<std::string> RegistryLines(const std::string& itemData, const std::string& path);

// The display form of a file inside a container: the inner path, then the
// container in brackets. A path without the container separator is shown
// whole.
std::string ContainedDisplayPath(const std::string& path);

// The type column: the first of several comma-separated types followed by
// "...", and all of them joined by ", " for the tool-tip.
QString ShortType(const QString& type);
QString FullType(const QString& type);

// A severity as the service gives it (a number, or a word such as "high")
// as its number 0-4.
int SeverityValue(const CStringValue& severity);

// The row dictionary of the current record of CURSOR (without `top`).
CDictionary RowFromRecord(const CMsgCursor& cursor);

// The row dictionaries the record's row stands for: one per registry line,
// the display form of a contained file, or the row itself.
std::vector<CDictionary> LinesOfRow(const CDictionary& row);

}  // namespace results
