#include "core/main_presenter.h"

#include <algorithm>
#include <iterator>

namespace sizewalk {

namespace {

// The controls a press reads: disabled while its scan runs.
constexpr Control kPressControls[] = {Control::OK,      Control::StartDir,   Control::UnitsMB,
                                      Control::UnitsKB, Control::UnitsBytes, Control::ShowFiles};

bool IsPressControl(Control control) {
    return std::find(std::begin(kPressControls), std::end(kPressControls), control) !=
           std::end(kPressControls);
}

}  // namespace

CMainPresenter::CMainPresenter(CMainView& view, CEntrySource& source, std::string& lastScannedDir,
                               CTreeSink& tree)
    : m_view(view),
      m_source(source),
      m_messages(view),
      m_scanning(*this),
      m_command(source, lastScannedDir, tree, m_messages, m_scanning, view) {}

CMainPresenter::~CMainPresenter() = default;

void CMainPresenter::OnInit() {
    m_fields.m_strStartDir = std::string(kDefaultStartDir);
    m_fields.m_eFiles = Files::Hidden;
    m_fields.m_eUnits = Units::MB;
    m_view.WriteFields(m_fields);
    m_view.ShowSortOrder(m_sortOrder);
    m_view.ShowSizeMode(m_sizeMode);
}

void CMainPresenter::OnOK() {
    if (IsScanning()) return;
    m_view.ReadFields(m_fields);
    m_command.Start(m_fields);
}

void CMainPresenter::OnRescan() {
    if (IsScanning()) return;
    m_view.ReadFields(m_fields);
    m_command.Rescan(m_fields);
}

void CMainPresenter::OnCancel() {
    if (m_command.Stop()) return;
    m_view.CloseWindow();
}

void CMainPresenter::OnClose() {
    m_command.Stop();
    m_view.CloseWindow();
}

void CMainPresenter::OnScanDone() { m_command.Finish(); }

void CMainPresenter::OnTick() {
    if (m_command.Finish()) return;
    if (IsScanning()) UpdateProgress();
}

// Tree seam: the view names the selected item by its entry, and the paths
// come from the command's source.
std::string CMainPresenter::PathOf(const CScanEntry& entry) const {
    return m_source.GetPath(entry);
}

void CMainPresenter::OnCopyPath() {
    // While a scan runs the tree is empty and the list is being written.
    if (IsScanning()) return;
    const TreeSelection selected = m_view.SelectedItem();
    if (!selected.pEntry) return;
    m_view.CopyToClipboard(PathOf(*selected.pEntry));
}

bool CMainPresenter::OnOpenFolder() {
    if (IsScanning()) return false;
    const TreeSelection selected = m_view.SelectedItem();
    const CScanEntry* folder = selected.pEntry;
    // A file opens the directory that holds it.
    if (folder && !folder->IsDirectory()) folder = selected.pParent;
    if (!folder) return false;
    std::string path = PathOf(*folder);
#ifdef _WIN32
    if (IsDriveSpec(path) && path.back() == ':') path += '\\';  // "C:" alone is a directory on C:
#endif
    return m_view.OpenFolder(path);
}

void CMainPresenter::OnSortBy(SortOrder order) {
    m_sortOrder = order;
    m_view.ShowSortOrder(order);
}

void CMainPresenter::OnToggleSizeOnDisk() {
    m_sizeMode = m_sizeMode == SizeMode::OnDisk ? SizeMode::Apparent : SizeMode::OnDisk;
    m_view.ShowSizeMode(m_sizeMode);
    if (IsScanning()) UpdateProgress();  // the size so far follows too
}

void CMainPresenter::BeginScanning() {
    // A disabled control cannot keep the focus: the tree takes it meanwhile.
    const Control focus = m_view.FocusedControl();
    m_focusBeforeScan = IsPressControl(focus) ? focus : Control::None;
    if (m_focusBeforeScan != Control::None) m_view.FocusControl(Control::Tree);
    m_view.SetScanning(true);
    UpdateProgress();
    m_view.StartTicks();
}

void CMainPresenter::EndScanning() {
    m_view.StopTicks();
    m_view.HideProgress();
    m_view.SetScanning(false);
    // Back to where the press came from, unless the user went elsewhere.
    if (m_focusBeforeScan != Control::None && m_view.FocusedControl() == Control::Tree)
        m_view.FocusControl(m_focusBeforeScan);
    m_focusBeforeScan = Control::None;
}

void CMainPresenter::UpdateProgress() {
    m_view.ShowProgress(FormatProgress(m_command.GetProgress(), m_command.ScanUnits(), m_sizeMode,
                                       m_command.ScanPath(), m_view.GroupSeparator()));
}

}  // namespace sizewalk
