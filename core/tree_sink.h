#pragma once
// Where the scan command shows a scan: a view that builds the scan tree
// (model/scan_tree.h) of a list and shows it. A fill is DeleteAllItems(),
// then ShowList(). The view keeps referring to the list until its next
// DeleteAllItems(), so the command empties the view before the list changes.

#include "model/labels.h"
#include "scan/scan_list.h"

namespace sizewalk {

class CTreeSink {
public:
    virtual ~CTreeSink() = default;

    // Empties the tree. Must not throw: it is also the way back to a sound
    // state after a failed fill.
    virtual void DeleteAllItems() = 0;
    // Shows `list` (not empty) as a tree: files too when `files` says so,
    // every label in `units`. May throw std::bad_alloc, leaving the view
    // empty.
    virtual void ShowList(const CScanList& list, Units units, Files files) = 0;
};

}  // namespace sizewalk
