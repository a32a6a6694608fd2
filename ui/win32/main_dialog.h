#pragma once
// The program's only window, built from dialog template 102: the user types
// the start directory, picks the unit and whether files are listed, and
// presses OK (or Enter) to see the tree. OK never closes it; Cancel, Escape,
// the close box and Alt+F4 end it with IDCANCEL. F1 does nothing: no help
// file comes with the program.
//
// A scan runs on a worker thread: the window keeps painting, shows what the
// scan has found, and Cancel or Escape stop it, leaving the window open with
// an empty tree (the close box and Alt+F4 stop it and close). The window
// opens at the template's size, which is also its smallest; the tree takes
// any extra room. The tree's context menu and keys copy an item's path, open
// it in Explorer, sort by name or size, show sizes on disk, show the details
// columns (F8; their headers sort), and rescan (F5). Largest Files (Ctrl+L)
// and Find (Ctrl+F) show a list in the tree's place; Escape there, or the
// View switch, brings the tree back.

#include <windows.h>

#include <array>
#include <functional>
#include <memory>
#include <string>

#include "core/commands.h"
#include "core/dialog_layout.h"
#include "core/main_presenter.h"
#include "core/main_view.h"
#include "core/scan_command.h"
#include "model/tree_order.h"
#include "ui/win32/details_columns.h"
#include "ui/win32/progress_view.h"
#include "ui/win32/rows_list.h"
#include "ui/win32/tree_view_sink.h"
#include "ui/win32/treemap_window.h"
#include "ui/win32/types_list.h"

namespace sizewalk {

// The menu commands of the list (core/commands.h), by their place in it.
inline constexpr int kFirstCommandId = 32771;
constexpr int CommandIdOf(Command command) { return kFirstCommandId + static_cast<int>(command); }
// The names the tests use.
inline constexpr int ID_COPY_PATH = CommandIdOf(Command::CopyPath);
inline constexpr int ID_OPEN_IN_EXPLORER = CommandIdOf(Command::OpenInFileManager);
inline constexpr int ID_SORT_BY_NAME = CommandIdOf(Command::SortByName);
inline constexpr int ID_SORT_BY_SIZE = CommandIdOf(Command::SortBySize);
inline constexpr int ID_SIZE_ON_DISK = CommandIdOf(Command::SizeOnDisk);
inline constexpr int ID_RESCAN = CommandIdOf(Command::Rescan);
inline constexpr int ID_SHOW_TREEMAP = CommandIdOf(Command::ShowTreemap);
inline constexpr int ID_SAVE_SCAN = CommandIdOf(Command::SaveScan);
inline constexpr int ID_OPEN_SCAN = CommandIdOf(Command::OpenScan);
inline constexpr int ID_SHOW_DETAILS = CommandIdOf(Command::ShowDetails);
inline constexpr int ID_OPEN_TERMINAL = CommandIdOf(Command::OpenTerminal);
inline constexpr int ID_MOVE_TO_TRASH = CommandIdOf(Command::MoveToTrash);
inline constexpr int ID_DELETE_PERMANENTLY = CommandIdOf(Command::DeletePermanently);

class CSizewalkDlg : private CMainView {
public:
    // Scans with the scanner and kept scan that live until the process ends.
    explicit CSizewalkDlg(HWND parent = nullptr);
    // Scans with `source` into `kept`; both must outlive the dialog (tests
    // put stand-ins here).
    CSizewalkDlg(CEntrySource& source, CKeptScan& kept, HWND parent = nullptr);
    ~CSizewalkDlg();
    CSizewalkDlg(const CSizewalkDlg&) = delete;
    CSizewalkDlg& operator=(const CSizewalkDlg&) = delete;

    // Runs the dialog modally. IDCANCEL once it has run (OK never ends it),
    // -1 when it could not be created.
    INT_PTR DoModal();

    // Copies the controls into the fields (true) or the fields into the
    // controls (false).
    void UpdateData(bool save);

    HWND GetSafeHwnd() const { return m_hWnd; }
    // While the dialog runs: its behaviour, and the fields of its last press
    // (start directory, unit and file switch).
    ScanFields& Fields() const { return m_pPresenter->Fields(); }
    bool IsScanning() const { return m_pPresenter && m_pPresenter->IsScanning(); }
    // A stopped scan's worker has not returned yet.
    bool IsStopping() const { return m_pPresenter && m_pPresenter->IsStopping(); }
    SortOrder GetSortOrder() const { return m_pPresenter->GetSortOrder(); }
    SizeMode GetSizeMode() const { return m_pPresenter->GetSizeMode(); }
    // Where Open in Explorer sends a directory's path (UTF-8); by default
    // the shell opens it.
    void SetFolderOpener(std::function<void(const std::string&)> open) {
        m_openFolder = std::move(open);
    }
    // What Save Scan and Open Scan ask in place of the common file dialog:
    // given whether it saves and the name offered, the path (UTF-8; empty
    // cancels).
    using FileChooser = std::function<std::string(bool save, const std::string& suggested)>;
    void SetScanFileChooser(FileChooser choose) { m_chooseScanFile = std::move(choose); }
    // Where Open Terminal Here sends a directory's path (UTF-8); true when
    // a terminal started. By default Windows Terminal, else cmd.
    void SetTerminalOpener(std::function<bool(const std::string&)> open) {
        m_openTerminal = std::move(open);
    }

    HICON m_hIcon;

    // The map below the tree (hidden until asked for).
    CTreemapWindow* Treemap() const { return m_pTreemap.get(); }

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam,
                                       LPARAM lParam) noexcept;
    static LRESULT CALLBACK KeyFilter(int code, WPARAM wParam, LPARAM lParam) noexcept;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

    BOOL OnInitDialog();
    void OnDestroy();
    void OnPaint();
    HCURSOR OnQueryDragIcon() const;
    void CenterOnWorkArea();
    bool OnCommand(int id);
    bool OnSetCursor(WPARAM wParam, LPARAM lParam);

    void PlaceControls();
    void OnGetMinMaxInfo(MINMAXINFO& info) const;
    void ShowContextMenu(POINT screen, bool fromKeyboard);
    // Mouse messages over the bar between the tree and the map; true when
    // the bar took them.
    bool OnSplitterMouse(UINT message, LPARAM lParam);
    // The menu `menu` of the list, with the item's commands or without.
    void AppendCommands(HMENU menu, bool onItem);
    void PopUpCommands(POINT screen, bool onItem);
    // The same menu over the row list: on a row (selected first) or off them.
    void ShowRowsMenu(POINT screen, bool fromKeyboard);
    // The row list and the view switch, made hidden with the window.
    void CreateListControls(HFONT font);
    // A key on the row list that the dialog would take (Enter, Escape) or
    // that is the list's command; true when it was used.
    bool OnRowsKey(MSG& msg);
    bool OnTypesKey(MSG& msg);
    // The map's legend: a button a kind, below the map while it shows.
    void CreateLegend(HFONT font);
    int LegendHeight() const;
    bool DrawLegend(const DRAWITEMSTRUCT& item) const;

    // CMainView: what the presenter shows through the controls.
    void PostScanDone() noexcept override;
    void ReadFields(ScanFields& fields) const override;
    void WriteFields(const ScanFields& fields) override;
    void ShowMessage(std::string_view text, MessageIcon icon) override;
    void ShowCommands(const CommandStates& states) override;
    void SetScanning(bool scanning) override;
    void ShowBusy(bool busy) override;
    void ShowProgress(const ProgressText& text) override;
    void HideProgress() override;
    std::string GroupSeparator() const override { return m_pTreeSink->GroupSeparator(); }
    void StartTicks() override;
    void StopTicks() override;
    Control FocusedControl() const override;
    void FocusControl(Control control) override;
    TreeSelection SelectedItem() const override;
    void ShowArea(AreaView area, const CRowTable* rows, std::string_view title) override;
    std::vector<CScanTree::Item> SelectedRows() const override;
    bool AskFind(FindFields& fields, const std::vector<std::string>& history) override;
    void CopyToClipboard(const std::string& text) override;
    bool OpenFolder(const std::string& path) override;
    void CloseWindow() override;
    void ShowSortOrder(SortOrder order) override;
    void ShowSizeMode(SizeMode mode) override;
    void ShowTreemap(bool shown) override;
    void ShowSelection(SelectionView view, CScanTree::Item item) override;
    void ShowMapList(const CScanList* list) override;
    void ShowDetails(bool shown) override;
    TreeState SaveTreeState() const override;
    void RestoreTreeState(const TreeState& state) override;
    std::string AskSaveScanPath(const std::string& suggested) override;
    std::string AskOpenScanPath() override;
    std::string AskScanPath(bool save, const std::string& suggested);
    bool Confirm(std::string_view text) override;
    bool OpenTerminal(const std::string& path) override;
    void ShowTypes(const CTypeTable* types, std::size_t row) override;
    void ShowMapHighlight(const std::optional<FileTypeFilter>& type) override;

    HWND m_hParent;
    HWND m_hWnd = nullptr;
    HWND m_hTree = nullptr;
    // The template's controls in template order, as kControls lists them.
    std::array<HWND, std::size(kControls)> m_hControls{};
    CEntrySource* m_pSource = nullptr;
    CKeptScan* m_pKept = nullptr;
    // The tree's items while the dialog runs; it creates a directory's
    // children when the user first opens it.
    std::unique_ptr<CTreeViewSink> m_pTreeSink;
    std::unique_ptr<CTreemapWindow> m_pTreemap;
    HWND m_hTreemapBox = nullptr;
    int m_nTreemapGrowth = 0;  // what showing the map added to the height
    // The bar between the tree and the map, which a drag moves: the map's
    // share of the room in thousandths, the bar and the room in client pixels.
    static constexpr int kSplitterGap = 4;
    int m_nMapShare = kTreemapShare * 10;
    RECT m_splitter{};
    int m_nRoomTop = 0, m_nRoomHeight = 0;
    bool m_bSplitting = false;
    CProgressView m_progress;
    CDetailsColumns m_details;
    // The list in the tree's place, and the switch between them.
    CRowsList m_rows;
    CTypesList m_types;
    std::array<HWND, kFileKindCount> m_hLegend{};
    HWND m_hViewLabel = nullptr;
    HWND m_hViewSwitch = nullptr;
    bool m_bShowingArea = false;  // ShowArea sets the switch: no echo
    std::function<void(const std::string&)> m_openFolder;
    FileChooser m_chooseScanFile;
    std::function<bool(const std::string&)> m_openTerminal;

    // Keys that work anywhere in the dialog, those of the tree alone, and
    // the row list's (the tree's and its own).
    HACCEL m_hKeys = nullptr;
    HACCEL m_hTreeKeys = nullptr;
    HACCEL m_hListKeys = nullptr;
    HHOOK m_hKeyHook = nullptr;
    CommandStates m_commands;  // as the presenter last showed them
    bool m_bBusy = false;      // a scan runs: the wait cursor shows
    bool m_bWorking = false;   // likewise, while the window's thread works

    // Holds all behaviour while the window exists; made when it is, gone
    // (stopping and joining a running scan) when it goes.
    std::unique_ptr<CMainPresenter> m_pPresenter;
};

}  // namespace sizewalk
