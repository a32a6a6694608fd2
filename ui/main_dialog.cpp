#include "ui/main_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFile>
#include <QFontMetrics>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleFactory>
#include <QTreeView>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <new>

#include "scan/dir_scanner.h"
#include "ui/tree_model.h"

// Resources of a static library must be pulled in by name.
static void InitSizewalkResources() { Q_INIT_RESOURCE(sizewalk); }

namespace sizewalk {

namespace {

// Dialog template sizes, in dialog units.
constexpr int kDialogWidth = 264;
constexpr int kDialogHeight = 209;

struct ControlRect {
    int id, x, y, w, h;
};
// In template order, which is also the tab order.
constexpr ControlRect kControls[] = {
    {IDOK, 207, 7, 50, 14},
    {IDCANCEL, 207, 23, 50, 14},
    {IDC_TREE, 10, 54, 180, 148},
    {IDC_START_DIR, 57, 14, 130, 14},
    {IDC_STATIC, 21, 18, 33, 8},  // "Start from:"
    {IDC_SHOW_FILES, 201, 135, 50, 10},
    {IDC_STATIC, 201, 51, 53, 66},  // the "Display" group box
    {IDC_UNITS_MB, 206, 62, 27, 10},
    {IDC_UNITS_KB, 206, 76, 25, 10},
    {IDC_UNITS_BYTES, 206, 90, 33, 10},
};

class CDialogMessageBox : public CMessageBox {
public:
    explicit CDialogMessageBox(QWidget* owner) : m_owner(owner) {}
    void Show(std::string_view text, MessageIcon icon) override {
        try {
            QMessageBox box(icon == MessageIcon::Warning ? QMessageBox::Warning
                                                         : QMessageBox::NoIcon,
                            QCoreApplication::applicationName(),
                            QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())),
                            QMessageBox::Ok, m_owner);
            box.exec();
        } catch (const std::bad_alloc&) {
            // Too little memory even for the box: the press ends silently.
        }
    }

private:
    QWidget* m_owner;
};

class COverrideWaitCursor : public CWaitCursor {
public:
    void Begin() override { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    void End() override { QGuiApplication::restoreOverrideCursor(); }
};

}  // namespace

CSizewalkDlg::CSizewalkDlg(QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    InitSizewalkResources();
    setWindowTitle(QStringLiteral("Sizewalk"));
    CreateControls();
    ApplyLayout();
}

CSizewalkDlg::~CSizewalkDlg() = default;

void CSizewalkDlg::CreateControls() {
    // Created in template order, so the focus chain follows it.
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);

    m_model = new CTreeModel(this);
    m_tree = new QTreeView(this);
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

    m_startDir = new QLineEdit(this);
    m_startDir->setMaxLength(std::numeric_limits<int>::max());

    m_startLabel = new QLabel(QStringLiteral("Start from:"), this);
    m_startLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_startLabel->setBuddy(m_startDir);

    m_showFiles = new QCheckBox(QStringLiteral("Show Files"), this);

    m_display = new QGroupBox(QStringLiteral("Display"), this);
    m_display->setAlignment(Qt::AlignLeft);

    m_unitsMB = new QRadioButton(QStringLiteral("MB"), this);
    m_unitsKB = new QRadioButton(QStringLiteral("KB"), this);
    m_unitsBytes = new QRadioButton(QStringLiteral("Bytes"), this);
    m_units = new QButtonGroup(this);
    m_units->addButton(m_unitsMB, kUnitsMB);
    m_units->addButton(m_unitsKB, kUnitsKB);
    m_units->addButton(m_unitsBytes, kUnitsBytes);
    // Under the group box in the stacking order, as in the template; the
    // buttons sit on top of it.
    m_display->lower();

    for (const ControlRect& c : kControls) {
        if (QWidget* w = GetDlgItem(c.id)) w->setObjectName(QStringLiteral("control%1").arg(c.id));
    }
    // The two statics share one id, so they are named for what they are.
    m_startLabel->setObjectName(QStringLiteral("startLabel"));
    m_display->setObjectName(QStringLiteral("displayGroup"));

    connect(m_ok, &QPushButton::clicked, this, &CSizewalkDlg::OnOK);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

QWidget* CSizewalkDlg::GetDlgItem(int id) const {
    switch (id) {
        case IDOK: return m_ok;
        case IDCANCEL: return m_cancel;
        case IDC_TREE: return m_tree;
        case IDC_START_DIR: return m_startDir;
        case IDC_SHOW_FILES: return m_showFiles;
        case IDC_UNITS_MB: return m_unitsMB;
        case IDC_UNITS_KB: return m_unitsKB;
        case IDC_UNITS_BYTES: return m_unitsBytes;
        default: return nullptr;
    }
}

// Dialog units to pixels with the dialog font: the average width of the
// Latin letters and the font height, as the template's units are defined.
QRect CSizewalkDlg::DialogRect(int x, int y, int w, int h) const {
    const QFontMetricsF fm(font());
    const double cx =
        std::round(fm.horizontalAdvance(
                       QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) /
                   52.0);
    const double cy = std::ceil(fm.height());
    auto hx = [cx](int v) { return static_cast<int>(std::lround(v * cx / 4.0)); };
    auto vy = [cy](int v) { return static_cast<int>(std::lround(v * cy / 8.0)); };
    return QRect(hx(x), vy(y), hx(w), vy(h));
}

void CSizewalkDlg::ApplyLayout() {
    setFixedSize(DialogRect(0, 0, kDialogWidth, kDialogHeight).size());
    QWidget* const inTemplateOrder[] = {m_ok,        m_cancel,  m_tree,    m_startDir,
                                        m_startLabel, m_showFiles, m_display, m_unitsMB,
                                        m_unitsKB,    m_unitsBytes};
    static_assert(std::size(inTemplateOrder) == std::size(kControls));
    for (std::size_t i = 0; i < std::size(kControls); ++i) {
        const ControlRect& c = kControls[i];
        inTemplateOrder[i]->setGeometry(DialogRect(c.x, c.y, c.w, c.h));
    }
    // A font wider than the template's would clip "Start from:"; let it grow
    // to the left, keeping its gap to the edit box.
    QRect label = m_startLabel->geometry();
    const int need = m_startLabel->sizeHint().width();
    if (need > label.width()) label.setLeft(std::max(0, label.right() + 1 - need));
    m_startLabel->setGeometry(label);
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
    m_fields.m_strStartDir = std::string(kDefaultStartDir);
    m_fields.m_bShowFiles = 0;
    m_fields.m_nUnits = kUnitsMB;
    UpdateData(false);

    QIcon icon;
    for (const char* size : {"16x16", "32x32", "48x48"})
        icon.addFile(QStringLiteral(":/icons/%1/sizewalk.png").arg(QLatin1String(size)));
    setWindowIcon(icon);
    return true;  // focus goes to the first tab stop, OK
}

bool CSizewalkDlg::UpdateData(bool bSaveAndValidate) {
    DoDataExchange(bSaveAndValidate);
    return true;
}

void CSizewalkDlg::DoDataExchange(bool bSaveAndValidate) {
    // Start directory: the whole text, as file system bytes.
    if (bSaveAndValidate) {
        const QByteArray bytes = QFile::encodeName(m_startDir->text());
        m_fields.m_strStartDir.assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    } else {
        const QString text = QFile::decodeName(QByteArray(
            m_fields.m_strStartDir.data(), static_cast<qsizetype>(m_fields.m_strStartDir.size())));
        if (m_startDir->text() != text) m_startDir->setText(text);
    }

    // Units: index of the checked button, -1 when none is.
    if (bSaveAndValidate) {
        m_fields.m_nUnits = m_units->checkedId();
    } else {
        // An exclusive group cannot uncheck its last button; a value out of
        // range must leave all three unchecked.
        m_units->setExclusive(false);
        for (QAbstractButton* b : m_units->buttons()) b->setChecked(m_units->id(b) == m_fields.m_nUnits);
        m_units->setExclusive(true);
    }

    // Show Files: 0 unchecked, 1 checked.
    if (bSaveAndValidate) {
        m_fields.m_bShowFiles = m_showFiles->isChecked() ? 1 : 0;
    } else {
        if (m_fields.m_bShowFiles < 0 || m_fields.m_bShowFiles > 2) m_fields.m_bShowFiles = 0;
        m_showFiles->setChecked(m_fields.m_bShowFiles != 0);
    }
}

void CSizewalkDlg::OnOK() {
    // Created on the first press, kept until the process ends.
    static CDirScanner s_scanner;
    static std::string s_lastScannedDir;

    UpdateData(true);
    CScannerSource source(s_scanner);
    CDialogMessageBox messages(this);
    COverrideWaitCursor cursor;
    RunScanCommand(m_fields, source, s_lastScannedDir, *m_model, messages, cursor);
}

}  // namespace sizewalk
