#pragma once
// The program's only window: a fixed-size dialog in which the user types the
// start directory, picks the unit and whether files are listed, and presses
// OK (or Enter) to see the tree. OK never closes it; Cancel, Escape and the
// close box do. Positions and sizes are kept in dialog units (a quarter of
// the font's average character width across, an eighth of its height down),
// so the window scales with its font.

#include <QDialog>

#include <string>

#include "ui/scan_command.h"

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTreeView;

namespace sizewalk {

class CTreeModel;

// Control ids of the dialog template (also the widgets' object names).
inline constexpr int IDD_SIZEWALK_DIALOG = 102;
inline constexpr int IDR_MAINFRAME = 128;  // the window icon
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDC_TREE = 1002;
inline constexpr int IDC_START_DIR = 1003;
inline constexpr int IDC_SHOW_FILES = 1004;
inline constexpr int IDC_UNITS_MB = 1007;
inline constexpr int IDC_UNITS_KB = 1008;
inline constexpr int IDC_UNITS_BYTES = 1009;
inline constexpr int IDC_STATIC = -1;

class CSizewalkDlg : public QDialog {
    Q_OBJECT
public:
    explicit CSizewalkDlg(QWidget* parent = nullptr);
    ~CSizewalkDlg() override;

    // Copies controls into the fields (true) or fields into the controls.
    bool UpdateData(bool bSaveAndValidate = true);

    // The press of OK: reads the controls, then runs the scan command with
    // the scanner and last path that live until the process ends.
    void OnOK();

    // The widget with a template control id (null for unknown ids).
    QWidget* GetDlgItem(int id) const;
    CTreeModel& GetTreeModel() const { return *m_model; }

    ScanFields& Fields() { return m_fields; }
    const ScanFields& Fields() const { return m_fields; }

protected:
    virtual void DoDataExchange(bool bSaveAndValidate);
    virtual bool OnInitDialog();
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void CreateControls();
    void ApplyLayout();
    QRect DialogRect(int x, int y, int w, int h) const;

    ScanFields m_fields;
    bool m_bInitialized = false;

    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    QTreeView* m_tree = nullptr;
    QLineEdit* m_startDir = nullptr;
    QLabel* m_startLabel = nullptr;
    QCheckBox* m_showFiles = nullptr;
    QGroupBox* m_display = nullptr;
    QRadioButton* m_unitsMB = nullptr;
    QRadioButton* m_unitsKB = nullptr;
    QRadioButton* m_unitsBytes = nullptr;
    QButtonGroup* m_units = nullptr;
    CTreeModel* m_model = nullptr;
};

}  // namespace sizewalk
