#include "pages/scan/found_items.h"

#include <cctype>

#include "servicelink/msg_results.h"

CDictionary DescribePackage(const std::string& code, IConsoleServices& services)
{
    CDictionary description;
    const bool isVirtual = code.empty() || code.rfind("virtual:", 0) == 0;
    if (!isVirtual && code.rfind("virus:", 0) == 0) {
        description["package_name"] = code.substr(6);
        description["package_code"] = code;
        description["severity"] = "4";
    } else if (!isVirtual) {
        const CMsgResults results = services.Query("korva.targets.query_package_info", {{"package_code", code}});
        if (results.Succeeded())
            results.GetCursor().GetRowData(description);
    } else {
        const std::string id = code.size() > 8 ? code.substr(8) : std::string();
        description["package_name"] = "Threat ID:" + id;
        description["package_code"] = "virtual:" + id;
    }
    return description;
}

FoundItemRow BuildFoundItemRow(const CValueAccessor& input, const CDictionary& description,
                               const std::string& noLongerTargeted)
{
    FoundItemRow row;
    row.code = input.GetValue("package_code").ToString();
    row.name = description.GetValue("package_name").ToString();
    if (row.name.empty())
        row.name = noLongerTargeted;
    std::string type = description.GetValue("type").ToString();
    if (type.empty()) {
        if (input.HasValue("virus_type")) {
            type = input.GetValue("virus_type").ToString();
            if (!type.empty())
                type[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(type[0])));
        } else {
            type = "Adware";
        }
    }
    row.severity = description.GetValue("severity").ToString();
    if (row.severity.empty())
        row.severity = "2";
    const std::size_t comma = type.find(',');
    row.shortType = comma == std::string::npos ? type : type.substr(0, comma) + "...";
    for (const char c : type) {
        row.fullType += c;
        if (c == ',')
            row.fullType += ' ';
    }
    return row;
}

unsigned FoundItemCount(const CValueAccessor& input)
{
    const long long count = input.GetValue("found_item_count").ToInteger64();
    if (count <= 0)
        return 1;
    return count > 0xFFFFFFFFLL ? 0xFFFFFFFFu : static_cast<unsigned>(count);
}
