#include "model/scan_compare.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <queue>

namespace sizewalk {

namespace {

constexpr std::uint32_t kNew = 0xFFFFFFFFu;
constexpr std::uint32_t kNotEntered = 0xFFFFFFFEu;
constexpr std::uint32_t kNoDir = 0xFFFFFFFFu;

// For each directory (table index), the table index one past the
// directories of its subtree: a subtree's directories are one run of the
// table, so skipping a child directory costs nothing.
std::vector<std::uint32_t> DirectoryEnds(const CScanList& list) {
    const auto dirs = list.Dirs();
    std::vector<std::uint32_t> ends(dirs.size()), open;
    for (std::uint32_t t = 0; t < dirs.size(); ++t) {
        while (!open.empty() && dirs[open.back()].nEnd <= dirs[t].nEntry) {
            ends[open.back()] = t;
            open.pop_back();
        }
        open.push_back(t);
    }
    for (const std::uint32_t t : open) ends[t] = static_cast<std::uint32_t>(dirs.size());
    return ends;
}

std::int64_t Difference(std::uint64_t now, std::uint64_t then) {
    return static_cast<std::int64_t>(now - then);
}

bool UnreadableAtOrBelow(const CScanList& list, std::size_t index) {
    return list.ReadErrorOf(index) != 0 || list.HasUnreadableBelow(index);
}

}  // namespace

struct CScanComparison::Child {
    const char* name;
    std::uint32_t nIndex;
    std::uint32_t nTable;  // kNoDir for anything but a directory
};

namespace {

struct Side {
    const CScanList& list;
    std::span<const CScanList::DirRecord> dirs;
    std::vector<std::uint32_t> ends;
};

}  // namespace

void CScanComparison::Clear() noexcept {
    m_pCurrent = m_pOlder = nullptr;
    std::vector<std::uint32_t>().swap(m_match);
    std::vector<GoneEntry>().swap(m_gone);
    std::vector<Skipped>().swap(m_skipped);
    m_nNew = m_nGoneAll = 0;
}

void CScanComparison::Compare(const CScanList& current, const CScanList& older) {
    Clear();
    m_pCurrent = &current;
    m_pOlder = &older;
    try {
        Walk();
    } catch (...) {
        Clear();
        throw;
    }
}

void CScanComparison::Walk() {
    const CScanList& now = *m_pCurrent;
    const CScanList& then = *m_pOlder;
    m_match.assign(now.Count(), kNew);
    m_match[0] = 0;
    const Side sides[2] = {{now, now.Dirs(), DirectoryEnds(now)},
                           {then, then.Dirs(), DirectoryEnds(then)}};

    // The matched directory pairs still to open, as (current, older).
    std::vector<Child> work{{nullptr, 0, 0}, {nullptr, 0, 0}};
    std::vector<Child> kids[2];
    auto byName = [](const Child& a, const Child& b) {
        const int order = std::strcmp(a.name, b.name);
        return order != 0 ? order < 0 : a.nIndex < b.nIndex;
    };
    while (!work.empty()) {
        const Child dirs[2] = {work[work.size() - 2], work.back()};
        work.resize(work.size() - 2);
        for (int s = 0; s < 2; ++s) {
            const Side& side = sides[s];
            std::vector<Child>& out = kids[s];
            out.clear();
            const std::size_t end = side.dirs[dirs[s].nTable].nEnd;
            std::uint32_t table = dirs[s].nTable + 1;
            for (std::size_t c = dirs[s].nIndex + 1; c < end;) {
                const CScanEntry& e = side.list[c];
                if (e.IsDirectory()) {
                    out.push_back({e.GetNameCStr(), static_cast<std::uint32_t>(c), table});
                    c = side.dirs[table].nEnd;
                    table = side.ends[table];
                } else {
                    out.push_back({e.GetNameCStr(), static_cast<std::uint32_t>(c), kNoDir});
                    ++c;
                }
            }
        }
        // Mostly both list the same names in the same order up to the first change.
        std::size_t k = 0;
        const std::size_t common = std::min(kids[0].size(), kids[1].size());
        for (; k < common && std::strcmp(kids[0][k].name, kids[1][k].name) == 0; ++k)
            Pair(kids[0][k], kids[1][k], dirs[0].nIndex, work);
        std::sort(kids[0].begin() + static_cast<std::ptrdiff_t>(k), kids[0].end(), byName);
        std::sort(kids[1].begin() + static_cast<std::ptrdiff_t>(k), kids[1].end(), byName);
        std::size_t a = k, b = k;
        while (a < kids[0].size() || b < kids[1].size()) {
            const int order = a == kids[0].size()   ? 1
                              : b == kids[1].size() ? -1
                                                    : std::strcmp(kids[0][a].name, kids[1][b].name);
            if (order == 0) {
                Pair(kids[0][a++], kids[1][b++], dirs[0].nIndex, work);
            } else if (order < 0) {
                const Child& c = kids[0][a++];
                m_nNew += now.SubtreeEnd(c.nIndex) - c.nIndex;
            } else {
                const Child& c = kids[1][b++];
                m_gone.push_back({c.nIndex, dirs[0].nIndex});
                m_nGoneAll += then.SubtreeEnd(c.nIndex) - c.nIndex;
            }
        }
    }
    std::sort(m_gone.begin(), m_gone.end(), [](const GoneEntry& x, const GoneEntry& y) {
        return x.nParent != y.nParent ? x.nParent < y.nParent : x.nOlder < y.nOlder;
    });
    std::sort(m_skipped.begin(), m_skipped.end(),
              [](const Skipped& x, const Skipped& y) { return x.nCurrent < y.nCurrent; });
}

void CScanComparison::Pair(const Child& now, const Child& then, std::uint32_t parent,
                           std::vector<Child>& work) {
    const CScanEntry& a = (*m_pCurrent)[now.nIndex];
    const CScanEntry& b = (*m_pOlder)[then.nIndex];
    if (a.IsOtherFileSystem() || b.IsOtherFileSystem()) {
        // Entered by at most one scan: nothing below it is compared, and what
        // one side holds there changes no total above.
        m_match[now.nIndex] = then.nIndex;
        const std::size_t end = m_pCurrent->SubtreeEnd(now.nIndex);
        std::fill(m_match.begin() + now.nIndex + 1,
                  m_match.begin() + static_cast<std::ptrdiff_t>(end), kNotEntered);
        m_skipped.push_back({now.nIndex, Difference(a.m_nSize, b.m_nSize),
                             Difference(a.m_nDiskSize, b.m_nDiskSize)});
        return;
    }
    if (!a.IsDirectory() != !b.IsDirectory()) {
        m_nNew += m_pCurrent->SubtreeEnd(now.nIndex) - now.nIndex;
        m_gone.push_back({then.nIndex, parent});
        m_nGoneAll += m_pOlder->SubtreeEnd(then.nIndex) - then.nIndex;
        return;
    }
    m_match[now.nIndex] = then.nIndex;
    if (a.IsDirectory()) {
        work.push_back(now);
        work.push_back(then);
    }
}

bool CScanComparison::RootsDiffer() const {
    std::string a(Current()[0].GetName()), b(Older()[0].GetName());
    while (a.size() > 1 && kPathSeparators.find(a.back()) != std::string_view::npos) a.pop_back();
    while (b.size() > 1 && kPathSeparators.find(b.back()) != std::string_view::npos) b.pop_back();
    return a != b;
}

std::size_t CScanComparison::OlderIndexOf(std::size_t index) const {
    const std::uint32_t m = m_match[index];
    return m == kNew || m == kNotEntered ? CScanList::kNone : m;
}

std::int64_t CScanComparison::SkippedWithin(std::size_t begin, std::size_t end,
                                            SizeMode mode) const {
    std::int64_t sum = 0;
    auto it = std::lower_bound(m_skipped.begin(), m_skipped.end(), begin,
                               [](const Skipped& s, std::size_t i) { return s.nCurrent < i; });
    for (; it != m_skipped.end() && it->nCurrent < end; ++it)
        sum += mode == SizeMode::OnDisk ? it->nDisk : it->nApparent;
    return sum;
}

std::int64_t CScanComparison::ChangeOf(std::size_t index, SizeMode mode) const {
    const std::uint32_t m = m_match[index];
    if (m == kNotEntered) return 0;
    const std::uint64_t now = Current()[index].GetShownSize(mode);
    if (m == kNew) return static_cast<std::int64_t>(now);
    const std::int64_t change = Difference(now, Older()[m].GetShownSize(mode));
    if (m_skipped.empty()) return change;
    return change - SkippedWithin(index, Current().SubtreeEnd(index), mode);
}

CScanComparison::Kind CScanComparison::KindOf(std::size_t index, SizeMode mode) const {
    const std::uint32_t m = m_match[index];
    if (m == kNotEntered) return Kind::NotCompared;
    if (m == kNew) return Kind::New;
    if (Current()[index].IsOtherFileSystem() || Older()[m].IsOtherFileSystem())
        return Kind::NotCompared;
    const std::int64_t change = ChangeOf(index, mode);
    return change > 0 ? Kind::Grown : change < 0 ? Kind::Shrunk : Kind::Unchanged;
}

bool CScanComparison::IsAtLeast(std::size_t index) const {
    if (m_match[index] == kNotEntered) return false;
    if (UnreadableAtOrBelow(Current(), index)) return true;
    return m_match[index] != kNew && UnreadableAtOrBelow(Older(), m_match[index]);
}

bool CScanComparison::IsGoneAtLeast(std::size_t olderIndex) const {
    return UnreadableAtOrBelow(Older(), olderIndex);
}

std::span<const CScanComparison::GoneEntry> CScanComparison::GoneIn(std::size_t index) const {
    auto range = std::equal_range(
        m_gone.begin(), m_gone.end(), GoneEntry{0, static_cast<std::uint32_t>(index)},
        [](const GoneEntry& x, const GoneEntry& y) { return x.nParent < y.nParent; });
    return {range.first, range.second};
}

std::string CScanComparison::GonePathOf(std::size_t olderIndex) const {
    const std::string root(Older()[0].GetName());
    std::string path = Older().PathOf(olderIndex);
    std::string rest = path.compare(0, root.size(), root) == 0 ? path.substr(root.size()) : path;
    std::string out(Current()[0].GetName());
    const bool outEnds = !out.empty() && out.back() == kPathSeparator;
    const bool restStarts = !rest.empty() && rest.front() == kPathSeparator;
    if (outEnds && restStarts) rest.erase(0, 1);
    if (!outEnds && !restStarts && !rest.empty()) out += kPathSeparator;
    return out + rest;
}

std::size_t CScanComparison::MemoryBytes() const {
    return m_match.capacity() * sizeof(std::uint32_t) + m_gone.capacity() * sizeof(GoneEntry) +
           m_skipped.capacity() * sizeof(Skipped);
}

std::vector<ScanChange> LargestChanges(const CScanComparison& comparison, SizeMode mode,
                                       std::size_t count) {
    auto larger = [](const ScanChange& x, const ScanChange& y) {
        const std::uint64_t ax = x.nChange < 0 ? 0 - static_cast<std::uint64_t>(x.nChange)
                                               : static_cast<std::uint64_t>(x.nChange);
        const std::uint64_t ay = y.nChange < 0 ? 0 - static_cast<std::uint64_t>(y.nChange)
                                               : static_cast<std::uint64_t>(y.nChange);
        if (ax != ay) return ax > ay;
        if (x.bGone != y.bGone) return !x.bGone;
        return x.nIndex < y.nIndex;
    };
    // A heap whose top is the smallest kept.
    std::priority_queue<ScanChange, std::vector<ScanChange>, decltype(larger)> kept(larger);
    if (count == 0 || comparison.Empty()) return {};
    auto offer = [&](const ScanChange& c) {
        if (c.nChange == 0) return;
        if (kept.size() < count) {
            kept.push(c);
        } else if (larger(c, kept.top())) {
            kept.pop();
            kept.push(c);
        }
    };
    const CScanList& now = comparison.Current();
    for (std::size_t i = 0; i < now.Count(); ++i)
        if (comparison.KindOf(i, mode) != CScanComparison::Kind::NotCompared)
            offer({false, static_cast<std::uint32_t>(i), comparison.ChangeOf(i, mode)});
    const CScanList& then = comparison.Older();
    for (const CScanComparison::GoneEntry& g : comparison.Gone())
        for (std::size_t o = g.nOlder, end = then.SubtreeEnd(g.nOlder); o < end; ++o)
            offer({true, static_cast<std::uint32_t>(o),
                   -static_cast<std::int64_t>(then[o].GetShownSize(mode))});
    std::vector<ScanChange> out;
    for (; !kept.empty(); kept.pop()) out.push_back(kept.top());
    std::reverse(out.begin(), out.end());
    return out;
}

}  // namespace sizewalk
