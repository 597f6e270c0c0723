// The quarantine vault: a folder under the service folder where removed
// files wait, one file per item named by its item code, until they are
// restored or purged.
//
// Nothing is lost on the way in or out: a move within one file system is a
// rename (the file is at exactly one of the two places at any time); across
// file systems the copy is written and synced under a temporary name,
// renamed into place and synced before the original is unlinked. Restoring
// never overwrites a file that is in the way.
#pragma once

#include <string>

namespace korvad {

class Vault {
public:
    explicit Vault(std::string folder);
    const std::string& Folder() const { return m_folder; }
    std::string PathOf(const std::string& name) const { return m_folder + "/" + name; }
    bool Contains(const std::string& name) const;

    // Moves the regular file ORIGINAL into the vault as NAME.
    bool MoveIn(const std::string& original, const std::string& name, std::string* error);
    // Moves NAME back to ORIGINAL (parent folders are created).
    bool MoveOut(const std::string& name, const std::string& original, std::string* error);
    // Deletes NAME for good.
    bool Purge(const std::string& name, std::string* error);

private:
    std::string m_folder;
};

}  // namespace korvad
