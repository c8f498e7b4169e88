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
class ReportsWindow : public QDialog {
    Q_OBJECT
public:
    explicit ReportsWindow(QWidget* parent = nullptr);

    // Loads the window (columns, search-by entries, today's records), then shows it modally.
    int showModal();

    MousePointer* mousePointer() const { return m_pointer; }

    // Columns of resultsList whose texts are a date and times of day.
    static constexpr int ColumnPerson = 0;
    static constexpr int ColumnDate = 4;
    static constexpr int ColumnLogin = 5;
    static constexpr int ColumnLogout = 6;

    // While an export runs the window takes no other command: its controls are disabled, and the
    // handlers and the close request refuse to act.
    bool isExporting() const { return m_exporting; }
    void setExporting(bool exporting);

    void start();
    void search();       // search
    void closeWindow();  // close
    void viewAll();      // view all
    void clearResults(); // clear results
    void deleteRecord(); // delete the selected record
    void searchByChosen();
    void searchByChanged();

    void saveAsText();        // save as text
    void saveAsWorkbook();    // save as an .xlsx workbook
    void sendToSpreadsheet(); // send to the spreadsheet program
    void openHours();         // hours worked
    void correctRecord();     // correct the selected record (also a double-click on it)
    void addRecord();         // add a record
    void openAudit();         // the audit trail
    bool spreadsheetInstalled();

public slots:
    // Esc and the window's close box press "Close This Reports Window".
    void reject() override;

signals:
    // A record was deleted, corrected or added; whoever lists records rebuilds its list. A failure of the
    // receiver is reported by the deleting step (see ErrorTrap::relay).
    void recordsChanged();

private:
    QGroupBox* searchFrame;
    QLabel* searchByCaption;
    QComboBox* searchByBox;
    QLabel* valueCaption;
    QLineEdit* valueBox;
    PushButton* searchButton;
    PushButton* viewAllButton;
    PushButton* clearButton;
    ListView* resultsList;
    PushButton* saveTextButton;
    PushButton* spreadsheetButton;
    PushButton* deleteButton;
    PushButton* closeButton;
    PushButton* hoursButton;
    PushButton* workbookButton;
    PushButton* correctButton;
    PushButton* addRecordButton;
    PushButton* auditButton;

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
