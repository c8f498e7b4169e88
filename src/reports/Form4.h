#pragma once

#include <QDialog>
#include <QPointer>
#include <vector>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class ErrorTrap;
class ListView;
class MousePointer;
class PushButton;
class RecordSet;

// The reports window: attendance records by person number, by date or all of them, in a list
// whose checked rows the exports write and whose selected row the delete button removes.
class Form4 : public QDialog {
    Q_OBJECT
public:
    explicit Form4(QWidget* parent = nullptr);

    // Loads the window (columns, search-by entries, today's records), then shows it modally.
    int showModal();

    MousePointer* mousePointer() const { return m_pointer; }

    // Columns of ListView1 whose texts are a date and times of day.
    static constexpr int ColumnPerson = 0;
    static constexpr int ColumnDate = 4;
    static constexpr int ColumnLogin = 5;
    static constexpr int ColumnLogout = 6;

    // While an export runs the window takes no other command: its controls are disabled, and the
    // handlers and the close request refuse to act.
    bool isExporting() const { return m_exporting; }
    void setExporting(bool exporting);

    void Form_Load();
    void PushButton1_Click(); // search
    void PushButton2_Click(); // close
    void PushButton3_Click(); // view all
    void PushButton5_Click(); // clear results
    void PushButton6_Click(); // delete the selected record
    void cmbField_Click();
    void cmbField_Change();

    void PushButton4_Click();  // save as text
    void PushButton13_Click(); // send to the spreadsheet program
    void PushButton7_Click();  // hours worked
    void PushButton8_Click();  // correct the selected record (also a double-click on it)
    void PushButton9_Click();  // add a record
    void PushButton10_Click(); // the audit trail
    bool SaveResultsAsExcelFileIsExcelInstalled();

    QGroupBox* Frame1;
    QLabel* Label12;
    QComboBox* cmbField;
    QLabel* Label1;
    QLineEdit* txtValue;
    PushButton* PushButton1;
    PushButton* PushButton3;
    PushButton* PushButton5;
    ListView* ListView1;
    PushButton* PushButton4;
    PushButton* PushButton13;
    PushButton* PushButton6;
    PushButton* PushButton2;
    PushButton* PushButton7;
    PushButton* PushButton8;
    PushButton* PushButton9;
    PushButton* PushButton10;

public slots:
    // Esc and the window's close box press "Close This Reports Window".
    void reject() override;

signals:
    // A record was deleted, corrected or added; whoever lists records rebuilds its list. A failure of the
    // receiver is reported by the deleting step (see ErrorTrap::relay).
    void recordsChanged();

private:
    void buildControls();
    // Moves the record set's rows into the list in one batch; `firstStep` numbers the row steps.
    void fillList(ErrorTrap& trap, RecordSet& rs, int firstStep);

    MousePointer* m_pointer;
    bool m_exporting = false;
    std::vector<QPointer<QWidget>> m_disabledForExport;
    QPointer<QWidget> m_focusBeforeExport;
    // Set while a change of the search-by entry has been handled and its activation may follow.
    bool m_changeHandled = false;
};
