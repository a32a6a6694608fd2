#pragma once
// The program's only window: a dialog in which the user types the start
// directory, picks the unit and whether files are listed, and presses OK
// (or Enter) to see the tree. OK never closes it; Cancel, Escape and the
// close box do.
//
// A scan runs in the background: the window keeps painting, shows what the
// scan has found, and Cancel or Escape stop it (the close box stops it and
// closes). The window opens at the template's size, which is also its
// smallest; the tree takes any extra room. The tree's context menu and keys
// copy an item's path, open it in the file manager, sort by name or size,
// show sizes on disk, show the details columns (F8; their headers sort),
// rescan (F5), open a terminal there, and move it to the trash (Delete) or
// delete it (Shift+Delete).
//
// A flat list (the largest files, a search's results) may take the tree's
// place under a line saying what it holds; the view switch under the
// Treemap box goes between them, and Escape in a list brings the tree back.
//
// Positions and sizes are kept in dialog units (a quarter of the font's
// average character width across, an eighth of its height down), so the
// window scales with its font.

#include <QDialog>

#include <array>
#include <memory>
#include <string>

#include "core/commands.h"
#include "core/control_ids.h"  // also the widgets' object names
#include "core/main_presenter.h"
#include "core/main_view.h"
#include "core/scan_command.h"

class QAction;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimer;
class QSplitter;
class QStackedWidget;
class QTreeView;

namespace sizewalk {

class CRowTableModel;
class CTypeTableModel;
class CThreadWake;
class CTreeModel;
class CTreemapView;

// The tree's actions, for CSizewalkDlg::GetAction.
using TreeAction = Command;

class CSizewalkDlg : public QDialog, private CMainView {
    Q_OBJECT
public:
    // Scans with the scanner and kept scan that live until the process ends.
    explicit CSizewalkDlg(QWidget* parent = nullptr);
    // Scans with `source` into `kept`; both must outlive the dialog (tests
    // put stand-ins here).
    CSizewalkDlg(CEntrySource& source, CKeptScan& kept, QWidget* parent = nullptr);
    ~CSizewalkDlg() override;

    // Copies controls into the fields (true) or fields into the controls.
    bool UpdateData(bool bSaveAndValidate = true);

    // The press of OK: reads the controls, then redraws at once or starts
    // the scan.
    void OnOK() { m_presenter->OnOK(); }
    // F5: as OK, but scans even the path scanned last.
    void OnRescan() { m_presenter->OnRescan(); }
    bool IsScanning() const { return m_presenter->IsScanning(); }
    bool IsStopping() const { return m_presenter->IsStopping(); }

    // The widget with a template control id (null for unknown ids).
    QWidget* GetDlgItem(int id) const;
    CTreeModel& GetTreeModel() const { return *m_model; }
    // The menu item of a command (null for controls and the map's items).
    QAction* GetAction(Command command) const {
        return m_actions[static_cast<std::size_t>(command)];
    }
    // The text that shows the progress of a scan (hidden when none runs).
    QLabel* GetProgressLabel() const { return m_progress; }

    // The window as its presenter sees it (tests show lists through it).
    CMainView& View() { return *this; }

    ScanFields& Fields() { return m_presenter->Fields(); }
    const ScanFields& Fields() const { return m_presenter->Fields(); }

public slots:
    // Cancel and Escape: stop a running scan, else close.
    void reject() override;

protected:
    virtual bool OnInitDialog();
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    void CreateActions();
    void ApplyLayout();
    void PlaceControls();
    QRect DialogRect(int x, int y, int w, int h) const;
    void CreateRowList();
    void ShowContextMenu(QTreeView* view, const QPoint& pos);
    // The list's row as a scan list index (kNoItem: none).
    CScanTree::Item RowItem(const QModelIndex& index) const;
    void DrawProgress();

    // CMainView: what the presenter shows through the widgets.
    void PostScanDone() noexcept override;
    void ReadFields(ScanFields& fields) const override;
    void WriteFields(const ScanFields& fields) override;
    void ShowMessage(std::string_view text, MessageIcon icon) override;
    void ShowCommands(const CommandStates& states) override;
    void SetScanning(bool scanning) override;
    void ShowBusy(bool busy) override;
    void ShowProgress(const ProgressText& text) override;
    void HideProgress() override;
    std::string GroupSeparator() const override { return m_strGroupSeparator; }
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
    void CloseWindow() override { QDialog::reject(); }
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
    bool Confirm(std::string_view text) override;
    bool OpenTerminal(const std::string& path) override;
    void ShowTypes(const CTypeTable* types, std::size_t row) override;
    void ShowMapHighlight(const std::optional<FileTypeFilter>& type) override;
    void CreateTypeList();
    void CreateLegend();
    void PlaceLegend();

    bool m_bInitialized = false;
    QSize m_baseSize;  // the template's size in pixels for the font

    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    QTreeView* m_tree = nullptr;
    QLineEdit* m_startDir = nullptr;
    QLabel* m_startLabel = nullptr;
    // The tree and, when asked for, the treemap below it.
    QSplitter* m_split = nullptr;
    CTreemapView* m_treemap = nullptr;
    QCheckBox* m_treemapBox = nullptr;
    // The size before the map grew the window (none when it did not).
    QSize m_sizeBeforeTreemap;
    QCheckBox* m_showFiles = nullptr;
    QGroupBox* m_display = nullptr;
    QRadioButton* m_unitsMB = nullptr;
    QRadioButton* m_unitsKB = nullptr;
    QRadioButton* m_unitsBytes = nullptr;
    QButtonGroup* m_units = nullptr;
    QLabel* m_progress = nullptr;
    // The tree's place: the tree, or a list under its title line.
    QStackedWidget* m_area = nullptr;
    QWidget* m_rowsPage = nullptr;
    QLabel* m_rowsTitle = nullptr;
    QTreeView* m_rows = nullptr;
    CRowTableModel* m_rowModel = nullptr;
    // File Types in the tree's place, under its title line.
    QWidget* m_typesPage = nullptr;
    QLabel* m_typesTitle = nullptr;
    QTreeView* m_typeList = nullptr;
    CTypeTableModel* m_typeModel = nullptr;
    // The map and its legend below it (a swatch and name a kind).
    QWidget* m_mapPane = nullptr;
    QWidget* m_legend = nullptr;
    // The view switch and its label.
    QLabel* m_viewLabel = nullptr;
    QComboBox* m_view = nullptr;
    AreaView m_eShownArea = AreaView::Tree;
    // The list's selection set from the presenter: not reported back.
    bool m_bSettingRows = false;
    bool m_bDrawingCommands = false;  // ShowCommands sets the Treemap box
    // The list's selection as SelectedRows() says it, kept for the same
    // table coming back re-sorted.
    std::vector<CScanTree::Item> m_chosenRows;
    ProgressText m_shownProgress;  // drawn again, elided anew, when the width changes
    QTimer* m_ticker = nullptr;
    CThreadWake* m_scanDone = nullptr;  // the worker's word that the scan ended
    CTreeModel* m_model = nullptr;

    // The menu items and keys of the list, by command.
    std::array<QAction*, kCommandCount> m_actions{};
    QString m_scanFolder;  // where the file dialogs last were, for this window's life
    std::string m_strGroupSeparator;

    // Holds all behaviour; goes first when the dialog does, stopping and
    // joining a running scan.
    std::unique_ptr<CMainPresenter> m_presenter;
};

}  // namespace sizewalk
