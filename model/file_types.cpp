#include "model/file_types.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace sizewalk {
namespace {

// A FileType as a hash key: its extension's bytes packed into two words.
struct TypeKey {
    std::uint64_t nLow = 0, nHigh = 0;
    std::uint8_t nClass = 0, nLength = 0;

    explicit TypeKey(const FileType& type)
        : nClass(static_cast<std::uint8_t>(type.eClass)), nLength(type.nLength) {
        char bytes[kMaxExtension] = {};
        std::memcpy(bytes, type.szExtension, type.nLength);
        std::memcpy(&nLow, bytes, 8);
        std::memcpy(&nHigh, bytes + 8, 8);
    }
    bool operator==(const TypeKey&) const = default;
};

struct TypeKeyHash {
    std::size_t operator()(const TypeKey& k) const {
        std::uint64_t h = (k.nLow ^ (k.nHigh * 0x9E3779B97F4A7C15ull) ^
                           (std::uint64_t(k.nClass) << 56 | std::uint64_t(k.nLength) << 48)) *
                          0xFF51AFD7ED558CCDull;
        return static_cast<std::size_t>(h ^ (h >> 29));
    }
};

struct Tally {
    std::uint64_t nFiles = 0, nSize = 0;
};

bool Before(const FileTypeRow& a, const FileTypeRow& b, FileTypeOrder order) {
    switch (order) {
        case FileTypeOrder::Size:
            if (a.nSize != b.nSize) return a.nSize > b.nSize;
            break;
        case FileTypeOrder::Files:
            if (a.nFiles != b.nFiles) return a.nFiles > b.nFiles;
            break;
        case FileTypeOrder::Name:
            break;
    }
    return a.Label() < b.Label();
}

}  // namespace

std::string FileTypeRow::Label() const {
    switch (eClass) {
        case FileTypeClass::Kind:
            return std::string(FileKindLabel(kind));
        case FileTypeClass::Extension:
            return strExtension;
        case FileTypeClass::NoExtension:
            return "(no extension)";
        case FileTypeClass::Hidden:
            break;
    }
    return "(hidden)";
}

void CFileTypes::Count(const CScanList& list, SizeMode mode, std::size_t root) {
    m_kinds.clear();
    m_mode = mode;
    m_nFiles = m_nTotal = 0;
    if (root >= list.Count()) return;
    m_nTotal = list[root].GetShownSize(mode);

    // One tally per distinct type; files of one folder often share theirs,
    // so the last one found is tried first.
    std::unordered_map<TypeKey, std::uint32_t, TypeKeyHash> slots;
    std::vector<std::pair<FileType, Tally>> tallies;
    std::uint32_t last = UINT32_MAX;
    TypeKey lastKey{FileType{}};
    const std::size_t end = list.SubtreeEnd(root);
    for (std::size_t i = root; i < end;) {
        const std::span<const CScanEntry> span = list.SpanFrom(i);
        const std::size_t n = std::min(span.size(), end - i);
        for (std::size_t j = 0; j < n; ++j) {
            const CScanEntry& e = span[j];
            if (e.IsDirectory()) continue;
            const FileType type = FileTypeOfName(e.GetName());
            const TypeKey key(type);
            if (last == UINT32_MAX || !(key == lastKey)) {
                auto [it, added] = slots.try_emplace(key, std::uint32_t(tallies.size()));
                if (added) tallies.push_back({type, {}});
                last = it->second;
                lastKey = key;
            }
            Tally& t = tallies[last].second;
            ++t.nFiles;
            t.nSize = SaturatingAdd(t.nSize, e.GetShownSize(mode));
        }
        i += n;
    }

    // Types to rows: every hidden type of a kind is the kind's one hidden row.
    std::vector<FileTypeKind> kinds(kFileKindCount);
    for (int k = 0; k < kFileKindCount; ++k) {
        kinds[k].total.kind = static_cast<FileKind>(k);
        kinds[k].total.eClass = FileTypeClass::Kind;
    }
    // An extension's type is its row; the hidden types of a kind (and the
    // one without an extension) share one row, found by its place here.
    std::vector<std::size_t> shared(2 * kFileKindCount, SIZE_MAX);
    for (const auto& [type, tally] : tallies) {
        const auto k = static_cast<std::size_t>(type.Kind());
        FileTypeKind& kind = kinds[k];
        std::size_t* place = type.eClass == FileTypeClass::Hidden        ? &shared[2 * k]
                             : type.eClass == FileTypeClass::NoExtension ? &shared[2 * k + 1]
                                                                         : nullptr;
        if (!place || *place == SIZE_MAX) {
            if (place) *place = kind.rows.size();
            FileTypeRow& row = kind.rows.emplace_back();
            row.kind = kind.total.kind;
            row.eClass = type.eClass;
            if (!place) row.strExtension = type.Extension();
        }
        FileTypeRow& into = kind.rows[place ? *place : kind.rows.size() - 1];
        for (FileTypeRow* r : {&into, &kind.total}) {
            r->nFiles += tally.nFiles;
            r->nSize = SaturatingAdd(r->nSize, tally.nSize);
        }
        m_nFiles += tally.nFiles;
    }
    for (FileTypeKind& kind : kinds)
        if (kind.total.nFiles > 0) m_kinds.push_back(std::move(kind));
    Sort(FileTypeOrder::Size);
}

void CFileTypes::Sort(FileTypeOrder order) {
    m_order = order;
    for (FileTypeKind& kind : m_kinds)
        std::sort(
            kind.rows.begin(), kind.rows.end(),
            [order](const FileTypeRow& a, const FileTypeRow& b) { return Before(a, b, order); });
    std::sort(m_kinds.begin(), m_kinds.end(),
              [order](const FileTypeKind& a, const FileTypeKind& b) {
                  return Before(a.total, b.total, order);
              });
}

double CFileTypes::Share(std::uint64_t size) const {
    return m_nTotal > 0 ? static_cast<double>(size) / static_cast<double>(m_nTotal) : 0.0;
}

bool MatchesFileType(const CScanList& list, std::size_t index, const FileTypeFilter& filter) {
    if (index >= list.Count()) return false;
    const CScanEntry& e = list[index];
    return !e.IsDirectory() && filter.Matches(e.GetName());
}

}  // namespace sizewalk
