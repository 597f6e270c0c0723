// The site database reader on arbitrary bytes, as one file and merged with
// itself: no read outside the bytes, every kept entry names a category.
// Each input is read twice: as it is, and with the CRC flag cleared so that
// changed bytes reach the entries instead of stopping at the checksum.
#include <kit/site_database.h>

#include <cstdlib>
#include <cstring>
#include <memory>

static int Check(const std::uint8_t* data, std::size_t size)
{
    nfkit::SiteDatabase db;
    const int result = nfkit::ParseSiteDatabase({data, size}, 100, db);
    if (result <= 0)
        return 0;
    for (int t = 0; t < nfkit::kSiteTableCount; ++t) {
        for (const auto& entry : db.Entries(static_cast<nfkit::SiteEntryType>(t))) {
            if (db.FindCategory(entry.categoryId) == nullptr)
                std::abort();
            if (!nfkit::IsAddressType(entry.type) && db.Text(entry).empty())
                std::abort();
        }
    }
    auto merged = nfkit::MergeSiteDatabases(db, db, 100);
    if (merged->ValidEntryCount() != 2 * result)
        std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Check(data, size);
    if (size >= 24) {
        std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[size]);
        std::memcpy(copy.get(), data, size);
        copy[21] &= ~0x01;  // flag 0x100
        Check(copy.get(), size);
    }
    return 0;
}
