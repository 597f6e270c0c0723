#include "site_list_loader.h"

#include "kit/site_database.h"

#include <vector>

namespace hostfilter {

std::unique_ptr<SiteLookup> BuildSiteLookup(const nfkit::SiteDatabase& db)
{
    SiteLookup::Builder builder;
    for (const nfkit::SiteCategory& category : db.Categories())
        builder.AddCategory(category.id, category.defaultLevel, category.type, category.name);
    for (int t = 0; t < nfkit::kSiteTableCount; ++t) {
        auto type = static_cast<nfkit::SiteEntryType>(t);
        auto entries = db.Entries(type);
        // The index holds the entries that had not expired; adding them in
        // file order keeps the first listed of equal entries first.
        std::vector<bool> current(entries.size(), false);
        for (uint32_t position : db.SortedIndex(type)) {
            if (position < entries.size())
                current[position] = true;
        }
        auto table = static_cast<SiteTable>(t);
        for (std::size_t i = 0; i < entries.size(); ++i) {
            if (!current[i])
                continue;
            const nfkit::SiteEntry& entry = entries[i];
            if (nfkit::IsAddressType(type))
                builder.AddAddress(table, entry.value, entry.actionLevel, entry.categoryId);
            else
                builder.AddText(table, db.Text(entry), entry.actionLevel, entry.categoryId);
        }
    }
    return builder.Build();
}

int LoadSiteList(const std::string& path, int today, std::unique_ptr<SiteLookup>& out)
{
    out.reset();
    std::unique_ptr<nfkit::SiteDatabase> db;
    int result = nfkit::LoadSiteDatabases(path, today, db);
    if (result <= 0 || db == nullptr)
        return result <= 0 ? result : 0;
    try {
        out = BuildSiteLookup(*db);
    } catch (...) {
        // Out of memory while building the tables: the list stays unloaded.
        out.reset();
        return 0;
    }
    return result;
}

}  // namespace hostfilter
