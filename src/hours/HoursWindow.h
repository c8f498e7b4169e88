#pragma once

#include "core/Where.h"
#include "hours/HoursExport.h"
#include "hours/HoursTotals.h"
#include "hours/Periods.h"

#include <QDialog>
#include <functional>

class MousePointer;
class PushButton;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QModelIndex;
class QSortFilterProxyModel;
class QStandardItemModel;
class QTreeView;

// Hours worked per person over a period, for payroll, with the records that need a look first:
// those longer than the long-record limit (most likely a missed punch out) and those whose times
// cannot be read. A double-click on a person lists that person's records of the period.
class HoursWindow : public QDialog {
    Q_OBJECT
public:
    explicit HoursWindow(QWidget* parent = nullptr);

    // Loads the window (this week's totals), then shows it modally.
    int showModal();

    void load();
    void periodChosen();      // a preset fills From and To
    void showTotals();        // reads the period's records (of the person box's person) and totals them
    void openPerson(int row); // the person of the totals list's row (as sorted); none for the totals row
    // The totals shown, to a file the user names or to the spreadsheet program.
    void saveText();
    void saveCsv();
    void sendToSpreadsheet();
    void saveTimesheets(); // one PDF page (or more) per person with the period's records
    void saveWorkbook();   // an .xlsx workbook: the totals and every record, typed for spreadsheets
    void showRules();      // the workplace's pay rules; an administrator changes them there

    QComboBox* periodBox;
    QDateEdit* fromDate;
    QDateEdit* toDate;
    QLineEdit* personBox; // a person number, letter case ignored; empty for everyone
    PushButton* showButton;
    QTreeView* totalsList;
    QLabel* correctLabel;
    QTreeView* correctList;
    PushButton* textButton;
    PushButton* csvButton;
    PushButton* spreadsheetButton;
    PushButton* timesheetsButton;
    PushButton* workbookButton;
    PushButton* rulesButton;
    PushButton* closeButton;

    // The list columns, in order.
    using Column = Hours::TotalsColumn;
    using enum Hours::TotalsColumn;

private:
    // Empties the lists and what the exports would write.
    void forgetShown();
    void buildControls();
    void fillTotals(const Hours::Report& report);
    void fillCorrections(const Hours::Report& report, const Hours::Rules& rules);
    // Writes what is shown to a file the user names with `write`; nothing when nothing is shown
    // or the user cancels.
    void exportFile(Where handler, const QString& filter,
                    const std::function<void(const QString& fileName)>& write);

    MousePointer* m_pointer;
    QStandardItemModel* m_totals;
    QSortFilterProxyModel* m_sorted;
    QStandardItemModel* m_corrections;
    Hours::Period m_shown; // the period the lists show
    // What the lists show, as read: the exports write exactly that.
    std::vector<Hours::Record> m_records;
    Hours::Report m_report;
    Hours::Rules m_rules;
    bool m_settingPeriod = false;
};
