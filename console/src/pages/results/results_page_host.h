// What a results page needs of the window that shows it: run an item
// action (the modal item action dialog) and reload a page file. The main
// window provides both; a document finds them through its owner (see
// CResultsDocBase::PageHost).
#pragma once

#include <string>
#include <vector>

class IResultsPageHost {
public:
    virtual ~IResultsPageHost() = default;
    // Runs ACTION ("remove", "allow", "move_to_detected", "restore") on the
    // package codes ITEMS, in order; returns when the run is over, true
    // when every entry succeeded.
    virtual bool RunItemAction(const std::vector<std::string>& items, const std::string& action) = 0;
    // Shows PAGEFILE again, even when it is the page shown.
    virtual void ReloadPage(const std::string& pageFile) = 0;
};
