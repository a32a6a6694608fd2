#include "core/kept_scan.h"

#include <utility>

namespace sizewalk {

void CKeptScan::Clear() noexcept {
    m_list.Clear();
    m_strRoot.clear();
    m_origin.bOpened = false;
    m_origin.strFile.clear();
    m_origin.made.reset();
}

void CKeptScan::Take(CScanList&& list, std::string root, ScanOrigin origin) noexcept {
    if (list.Empty() || root.empty()) {
        Clear();
        return;
    }
    m_list = std::move(list);
    m_strRoot = std::move(root);
    m_origin = std::move(origin);
}

void CKeptScan::ReplaceList(CScanList&& list) noexcept {
    if (!IsValid() || list.Empty()) {
        Clear();
        return;
    }
    m_list = std::move(list);
}

}  // namespace sizewalk
