#include "ui/qt/main_dialog.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QIcon>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QSplitter>
#include <QStackedWidget>
#include <QStyle>
#include <QStyleFactory>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <new>

#include "core/dialog_layout.h"
#include "core/process_scan.h"
#include "model/detail_columns.h"
#include "model/size_text.h"
#include "model/treemap_render.h"
#include "platform/file_actions.h"
#include "scan/dir_scanner.h"
#include "ui/qt/command_actions.h"
#include "ui/qt/display_text.h"
#include "ui/qt/find_dialog.h"
#include "ui/qt/row_table_model.h"
#include "ui/qt/share_bar_delegate.h"
#include "ui/qt/thread_wake.h"
#include "ui/qt/tree_model.h"
#include "ui/qt/treemap_view.h"
#include "ui/qt/type_table_model.h"

// Resources of a static library must be pulled in by name.
static void InitSizewalkResources() { Q_INIT_RESOURCE(sizewalk); }

namespace sizewalk {

namespace {

// How often the progress is read while a scan runs.
constexpr int kProgressMilliseconds = 100;

// The view switch and its label, not in the template: in the right column
// under the Treemap box, shown from the start.
constexpr ControlRect kViewLabel = {IDC_STATIC, 201, 163, 56, 8, Anchor::Right};
constexpr ControlRect kViewSwitch = {IDC_VIEW, 201, 173, 56, 14, Anchor::Right};

}  // namespace

CSizewalkDlg::CSizewalkDlg(QWidget* parent)
    : CSizewalkDlg(TheProcessScan().source, TheProcessScan().kept, parent) {}

CSizewalkDlg::CSizewalkDlg(CEntrySource& source, CKeptScan& kept, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_strGroupSeparator(QLocale().groupSeparator().toStdString()) {
    InitSizewalkResources();
    setWindowTitle(QStringLiteral("Sizewalk"));
    CreateControls();
    CreateActions();
    ApplyLayout();
    m_presenter =
        std::make_unique<CMainPresenter>(static_cast<CMainView&>(*this), source, kept, *m_model);
}

CSizewalkDlg::~CSizewalkDlg() {
    // The presenter's tables go with it; the list, hidden as the window
    // goes, must not read them.
    m_rowModel->SetTable(nullptr);
    // Stops and joins a running scan while everything it reports to exists.
    m_presenter.reset();
}

void CSizewalkDlg::CreateControls() {
    // Created in template order, so the focus chain follows it.
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);

    m_model = new CTreeModel(this);
    // The tree shares its room with the treemap, which shows only when asked.
    m_split = new QSplitter(Qt::Vertical, this);
    m_split->setChildrenCollapsible(false);
    // A list takes the tree's place in it.
    m_area = new QStackedWidget(m_split);
    m_tree = new QTreeView(m_area);
    m_area->addWidget(m_tree);
    m_tree->setModel(m_model);
    // Expand buttons with connecting lines, also at the top level: the
    // classic style draws both; it applies to the tree alone.
    if (QStyle* lines = QStyleFactory::create(QStringLiteral("Windows"))) {
        lines->setParent(m_tree);
        m_tree->setStyle(lines);
    }
    m_tree->setHeaderHidden(true);
    m_tree->setRootIsDecorated(true);
    m_tree->setUniformRowHeights(true);
    m_tree->setItemsExpandable(true);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tree->setAllColumnsShowFocus(true);
    // Labels are shown whole; a wide one scrolls the tree sideways.
    m_tree->setTextElideMode(Qt::ElideNone);
    m_tree->header()->setStretchLastSection(false);
    m_tree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    // Measure the rows in view only: a wide directory opens without
    // measuring thousands of labels.
    m_tree->header()->setResizeContentsPrecision(0);
    // The details columns' headers (shown with them) sort by their column.
    m_tree->header()->setSectionsClickable(true);
    m_tree->header()->setSortIndicatorShown(true);
    m_tree->setItemDelegateForColumn(static_cast<int>(DetailColumn::Percent),
                                     new CShareBarDelegate(m_tree));
    connect(m_tree->header(), &QHeaderView::sectionClicked, this, [this](int section) {
        m_presenter->OnSortBy(DetailSortOrder(static_cast<DetailColumn>(section)));
    });
    CreateRowList();  // here, so that the focus chain has it in the tree's place

    m_startDir = new QLineEdit(this);
    m_startDir->setMaxLength(std::numeric_limits<int>::max());

    m_startLabel = new QLabel(QStringLiteral("Start from:"), this);
    m_startLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_startLabel->setBuddy(m_startDir);

    m_showFiles = new QCheckBox(QStringLiteral("Show Files"), this);
    m_treemapBox = new QCheckBox(QStringLiteral("Treemap"), this);
    m_treemapBox->setObjectName(QStringLiteral("treemapBox"));
    // Any change, by a click, a key or an assistive tool's toggle, goes to
    // the presenter once; its own drawing of the state does not come back.
    connect(m_treemapBox, &QCheckBox::toggled, this, [this] {
        if (!m_bDrawingCommands) m_presenter->OnCommand(Command::TreemapBox);
    });

    m_viewLabel = new QLabel(QStringLiteral("&View:"), this);
    m_viewLabel->setObjectName(QStringLiteral("viewLabel"));
    m_view = new QComboBox(this);
    m_view->setObjectName(QStringLiteral("control%1").arg(IDC_VIEW));
    m_view->setAccessibleName(QStringLiteral("View"));
    for (std::string_view text : kAreaViewText) m_view->addItem(DisplayText(text));
    m_viewLabel->setBuddy(m_view);
    // Only the user's choices: ShowArea sets it without a word back.
    connect(m_view, &QComboBox::activated, this, [this](int index) {
        if (index < 0 || static_cast<std::size_t>(index) >= kAreaViewCount) return;
        m_presenter->OnShowArea(static_cast<AreaView>(index));
        // A choice that showed nothing new (a Find cancelled) leaves the
        // switch at what shows.
        if (m_view->currentIndex() != static_cast<int>(m_eShownArea))
            m_view->setCurrentIndex(static_cast<int>(m_eShownArea));
    });

    m_display = new QGroupBox(QStringLiteral("Display"), this);
    m_display->setAlignment(Qt::AlignLeft);

    m_unitsMB = new QRadioButton(QStringLiteral("MB"), this);
    m_unitsKB = new QRadioButton(QStringLiteral("KB"), this);
    m_unitsBytes = new QRadioButton(QStringLiteral("Bytes"), this);
    m_units = new QButtonGroup(this);
    m_units->addButton(m_unitsMB, static_cast<int>(Units::MB));
    m_units->addButton(m_unitsKB, static_cast<int>(Units::KB));
    m_units->addButton(m_unitsBytes, static_cast<int>(Units::Bytes));
    // No tab stop, as in the template: the mouse reaches them, and the arrow
    // keys move among them once one has the focus.
    for (QRadioButton* b : {m_unitsMB, m_unitsKB, m_unitsBytes}) b->setFocusPolicy(Qt::ClickFocus);
    // Under the group box in the stacking order, as in the template; the
    // buttons sit on top of it.
    m_display->lower();

    for (const ControlRect& c : kControls) {
        if (QWidget* w = GetDlgItem(c.id)) w->setObjectName(QStringLiteral("control%1").arg(c.id));
    }
    // The two statics share one id, so they are named for what they are.
    m_startLabel->setObjectName(QStringLiteral("startLabel"));
    m_display->setObjectName(QStringLiteral("displayGroup"));

    // Not in the template: it is shown only while a scan runs, as text a
    // screen reader can read.
    m_progress = new QLabel(this);
    m_progress->setObjectName(QStringLiteral("progress"));
    m_progress->setTextFormat(Qt::PlainText);
    m_progress->setWordWrap(false);
    m_progress->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_progress->setAccessibleDescription(QStringLiteral("Scan progress"));
    // The count of folders that could not be read is a link to their list
    // (DrawProgress).
    connect(m_progress, &QLabel::linkActivated, this,
            [this] { m_presenter->OnCommand(Command::UnreadableFolders); });
    m_progress->hide();
    // The map with its legend below it share the splitter's second place.
    m_mapPane = new QWidget(m_split);
    m_treemap = new CTreemapView(m_mapPane);
    m_treemap->setObjectName(QStringLiteral("treemap"));
    m_treemap->hide();
    CreateLegend();
    auto* mapLayout = new QVBoxLayout(m_mapPane);
    mapLayout->setContentsMargins(0, 0, 0, 0);
    mapLayout->setSpacing(2);
    mapLayout->addWidget(m_treemap, 1);
    mapLayout->addWidget(m_legend);
    m_mapPane->hide();
    m_treemap->SetDescriber([this](std::uint32_t index) {
        QStringList lines;
        if (const CScanTree* tree = m_model->Tree())
            for (const std::string& line :
                 DescribeItem(*tree, index, QLocale().groupSeparator().toStdString()))
                lines << DisplayText(line);
        return lines.join(QLatin1Char('\n'));
    });
    // Both report what the user chose; the presenter has every view show it.
    connect(m_treemap, &CTreemapView::itemSelected, this, [this](quint32 index) {
        if (m_presenter) m_presenter->OnItemChosen(SelectionView::Map, index);
    });
    connect(m_tree->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                if (m_presenter)
                    m_presenter->OnItemChosen(SelectionView::Tree, m_model->ItemOf(current));
            });

    m_scanDone = new CThreadWake([this] { m_presenter->OnScanDone(); }, this);
    m_ticker = new QTimer(this);
    m_ticker->setInterval(kProgressMilliseconds);
    connect(m_ticker, &QTimer::timeout, this, [this] { m_presenter->OnTick(); });

    connect(m_ok, &QPushButton::clicked, this, [this] { m_presenter->OnCommand(Command::OK); });
    connect(m_cancel, &QPushButton::clicked, this, &CSizewalkDlg::reject);
}

namespace {

// A page of the tree's area: a title line over a flat list of whole rows
// that sort by a click on their header (the presenter sorts).
QTreeView* AddListPage(QStackedWidget* area, QWidget*& page, QLabel*& title,
                       QAbstractItemModel* model, QAbstractItemView::SelectionMode selection) {
    page = new QWidget(area);
    title = new QLabel(page);
    title->setTextFormat(Qt::PlainText);
    title->setWordWrap(false);
    auto* list = new QTreeView(page);
    list->setModel(model);
    list->setRootIsDecorated(false);
    list->setItemsExpandable(false);
    list->setUniformRowHeights(true);
    list->setSelectionMode(selection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setAllColumnsShowFocus(true);
    list->header()->setStretchLastSection(false);
    list->header()->setSectionsClickable(true);
    list->header()->setSortIndicatorShown(true);
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(title);
    layout->addWidget(list, 1);
    area->addWidget(page);
    return list;
}

}  // namespace

void CSizewalkDlg::CreateRowList() {
    m_rowModel = new CRowTableModel(m_strGroupSeparator, this);
    m_rows = AddListPage(m_area, m_rowsPage, m_rowsTitle, m_rowModel,
                         QAbstractItemView::ExtendedSelection);
    m_rowsTitle->setObjectName(QStringLiteral("control%1").arg(IDC_ROWS_TITLE));
    m_rows->setObjectName(QStringLiteral("control%1").arg(IDC_ROWS));
    // Long paths keep their start and their end.
    m_rows->setTextElideMode(Qt::ElideMiddle);
    QHeaderView* header = m_rows->header();
    // The name and the folder share the width the size and time leave, as
    // on Windows; long ones are elided rather than scrolled.
    header->setSectionResizeMode(QHeaderView::Stretch);
    header->setSectionResizeMode(static_cast<int>(RowColumn::Size), QHeaderView::ResizeToContents);
    header->setSectionResizeMode(static_cast<int>(RowColumn::Modified),
                                 QHeaderView::ResizeToContents);
    header->setResizeContentsPrecision(0);  // the rows in view only
    // The header has flipped its indicator when it reports the click; the
    // presenter sorts the table and shows it again.
    connect(header, &QHeaderView::sectionClicked, this, [this, header](int section) {
        if (!m_rowModel->Table()) return;
        m_presenter->OnSortRows(static_cast<RowColumn>(section),
                                header->sortIndicatorOrder() == Qt::AscendingOrder);
    });
    connect(m_rows->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                if (m_bSettingRows) return;
                m_chosenRows = SelectedRows();
                if (m_presenter) m_presenter->OnItemChosen(SelectionView::List, RowItem(current));
            });
    // By item, not by row: the same table comes back re-sorted.
    connect(m_rows->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (!m_bSettingRows) m_chosenRows = SelectedRows();
    });
    connect(m_rows, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (const CScanTree::Item item = RowItem(index); item != CScanTree::kNoItem)
            m_presenter->OnRowActivated(item);
    });
    // Enter opens the row in the tree rather than pressing OK.
    m_rows->installEventFilter(this);
    connect(m_rows, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { ShowContextMenu(m_rows, pos); });

    CreateTypeList();
    m_area->setCurrentWidget(m_tree);
}

CScanTree::Item CSizewalkDlg::RowItem(const QModelIndex& index) const {
    const CRowTable* table = m_rowModel->Table();
    if (!table || !index.isValid() || static_cast<std::size_t>(index.row()) >= table->RowCount())
        return CScanTree::kNoItem;
    return table->ItemAt(static_cast<std::size_t>(index.row()));
}

bool CSizewalkDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_legend && event->type() == QEvent::Resize) PlaceLegend();
    if (watched == m_typeList && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (QKeySequence(static_cast<QKeyEvent*>(event)->keyCombination()) ==
            GetAction(Command::BackToTree)->shortcut())
            return true;
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            m_presenter->OnCommand(Command::LargestOfType);
            return true;
        }
    }
    if (watched == m_rows && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        // Escape brings the tree back where its action is enabled; here it
        // never reaches the window, which it would close.
        if (QKeySequence(static_cast<QKeyEvent*>(event)->keyCombination()) ==
            GetAction(Command::BackToTree)->shortcut())
            return true;
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (const CScanTree::Item item = RowItem(m_rows->currentIndex());
                item != CScanTree::kNoItem)
                m_presenter->OnRowActivated(item);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CSizewalkDlg::CreateActions() {
    // One order for the whole tree; neither is checked while a details
    // column's header sorts the tree.
    auto* order = new QActionGroup(this);
    order->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (const CommandInfo& info : kCommandList) {
        // The map's items are its own; controls are widgets. A key alone
        // (Escape in a list) is an action of no menu.
        if ((info.menu == Menu::None && info.key.name == KeyName::None) || info.menu == Menu::Map)
            continue;
        auto* action = new QAction(ActionText(info), this);
        if (info.check == Check::Radio) action->setActionGroup(order);
        action->setCheckable(info.check != Check::None);
        action->setShortcut(KeySequenceOf(info.key));
        if (info.key.scope == KeyScope::Tree) {
            // Only in the tree: elsewhere Ctrl+C and Delete are the edit box's.
            action->setShortcutContext(Qt::WidgetShortcut);
            m_tree->addAction(action);
            m_rows->addAction(action);
        } else if (info.key.scope == KeyScope::List) {
            // Only in a list: elsewhere Escape stops a scan or closes.
            action->setShortcutContext(Qt::WidgetShortcut);
            m_rows->addAction(action);
        } else if (info.key.name != KeyName::None) {
            addAction(action);
        }
        connect(action, &QAction::triggered, this,
                [this, id = info.id] { m_presenter->OnCommand(id); });
        m_actions[static_cast<std::size_t>(info.id)] = action;
    }
    m_tree->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_tree, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { ShowContextMenu(m_tree, pos); });
}

QWidget* CSizewalkDlg::GetDlgItem(int id) const {
    switch (id) {
        case IDOK:
            return m_ok;
        case IDCANCEL:
            return m_cancel;
        case IDC_TREE:
            return m_tree;
        case IDC_START_DIR:
            return m_startDir;
        case IDC_SHOW_FILES:
            return m_showFiles;
        case IDC_TREEMAP:
            return m_treemapBox;
        case IDC_UNITS_MB:
            return m_unitsMB;
        case IDC_UNITS_KB:
            return m_unitsKB;
        case IDC_UNITS_BYTES:
            return m_unitsBytes;
        case IDC_VIEW:
            return m_view;
        case IDC_ROWS:
            return m_rows;
        case IDC_ROWS_TITLE:
            return m_rowsTitle;
        default:
            return nullptr;
    }
}

// Dialog units to pixels with the dialog font: the average width of the
// Latin letters and the font height, as the template's units are defined.
QRect CSizewalkDlg::DialogRect(int x, int y, int w, int h) const {
    const QFontMetricsF fm(font());
    const double cx = std::round(fm.horizontalAdvance(QStringLiteral(
                                     "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) /
                                 52.0);
    const double cy = std::ceil(fm.height());
    auto hx = [cx](int v) { return static_cast<int>(std::lround(v * cx / 4.0)); };
    auto vy = [cy](int v) { return static_cast<int>(std::lround(v * cy / 8.0)); };
    return QRect(hx(x), vy(y), hx(w), vy(h));
}

void CSizewalkDlg::ApplyLayout() {
    // The template's size is the smallest; a window still at the old
    // smallest size follows the font.
    const QSize base = DialogRect(0, 0, kDialogWidth, kDialogHeight).size();
    const bool atBase = m_baseSize.isEmpty() || size() == m_baseSize;
    m_baseSize = base;
    setMinimumSize(base);
    if (atBase) resize(base);
    PlaceControls();
}

void CSizewalkDlg::PlaceControls() {
    const int dx = std::max(0, width() - m_baseSize.width());
    const int dy = std::max(0, height() - m_baseSize.height());
    auto place = [&](QWidget* w, const ControlRect& c) {
        const QRect t = DialogRect(c.x, c.y, c.w, c.h);
        const PixelRect r = Anchored({t.x(), t.y(), t.width(), t.height()}, c.anchor, dx, dy);
        w->setGeometry(r.x, r.y, r.w, r.h);
    };
    QWidget* const inTemplateOrder[] = {m_ok,         m_cancel,    m_split,   m_startDir,
                                        m_startLabel, m_showFiles, m_display, m_unitsMB,
                                        m_unitsKB,    m_unitsBytes};
    static_assert(std::size(inTemplateOrder) == std::size(kControls));
    for (std::size_t i = 0; i < std::size(kControls); ++i) place(inTemplateOrder[i], kControls[i]);
    place(m_progress, kProgress);
    place(m_treemapBox, kTreemapBox);
    place(m_viewLabel, kViewLabel);
    place(m_view, kViewSwitch);
    // Its longest entry shown whole: wider than the column, it grows to
    // the left, and the tree gives way so that a gap stays between them.
    if (const int need = m_view->sizeHint().width(); need > m_view->width()) {
        QRect r = m_view->geometry();
        r.setLeft(r.right() + 1 - need);
        m_view->setGeometry(r);
        QRect label = m_viewLabel->geometry();
        label.setLeft(r.left());
        m_viewLabel->setGeometry(label);
        const int treeRight = r.left() - DialogRect(4, 0, 0, 0).width() - 1;
        if (QRect room = m_split->geometry(); room.right() > treeRight) {
            room.setRight(treeRight);
            m_split->setGeometry(room);
        }
    }
    // The splitter lays its children out when it next shows; alone, the tree
    // takes all of its room at once.
    if (m_treemap->isHidden()) {
        m_area->setGeometry(QRect(QPoint(), m_split->size()));
        m_tree->setGeometry(QRect(QPoint(), m_area->size()));
    }
    // A font wider than the template's would clip "Start from:"; let it grow
    // to the left, keeping its gap to the edit box.
    QRect label = m_startLabel->geometry();
    const int need = m_startLabel->sizeHint().width();
    if (need > label.width()) label.setLeft(std::max(0, label.right() + 1 - need));
    m_startLabel->setGeometry(label);
}

void CSizewalkDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    PlaceControls();
    if (!m_progress->isHidden()) DrawProgress();  // the directory is elided to the new width
}

void CSizewalkDlg::showEvent(QShowEvent* event) {
    if (!m_bInitialized) {
        m_bInitialized = true;
        if (OnInitDialog()) m_ok->setFocus(Qt::OtherFocusReason);
    }
    QDialog::showEvent(event);
}

void CSizewalkDlg::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::FontChange) ApplyLayout();  // dialog units follow the font
}

bool CSizewalkDlg::OnInitDialog() {
    m_presenter->OnInit();

    QIcon icon;
    for (const char* size : {"16x16", "32x32", "48x48"})
        icon.addFile(QStringLiteral(":/icons/%1/sizewalk.png").arg(QLatin1String(size)));
    setWindowIcon(icon);
    return true;  // focus goes to the first tab stop, OK
}

bool CSizewalkDlg::UpdateData(bool bSaveAndValidate) {
    if (bSaveAndValidate)
        ReadFields(Fields());
    else
        WriteFields(Fields());
    return true;
}

void CSizewalkDlg::ReadFields(ScanFields& fields) const {
    // Start directory: the whole text, as file system bytes.
    const QByteArray bytes = QFile::encodeName(m_startDir->text());
    fields.m_strStartDir.assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    // Units: index of the checked button, -1 when none is.
    fields.m_eUnits = UnitsFromIndex(m_units->checkedId());
    fields.m_eFiles = m_showFiles->isChecked() ? Files::Shown : Files::Hidden;
}

void CSizewalkDlg::WriteFields(const ScanFields& fields) {
    const QString text = QFile::decodeName(QByteArray(
        fields.m_strStartDir.data(), static_cast<qsizetype>(fields.m_strStartDir.size())));
    if (m_startDir->text() != text) m_startDir->setText(text);
    // An exclusive group cannot uncheck its last button; a value out of
    // range must leave all three unchecked.
    m_units->setExclusive(false);
    for (QAbstractButton* b : m_units->buttons())
        b->setChecked(m_units->id(b) == static_cast<int>(fields.m_eUnits));
    m_units->setExclusive(true);
    m_showFiles->setChecked(fields.m_eFiles == Files::Shown);
}

void CSizewalkDlg::reject() { m_presenter->OnCancel(); }

void CSizewalkDlg::closeEvent(QCloseEvent* event) {
    // The close box and Alt+F4 stop a scan and close all the same.
    m_presenter->OnClose();
    QDialog::closeEvent(event);
}

// If even the wake fails (out of memory), the progress ticker ends the scan.
void CSizewalkDlg::PostScanDone() noexcept { m_scanDone->Wake(); }

void CSizewalkDlg::ShowMessage(std::string_view text, MessageIcon icon) {
    try {
        QMessageBox box(icon == MessageIcon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon,
                        QCoreApplication::applicationName(),
                        QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())),
                        QMessageBox::Ok, this);
        box.exec();
    } catch (const std::bad_alloc&) {
        // Too little memory even for the box: the press ends silently.
    }
}

void CSizewalkDlg::SetScanning(bool scanning) {
    if (scanning)
        setCursor(Qt::WaitCursor);
    else
        unsetCursor();
}

void CSizewalkDlg::ShowCommands(const CommandStates& states) {
    m_bDrawingCommands = true;
    for (const CommandInfo& info : kCommandList) {
        const CommandState state = states[info.id];
        if (QAction* action = m_actions[static_cast<std::size_t>(info.id)]) {
            action->setEnabled(state.enabled);
            action->setChecked(state.checked);
        } else if (QWidget* control = GetDlgItem(info.controlId)) {
            control->setEnabled(state.enabled);
            if (info.check != Check::None)
                static_cast<QCheckBox*>(control)->setChecked(state.checked);
        }
    }
    m_viewLabel->setEnabled(m_view->isEnabled());
    m_bDrawingCommands = false;
}

// Over every window of the program, and shown at once: the work that
// follows holds the event loop.
void CSizewalkDlg::ShowBusy(bool busy) {
    if (busy)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QGuiApplication::restoreOverrideCursor();
}

void CSizewalkDlg::ShowProgress(const ProgressText& text) {
    m_shownProgress = text;
    DrawProgress();
    m_progress->show();
}

void CSizewalkDlg::HideProgress() {
    m_progress->hide();
    m_progress->clear();
    m_progress->setAccessibleName(QString());
    m_shownProgress = ProgressText();
}

void CSizewalkDlg::DrawProgress() {
    const QString counts = DisplayText(m_shownProgress.strCounts);
    const QString dir = DisplayText(m_shownProgress.strDir);
    const QString elided = m_progress->fontMetrics().elidedText(dir, Qt::ElideMiddle,
                                                                m_progress->contentsRect().width());
    // The notes' last sentence, when it counts folders not read, links to
    // their list.
    static const QString kUnread = QStringLiteral(" could not be read.");
    QString shown;
    Qt::TextFormat format = Qt::PlainText;
    if (counts.endsWith(kUnread)) {
        const qsizetype end = counts.lastIndexOf(QStringLiteral(". "), -kUnread.size() - 1);
        const qsizetype start = end < 0 ? 0 : end + 2;
        // Too long for the line (a file's origin before it, a narrow
        // window), the link starts the second line and the directory gives
        // way: the link is never clipped.
        const bool fits = m_progress->fontMetrics().horizontalAdvance(counts) <=
                          m_progress->contentsRect().width();
        shown = counts.left(start).toHtmlEscaped() +
                (fits || start == 0 ? QString() : QStringLiteral("<br>")) +
                QStringLiteral("<a href=\"#unreadable\">") + counts.mid(start).toHtmlEscaped() +
                QStringLiteral("</a>") +
                (fits || start == 0 ? QStringLiteral("<br>") + elided.toHtmlEscaped() : QString());
        format = Qt::RichText;
    } else {
        shown = counts + QLatin1Char('\n') + elided;
    }
    // Only real changes are drawn, so the text never flickers.
    // Only a link takes the focus and clicks: a plain band stays out of the
    // tab order.
    if (format != m_progress->textFormat()) {
        m_progress->setTextFormat(format);
        m_progress->setTextInteractionFlags(
            format == Qt::RichText ? Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard
                                   : Qt::NoTextInteraction);
        if (format == Qt::PlainText) m_progress->setFocusPolicy(Qt::NoFocus);
    }
    if (shown != m_progress->text()) m_progress->setText(shown);
    const QString spoken = counts + QStringLiteral(", ") + dir;
    if (spoken != m_progress->accessibleName()) m_progress->setAccessibleName(spoken);
}

void CSizewalkDlg::StartTicks() { m_ticker->start(); }

void CSizewalkDlg::StopTicks() { m_ticker->stop(); }

Control CSizewalkDlg::FocusedControl() const {
    QWidget* focus = QApplication::focusWidget();
    for (const ControlRect& c : kControls)
        if (c.id > 0 && focus && GetDlgItem(c.id) == focus) return static_cast<Control>(c.id);
    return Control::None;
}

void CSizewalkDlg::FocusControl(Control control) {
    if (QWidget* w = GetDlgItem(static_cast<int>(control))) w->setFocus(Qt::OtherFocusReason);
}

void CSizewalkDlg::ShowContextMenu(QTreeView* view, const QPoint& pos) {
    const QModelIndex index = view->indexAt(pos);
    // Selected first: the item's actions follow the selection. In a list a
    // click on a row already selected keeps the others with it.
    if (index.isValid()) {
        if (view->selectionModel()->isSelected(index))
            view->selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
        else
            view->setCurrentIndex(index);
    }
    QMenu menu(this);
    // Off the items (an empty tree too) a scan can still be opened.
    for (const CommandInfo& info : kCommandList) {
        if (info.menu != Menu::Tree && !(info.menu == Menu::TreeItem && index.isValid())) continue;
        menu.addAction(m_actions[static_cast<std::size_t>(info.id)]);
        if (info.separatorAfter) menu.addSeparator();
    }
    menu.exec(view->viewport()->mapToGlobal(pos));
}

namespace {

QString ScanFileFilters() { return QStringLiteral("Scans (*.json *.zst);;All files (*)"); }

}  // namespace

std::string CSizewalkDlg::AskSaveScanPath(const std::string& suggested) {
    QFileDialog dialog(this, QStringLiteral("Save Scan"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(ScanFileFilters());
    dialog.setDirectory(m_scanFolder.isEmpty() ? QDir::homePath() : m_scanFolder);
    dialog.selectFile(QFile::decodeName(QByteArray::fromStdString(suggested)));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    m_scanFolder = dialog.directory().absolutePath();
    return QFile::encodeName(dialog.selectedFiles().constFirst()).toStdString();
}

std::string CSizewalkDlg::AskOpenScanPath() {
    QFileDialog dialog(this, QStringLiteral("Open Scan"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(ScanFileFilters());
    dialog.setDirectory(m_scanFolder.isEmpty() ? QDir::homePath() : m_scanFolder);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    m_scanFolder = dialog.directory().absolutePath();
    return QFile::encodeName(dialog.selectedFiles().constFirst()).toStdString();
}

TreeSelection CSizewalkDlg::SelectedItem() const {
    return {m_model->Tree(), m_model->ItemOf(m_tree->currentIndex())};
}

void CSizewalkDlg::CopyToClipboard(const std::string& text) {
    QGuiApplication::clipboard()->setText(
        QFile::decodeName(QByteArray(text.data(), static_cast<qsizetype>(text.size()))));
}

bool CSizewalkDlg::OpenFolder(const std::string& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(
        QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())))));
}

bool CSizewalkDlg::Confirm(std::string_view text) {
    try {
        QMessageBox box(QMessageBox::Warning, QCoreApplication::applicationName(),
                        QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())),
                        QMessageBox::Yes | QMessageBox::No, this);
        // Enter and Escape both keep everything.
        box.setDefaultButton(QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool CSizewalkDlg::OpenTerminal(const std::string& path) { return ::sizewalk::OpenTerminal(path); }

void CSizewalkDlg::ShowSortOrder(SortOrder order) {
    m_model->SetSortOrder(order);
    m_tree->header()->setSortIndicator(
        static_cast<int>(DetailColumnOf(order)),
        order == SortOrder::Name ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void CSizewalkDlg::ShowDetails(bool shown) {
    if (const QModelIndex current = m_tree->currentIndex(); !shown && current.column() > 0)
        m_tree->selectionModel()->setCurrentIndex(
            current.siblingAtColumn(0),
            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_model->SetShowDetails(shown);
    m_tree->setHeaderHidden(!shown);
}

void CSizewalkDlg::ShowSizeMode(SizeMode mode) {
    m_model->SetSizeMode(mode);
    m_treemap->SetSizeMode(mode);  // last: a map that fails to draw changes nothing else
}

void CSizewalkDlg::ShowTreemap(bool shown) {
    if (shown == !m_treemap->isHidden()) return;
    const QSize base = m_baseSize;
    if (shown) {
        // The map takes part of the tree's room; a window at its smallest
        // grows by as much, so that the tree keeps its own.
        const int growth = TreemapGrowth(height(), base.height(), m_split->height());
        m_mapPane->show();
        m_treemap->show();
        m_sizeBeforeTreemap = growth ? size() : QSize();
        if (growth) resize(width(), height() + growth);
        const int total = m_split->height();
        m_split->setSizes({total * (100 - kTreemapShare) / 100, total * kTreemapShare / 100});
    } else {
        m_treemap->hide();
        m_mapPane->hide();
        // A window the map made taller goes back to the height it had.
        if (m_sizeBeforeTreemap.isValid()) resize(width(), m_sizeBeforeTreemap.height());
        m_sizeBeforeTreemap = QSize();
    }
}

void CSizewalkDlg::ShowMapList(const CScanList* list) { m_treemap->SetList(list); }

void CSizewalkDlg::ShowMapHighlight(const std::optional<FileTypeFilter>& type) {
    m_treemap->SetHighlight(type);
}

void CSizewalkDlg::CreateLegend() {
    m_legend = new QWidget(m_mapPane);
    m_legend->setObjectName(QStringLiteral("legend"));
    m_legend->setAccessibleName(QStringLiteral("Legend"));
    // The names flow into as many lines as the width needs (PlaceLegend).
    m_legend->installEventFilter(this);
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    for (int k = 0; k < kFileKindCount; ++k) {
        const auto kind = static_cast<FileKind>(k);
        const QString name = DisplayText(FileKindLabel(kind));
        auto* swatch = new QToolButton(m_legend);
        swatch->setObjectName(QStringLiteral("legend%1").arg(k));
        swatch->setAutoRaise(true);
        swatch->setFont(small);
        swatch->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        swatch->setIcon(KindSwatch(TreemapKindColor(kind) & 0xFFFFFFu, 10));
        swatch->setIconSize(QSize(10, 10));
        swatch->setText(name);
        swatch->setAccessibleName(name);
        swatch->setToolTip(QStringLiteral("Show %1 in File Types").arg(name));
        connect(swatch, &QToolButton::clicked, this,
                [this, kind] { m_presenter->OnLegendKind(kind); });
    }
    PlaceLegend();
}

void CSizewalkDlg::PlaceLegend() {
    // Whole names, left to right, a new line where the next would not fit.
    int x = 0, y = 0, line = 0;
    for (QToolButton* swatch : m_legend->findChildren<QToolButton*>()) {
        const QSize size = swatch->sizeHint();
        if (x > 0 && x + size.width() > m_legend->width()) {
            x = 0;
            y += line;
        }
        swatch->setGeometry(x, y, size.width(), size.height());
        x += size.width();
        line = std::max(line, size.height());
    }
    m_legend->setFixedHeight(y + line);
}

void CSizewalkDlg::CreateTypeList() {
    m_typeModel = new CTypeTableModel(m_strGroupSeparator, this);
    m_typeList = AddListPage(m_area, m_typesPage, m_typesTitle, m_typeModel,
                             QAbstractItemView::SingleSelection);
    m_typeList->setObjectName(QStringLiteral("types"));
    QHeaderView* header = m_typeList->header();
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setSectionResizeMode(static_cast<int>(TypeColumn::Type), QHeaderView::Stretch);
    connect(header, &QHeaderView::sectionClicked, this, [this, header](int section) {
        if (!m_typeModel->Table()) return;
        m_presenter->OnSortTypes(static_cast<TypeColumn>(section),
                                 header->sortIndicatorOrder() == Qt::AscendingOrder);
    });
    connect(m_typeList->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                if (m_bSettingRows || !m_presenter) return;
                m_presenter->OnTypeChosen(
                    current.isValid() ? static_cast<std::size_t>(current.row()) : CTypeTable::npos);
            });
    connect(m_typeList, &QAbstractItemView::doubleClicked, this,
            [this] { m_presenter->OnCommand(Command::LargestOfType); });
    m_typeList->installEventFilter(this);
    connect(m_typeList, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { ShowContextMenu(m_typeList, pos); });
}

void CSizewalkDlg::ShowTypes(const CTypeTable* types, std::size_t row) {
    const QScopedValueRollback<bool> quiet(m_bSettingRows, true);
    m_typeModel->SetTable(types);
    if (!types) return;
    m_typeList->header()->setSortIndicator(
        static_cast<int>(types->SortColumn()),
        types->SortAscending() ? Qt::AscendingOrder : Qt::DescendingOrder);
    if (row >= types->RowCount()) {
        m_typeList->selectionModel()->clear();
        return;
    }
    const QModelIndex index = m_typeModel->index(static_cast<int>(row), 0);
    m_typeList->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_typeList->scrollTo(index);
}

void CSizewalkDlg::ShowArea(AreaView area, const CRowTable* rows, std::string_view title) {
    m_eShownArea = area;
    m_view->setCurrentIndex(static_cast<int>(area));  // activated only by the user
    if (area == AreaView::Types) {
        const QString text = DisplayText(title);
        m_typesTitle->setText(text);
        m_typesTitle->setAccessibleName(text);
        m_typeList->setAccessibleName(DisplayText(kAreaViewText[static_cast<std::size_t>(area)]));
        m_area->setCurrentWidget(m_typesPage);
        const QScopedValueRollback<bool> quiet(m_bSettingRows, true);
        // The rows' table may go while File Types shows.
        m_rowModel->SetTable(nullptr);
        m_chosenRows.clear();
        m_typeList->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (!rows) {
        // The table may go once this returns.
        const QScopedValueRollback<bool> quiet(m_bSettingRows, true);
        m_rowModel->SetTable(nullptr);
        m_chosenRows.clear();
        m_area->setCurrentWidget(m_tree);
        m_tree->setFocus(Qt::OtherFocusReason);
        return;
    }
    // The same table again: its rows were re-sorted or made anew; what was
    // chosen stays chosen where it still is.
    std::vector<CScanTree::Item> kept;
    if (rows == m_rowModel->Table()) kept.swap(m_chosenRows);
    {
        const QScopedValueRollback<bool> quiet(m_bSettingRows, true);
        m_rowModel->SetTable(rows);
        QItemSelection selection;
        QModelIndex current;
        for (const CScanTree::Item item : kept) {
            const std::size_t row = rows->RowOf(item);
            if (row == CRowTable::npos) continue;
            const QModelIndex index = m_rowModel->index(static_cast<int>(row), 0);
            if (!current.isValid()) current = index;
            selection.select(index, index);
        }
        if (current.isValid()) {
            m_rows->selectionModel()->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
            m_rows->selectionModel()->select(
                selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            m_rows->scrollTo(current);
        }
    }
    m_area->setCurrentWidget(m_rowsPage);
    m_chosenRows = SelectedRows();
    m_rows->header()->setSortIndicator(
        static_cast<int>(rows->SortColumn()),
        rows->SortAscending() ? Qt::AscendingOrder : Qt::DescendingOrder);
    const QString text = DisplayText(title);
    m_rowsTitle->setText(text);
    m_rowsTitle->setAccessibleName(text);
    m_rows->setAccessibleName(DisplayText(kAreaViewText[static_cast<std::size_t>(area)]));
    // A view taking the focus with no current row makes the first one
    // current: not a choice of the user's.
    const QScopedValueRollback<bool> quiet(m_bSettingRows, true);
    m_rows->setFocus(Qt::OtherFocusReason);
}

std::vector<CScanTree::Item> CSizewalkDlg::SelectedRows() const {
    std::vector<CScanTree::Item> items;
    if (!m_rowModel->Table() || m_area->currentWidget() != m_rowsPage) return items;
    const QModelIndex current = m_rows->currentIndex();
    if (current.isValid() && m_rows->selectionModel()->isRowSelected(current.row()))
        items.push_back(RowItem(current));
    QModelIndexList selected = m_rows->selectionModel()->selectedRows();
    std::sort(selected.begin(), selected.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    for (const QModelIndex& index : selected)
        if (index.row() != current.row()) items.push_back(RowItem(index));
    return items;
}

bool CSizewalkDlg::AskFind(FindFields& fields, const std::vector<std::string>& history) {
    return AskFindFields(this, fields, history);
}

void CSizewalkDlg::ShowSelection(SelectionView view, CScanTree::Item item) {
    if (view == SelectionView::List) {
        const CRowTable* table = m_rowModel->Table();
        if (!table) return;
        const std::size_t row = item == CScanTree::kNoItem ? CRowTable::npos : table->RowOf(item);
        const QScopedValueRollback<bool> quiet(m_bSettingRows, true);
        if (row == CRowTable::npos) {
            m_rows->selectionModel()->clear();
        } else {
            const QModelIndex index = m_rowModel->index(static_cast<int>(row), 0);
            m_rows->selectionModel()->setCurrentIndex(
                index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            m_rows->scrollTo(index);
        }
        m_chosenRows = SelectedRows();
        return;
    }
    if (view == SelectionView::Map) return m_treemap->SetSelected(item);
    const QModelIndex shown = m_model->IndexOfItem(item);
    if (!shown.isValid()) return;
    for (QModelIndex up = shown.parent(); up.isValid(); up = up.parent()) m_tree->expand(up);
    m_tree->setCurrentIndex(shown);
    m_tree->scrollTo(shown);
}

CMainView::TreeState CSizewalkDlg::SaveTreeState() const {
    TreeState state;
    // Only what is open is walked: a closed directory's children are never
    // asked for.
    std::vector<QModelIndex> open{m_model->index(0, 0)};
    while (!open.empty()) {
        const QModelIndex index = open.back();
        open.pop_back();
        if (!index.isValid() || !m_tree->isExpanded(index)) continue;
        state.expanded.push_back(m_model->PathOf(index));
        for (int row = m_model->rowCount(index) - 1; row >= 0; --row)
            open.push_back(m_model->index(row, 0, index));
    }
    state.selected = m_model->PathOf(m_tree->currentIndex());
    return state;
}

void CSizewalkDlg::RestoreTreeState(const TreeState& state) {
    const CScanTree* tree = m_model->Tree();
    if (!tree) return;
    for (const std::string& path : state.expanded) {
        const QModelIndex index = m_model->IndexOfItem(tree->Find(path));
        if (index.isValid()) m_tree->expand(index);
    }
    const QModelIndex selected = m_model->IndexOfItem(tree->Find(state.selected));
    if (selected.isValid()) {
        m_tree->setCurrentIndex(selected);
        m_tree->scrollTo(selected);
    }
}

}  // namespace sizewalk
