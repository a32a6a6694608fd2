#pragma once
// Where the scan command puts the tree it builds. A fill is: DeleteAllItems(),
// then InsertItem() for every shown entry in list order, then EndInsert().
// A sink may build label text later from the entry it was given (the entry
// outlives the items until the next DeleteAllItems()), or at once with
// FormatLabel().

#include <cstddef>

#include "model/labels.h"
#include "scan/scan_entry.h"

namespace sizewalk {

class CTreeSink {
public:
    virtual ~CTreeSink() = default;

    // Empties the tree. Must not throw: it is also the way back to a sound
    // state after a failed fill.
    virtual void DeleteAllItems() = 0;
    // About how many items the coming fill inserts (an upper bound).
    virtual void ReserveItems(std::size_t count) { (void)count; }
    // Inserts `entry` under `parent` (kNoTreeItem: the top level) among the
    // parent's children in sorted label order; `units` chooses the label
    // format and is the same for a whole fill. Returns a handle usable as a
    // parent, never kNoTreeItem and at most kMaxTreeItem.
    virtual TreeItem InsertItem(TreeItem parent, const CScanEntry& entry, Units units) = 0;
    // The last item of the fill is in.
    virtual void EndInsert() {}
};

}  // namespace sizewalk
