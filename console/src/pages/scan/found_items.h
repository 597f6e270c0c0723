// The found-items table of the scanning page: what one found package's row
// shows, built from a threat notification or a row of
// "korva.quarantine.query_found_items".
#pragma once

#include <string>

#include "console_services.h"
#include "servicelink/value_accessor.h"

// A package's description by its code. "virus:NAME" names itself (severity
// "4"); "virtual:ID" and an empty code are "Threat ID:ID"; any other code is
// asked of the service ("korva.targets.query_package_info"), and a failed
// request gives an empty description.
CDictionary DescribePackage(const std::string& code, IConsoleServices& services);

// One row of the table.
struct FoundItemRow {
    std::string code;
    std::string name;
    std::string shortType;  // the first of several types followed by "..."
    std::string severity;
    std::string fullType;   // the types joined by ", "
};

// The row for INPUT (the found package's named values) and its
// DESCRIPTION. NO_LONGER_TARGETED names a package the service no longer
// knows.
FoundItemRow BuildFoundItemRow(const CValueAccessor& input, const CDictionary& description,
                               const std::string& noLongerTargeted);

// The number of found items INPUT stands for: `found_item_count`, and 1 when
// that is not a positive number.
unsigned FoundItemCount(const CValueAccessor& input);
