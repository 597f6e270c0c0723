// Loads the site black list: the kit reads (and merges) the database files,
// then the entries that have not expired are put into the lookup tables the
// black list searches.
#pragma once

#include "site_lookup.h"

#include <memory>
#include <string>

namespace nfkit {
class SiteDatabase;
}

namespace hostfilter {

// Loads PATH and "sb2.dat" beside it for day TODAY. Returns the number of
// valid entries read (the sum of both files) and sets OUT, or a value of 0
// or less (the reader's error) and leaves OUT empty.
int LoadSiteList(const std::string& path, int today, std::unique_ptr<SiteLookup>& out);

// The lookup tables for the entries of DB that were not expired when its
// index was built, in file order.
std::unique_ptr<SiteLookup> BuildSiteLookup(const nfkit::SiteDatabase& db);

}  // namespace hostfilter
