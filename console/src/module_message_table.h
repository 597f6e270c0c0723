// The control panel's message texts from the UI resource module, for when
// the UI resource path is no folder of plain files (the built and installed
// programs keep their resources in the module only).
#pragma once

#include <QString>

#include "servicelink/string_factory.h"

// Gives STRINGS the table "MESSAGES" of the module at MODULEPATH; false (and
// STRINGS left as it was) when the module or its table cannot be read.
bool LoadModuleMessages(CStringFactory& strings, const QString& modulePath);
