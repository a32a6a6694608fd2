#pragma once
// What changed between an older scan and the current one, entry by entry,
// matched by path below each root: the two roots count as the same
// directory whatever their paths (RootsDiffer tells the caller when they
// are not the same path).
//
// Promises:
// - every entry of the current list is new, compared (with its older
//   entry), or not compared: it lies below a directory that one of the two
//   scans did not enter because it is on another file system; such a pair
//   changes nothing above it;
// - an older entry whose path the current list lacks is gone, and so is all
//   below it; a directory that became a file (or the reverse) is a gone
//   entry and a new one;
// - a directory's change is rolled up: it is the change of its totals, that
//   is the sum of the changes of all entries below it, the gone ones
//   included; sizes are the lists' own, so hard links hold their blocks
//   once, at their first link in list order, in both;
// - a change is "at least" where a directory at or below the entry could
//   not be read in either scan: one of the sizes compared is a lower bound.
//
// The comparison keeps 4 bytes per entry of the current list and 8 per
// topmost gone entry, and reads both lists while it lives: they must outlive
// it unchanged. Comparing walks each matched pair of directories once: their
// children in list order while the names agree, else both sorted by name
// and merged.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "scan/scan_list.h"

namespace sizewalk {

class CScanComparison {
public:
    enum class Kind : std::uint8_t { Unchanged, Grown, Shrunk, New, NotCompared };

    // A gone entry whose directory is still there: its older list index and
    // the current list index of that directory. What lies below it in the
    // older list is gone too.
    struct GoneEntry {
        std::uint32_t nOlder;
        std::uint32_t nParent;
    };

    // Compares `current` with `older` (neither empty). Throws std::bad_alloc
    // and then holds nothing.
    void Compare(const CScanList& current, const CScanList& older);
    void Clear() noexcept;
    bool Empty() const { return m_pCurrent == nullptr; }

    const CScanList& Current() const { return *m_pCurrent; }
    const CScanList& Older() const { return *m_pOlder; }
    // Whether the two start paths differ (then the comparison is by relative path).
    bool RootsDiffer() const;

    // The older entry compared with the current entry `index`, or
    // CScanList::kNone (new, or not compared).
    std::size_t OlderIndexOf(std::size_t index) const;
    Kind KindOf(std::size_t index, SizeMode mode) const;
    // Size now less size then (a directory's totals); a new entry's whole
    // size; 0 where not compared.
    std::int64_t ChangeOf(std::size_t index, SizeMode mode) const;
    bool IsAtLeast(std::size_t index) const;

    // The topmost gone entries, by the current directory that held them.
    std::span<const GoneEntry> Gone() const { return m_gone; }
    // Those that the current directory `index` held.
    std::span<const GoneEntry> GoneIn(std::size_t index) const;
    // An older entry's path rebased onto the current root.
    std::string GonePathOf(std::size_t olderIndex) const;
    bool IsGoneAtLeast(std::size_t olderIndex) const;

    // Counts: current entries that are new, older entries that are gone
    // (below gone directories too).
    std::size_t NewCount() const { return m_nNew; }
    std::size_t GoneCount() const { return m_nGoneAll; }

    std::size_t MemoryBytes() const;

private:
    struct Skipped {  // a pair not entered: what its sides differ by
        std::uint32_t nCurrent;
        std::int64_t nApparent, nDisk;
    };
    struct Child;
    void Walk();
    void Pair(const Child& now, const Child& then, std::uint32_t parent, std::vector<Child>& work);
    std::int64_t SkippedWithin(std::size_t begin, std::size_t end, SizeMode mode) const;

    const CScanList* m_pCurrent = nullptr;
    const CScanList* m_pOlder = nullptr;
    std::vector<std::uint32_t> m_match;  // by current index: older index or a mark
    std::vector<GoneEntry> m_gone;
    std::vector<Skipped> m_skipped;  // by current index
    std::size_t m_nNew = 0, m_nGoneAll = 0;
};

// The entries whose change is largest in size (either sign), gone ones
// included, at most `count`, largest first; unchanged and not compared
// entries never.
struct ScanChange {
    bool bGone;  // nIndex is then an older index
    std::uint32_t nIndex;
    std::int64_t nChange;
};
std::vector<ScanChange> LargestChanges(const CScanComparison& comparison, SizeMode mode,
                                       std::size_t count);

}  // namespace sizewalk
