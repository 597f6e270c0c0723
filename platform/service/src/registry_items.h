// Registry items of the stand-in registry: how a found key or value is
// shown (the XML item data the result pages draw lines from), and the
// restore copy kept when the quarantine deletes it.
#pragma once

#include <string>

#include "win/registry.h"

namespace korvad {

// "HKEY_CURRENT_USER\<path>", and for a value "...\<path>\<value name>".
std::string RegistryItemName(win::Hive hive, const std::string& keyPath, const std::string* valueName = nullptr);

// <ROOT><KEY name="HKEY_...\path"><VALUE name="n">text</VALUE>...<KEY name="sub">...</KEY></KEY></ROOT>;
// a value item holds its key with only that value. Bounded in depth and
// size. False when the key (or value) does not exist.
bool RegistryKeyXml(win::Hive hive, const std::string& keyPath, std::string& xml);
bool RegistryValueXml(win::Hive hive, const std::string& keyPath, const std::string& valueName, std::string& xml);

// A restore copy of a key with everything below it, or of one value, as
// text; then the deletion itself. Restoring recreates keys and values
// (values that exist by then are overwritten with the saved ones).
bool SnapshotRegistryKey(win::Hive hive, const std::string& keyPath, std::string& snapshot, std::string* error);
bool SnapshotRegistryValue(win::Hive hive, const std::string& keyPath, const std::string& valueName,
                           std::string& snapshot, std::string* error);
bool DeleteRegistryKey(win::Hive hive, const std::string& keyPath, std::string* error);
bool DeleteRegistryValue(win::Hive hive, const std::string& keyPath, const std::string& valueName, std::string* error);
bool RestoreRegistrySnapshot(const std::string& snapshot, std::string* error);

}  // namespace korvad
