#include "reports/ReportsWindow.h"

#include "core/ErrorTrap.h"
#include "core/Globals.h"
#include "core/Main.h"
#include "corrections/AuditWindow.h"
#include "corrections/RecordEditor.h"
#include "data/AttendanceDatabase.h"
#include "hours/HoursWindow.h"
#include "platform/ControlNames.h"
#include "platform/DateTexts.h"
#include "platform/Fonts.h"
#include "platform/ListView.h"
#include "platform/MessageBox.h"
#include "platform/MousePointer.h"
#include "platform/PushButton.h"
#include "platform/SystemClock.h"
#include "platform/Twips.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <algorithm>
#include <array>
#include <stdexcept>

namespace {

// The list's columns, in order, and the fields of qryLogins they show.
const std::array<QString, 7> kHeaders = {QStringLiteral("Person Number"), QStringLiteral("Name"),
                                         QStringLiteral("Department"),    QStringLiteral("Position"),
                                         QStringLiteral("Date"),          QStringLiteral("Login"),
                                         QStringLiteral("Logout")};
const std::array<QString, 7> kFields = {QStringLiteral("EmployeeNo"), QStringLiteral("Name"),
                                        QStringLiteral("Department"), QStringLiteral("Position"),
                                        QStringLiteral("LogDate"),    QStringLiteral("TimeIn"),
                                        QStringLiteral("TimeOut")};

// The tooltip of a record an administrator changed, by its Corrected mark.
QString markNote(int mark) {
    if (mark == static_cast<int>(RecordMark::Corrected))
        return QStringLiteral("Corrected by an administrator: see the audit trail.");
    if (mark == static_cast<int>(RecordMark::Added))
        return QStringLiteral("Added by an administrator: see the audit trail.");
    return QString();
}

QString today() {
    return DateTexts::shortDate(SystemClock::now().date());
}

} // namespace

ReportsWindow::ReportsWindow(QWidget* parent) : QDialog(parent), m_pointer(new MousePointer(this)) {
    setObjectName(QStringLiteral("reportsWindow"));
    setWindowTitle(QStringLiteral("Reports"));
    buildControls();
}

void ReportsWindow::buildControls() {
    setFont(Fonts::window());
    // Two rows taller than the classic window, for the hours and correction buttons below the others.
    Twips::setClientSize(this, 8040, 9705);

    searchFrame = Twips::placed(new QGroupBox(QStringLiteral("Search Records"), this), 120, 120, 7800, 1845);

    searchByCaption =
        Twips::placed(new QLabel(QStringLiteral("Search by:"), searchFrame), 240, 345, 900, 225);
    searchByBox = new QComboBox(searchFrame);
    Twips::place(searchByBox, 1320, 300, 2505, 345);
    searchByCaption->setBuddy(searchByBox);
    searchByBox->setAccessibleName(searchByCaption->text());
    searchByBox->view()->setAccessibleName(searchByCaption->text()); // the list of entries it drops down

    valueCaption =
        Twips::placed(new QLabel(QStringLiteral("Search value:"), searchFrame), 4080, 345, 1155, 225);
    valueBox = new QLineEdit(searchFrame);
    Twips::place(valueBox, 5280, 300, 2280, 345);
    valueCaption->setBuddy(valueBox);
    valueBox->setAccessibleName(valueCaption->text());

    searchButton = Twips::placed(new PushButton(QStringLiteral("Search"), searchFrame), 240, 750, 7300, 405);
    viewAllButton =
        Twips::placed(new PushButton(QStringLiteral("View All"), searchFrame), 240, 1260, 3600, 405);
    clearButton =
        Twips::placed(new PushButton(QStringLiteral("Clear Results"), searchFrame), 3960, 1260, 3600, 405);

    resultsList = new ListView(this);
    resultsList->setAccessibleName(QStringLiteral("Results"));
    Twips::place(resultsList, 120, 2040, 7800, 5535);
    // The exports write the rows whose mark is set, so every row carries a check box.
    resultsList->setCheckBoxes(true);

    saveTextButton =
        Twips::placed(new PushButton(QStringLiteral("Save Results As Text"), this), 120, 7680, 3840, 405);
    spreadsheetButton =
        Twips::placed(new PushButton(QStringLiteral("Send Results To Excel"), this), 4080, 7680, 3840, 405);
    deleteButton = Twips::placed(new PushButton(QStringLiteral("Delete Selected Record (Above)"), this), 120,
                                 8190, 3840, 405);
    closeButton = Twips::placed(new PushButton(QStringLiteral("Close This Reports Window"), this), 4080, 8190,
                                3840, 405);
    hoursButton = Twips::placed(new PushButton(QStringLiteral("Hours Worked"), this), 120, 8700, 3840, 405);
    workbookButton = Twips::placed(new PushButton(QStringLiteral("Save Results As Workbook"), this), 4080,
                                   8700, 3840, 405);
    correctButton =
        Twips::placed(new PushButton(QStringLiteral("Correct Record"), this), 120, 9210, 2520, 405);
    addRecordButton =
        Twips::placed(new PushButton(QStringLiteral("Add Record"), this), 2760, 9210, 2520, 405);
    auditButton = Twips::placed(new PushButton(QStringLiteral("Audit Trail"), this), 5400, 9210, 2520, 405);

    // Qt 6.4 does not reliably pass the window's font on to the controls inside a frame.
    for (QWidget* control : {static_cast<QWidget*>(searchByCaption), static_cast<QWidget*>(searchByBox),
                             static_cast<QWidget*>(valueCaption), static_cast<QWidget*>(valueBox)})
        control->setFont(Fonts::window());

    setTabOrder(searchByBox, valueBox);
    setTabOrder(valueBox, searchButton);
    setTabOrder(searchButton, viewAllButton);
    setTabOrder(viewAllButton, clearButton);
    setTabOrder(clearButton, resultsList);
    setTabOrder(resultsList, saveTextButton);
    setTabOrder(saveTextButton, spreadsheetButton);
    setTabOrder(spreadsheetButton, deleteButton);
    setTabOrder(deleteButton, closeButton);
    setTabOrder(closeButton, hoursButton);
    setTabOrder(hoursButton, workbookButton);
    setTabOrder(workbookButton, correctButton);
    setTabOrder(correctButton, addRecordButton);
    setTabOrder(addRecordButton, auditButton);

    connect(searchButton, &QPushButton::clicked, this, &ReportsWindow::search);
    connect(closeButton, &QPushButton::clicked, this, &ReportsWindow::closeWindow);
    connect(viewAllButton, &QPushButton::clicked, this, &ReportsWindow::viewAll);
    connect(saveTextButton, &QPushButton::clicked, this, &ReportsWindow::saveAsText);
    connect(clearButton, &QPushButton::clicked, this, &ReportsWindow::clearResults);
    connect(deleteButton, &QPushButton::clicked, this, &ReportsWindow::deleteRecord);
    connect(spreadsheetButton, &QPushButton::clicked, this, &ReportsWindow::sendToSpreadsheet);
    connect(hoursButton, &QPushButton::clicked, this, &ReportsWindow::openHours);
    connect(workbookButton, &QPushButton::clicked, this, &ReportsWindow::saveAsWorkbook);
    connect(correctButton, &QPushButton::clicked, this, &ReportsWindow::correctRecord);
    connect(addRecordButton, &QPushButton::clicked, this, &ReportsWindow::addRecord);
    connect(auditButton, &QPushButton::clicked, this, &ReportsWindow::openAudit);
    connect(resultsList, &ListView::rowDoubleClicked, this, [this](int row) {
        resultsList->selectRow(row);
        correctRecord();
    });

    // A choice of the user changes the index and then activates the entry; one run per choice.
    // Changes made by the program (the load) run the change handler alone, and choosing the
    // entry that is already selected runs the click handler alone.
    connect(searchByBox, &QComboBox::currentIndexChanged, this, [this] {
        m_changeHandled = true;
        QTimer::singleShot(0, this, [this] { m_changeHandled = false; });
        searchByChanged();
    });
    connect(searchByBox, &QComboBox::activated, this, [this] {
        if (m_changeHandled) {
            m_changeHandled = false;
            return;
        }
        searchByChosen();
    });

    for (QWidget* button :
         {searchButton, closeButton, viewAllButton, saveTextButton, clearButton, deleteButton, hoursButton,
          workbookButton, correctButton, addRecordButton, auditButton, spreadsheetButton})
        m_pointer->handOver(button);
    for (QWidget* area : {static_cast<QWidget*>(searchFrame), static_cast<QWidget*>(resultsList->viewport()),
                          static_cast<QWidget*>(valueBox)})
        m_pointer->arrowOver(area);

    nameControls({{searchFrame, "searchFrame"},
                  {searchByCaption, "searchByCaption"},
                  {searchByBox, "searchByBox"},
                  {valueCaption, "valueCaption"},
                  {valueBox, "valueBox"},
                  {searchButton, "searchButton"},
                  {viewAllButton, "viewAllButton"},
                  {clearButton, "clearButton"},
                  {resultsList, "resultsList"},
                  {saveTextButton, "saveTextButton"},
                  {spreadsheetButton, "spreadsheetButton"},
                  {deleteButton, "deleteButton"},
                  {closeButton, "closeButton"},
                  {hoursButton, "hoursButton"},
                  {workbookButton, "workbookButton"},
                  {correctButton, "correctButton"},
                  {addRecordButton, "addRecordButton"},
                  {auditButton, "auditButton"}});
}

int ReportsWindow::showModal() {
    start();
    return exec();
}

void ReportsWindow::reject() {
    closeWindow();
}

void ReportsWindow::setExporting(bool exporting) {
    if (exporting == m_exporting)
        return;
    m_exporting = exporting;
    if (exporting) {
        m_focusBeforeExport = QApplication::focusWidget();
        for (QWidget* control :
             {static_cast<QWidget*>(searchFrame), static_cast<QWidget*>(resultsList),
              static_cast<QWidget*>(saveTextButton), static_cast<QWidget*>(spreadsheetButton),
              static_cast<QWidget*>(deleteButton), static_cast<QWidget*>(closeButton),
              static_cast<QWidget*>(hoursButton), static_cast<QWidget*>(workbookButton)}) {
            if (control->isEnabled()) {
                control->setEnabled(false);
                m_disabledForExport.emplace_back(control);
            }
        }
        return;
    }
    for (const auto& control : m_disabledForExport) {
        if (control)
            control->setEnabled(true);
    }
    m_disabledForExport.clear();
    if (m_focusBeforeExport && m_focusBeforeExport->isEnabled())
        m_focusBeforeExport->setFocus();
}

void ReportsWindow::start() {
    ErrorTrap trap(Where::ReportsStart);
    Main::dressWindow(trap, this, *m_pointer, {100, 101, 102, 104});
    for (int i = 0; i < 7; ++i)
        trap.step(106 + 2 * i, [&] { resultsList->addColumnHeader(kHeaders[static_cast<size_t>(i)]); });
    for (int i = 0; i < 7; ++i)
        trap.step(120 + 2 * i, [&] { resultsList->setColumnWidthTwips(i, 1900); });
    trap.step(134, [&] { searchByBox->addItem(QStringLiteral("Person Number")); });
    trap.step(136, [&] { searchByBox->addItem(QStringLiteral("Date")); });
    trap.step(138, [&] { searchByBox->setCurrentIndex(1); });
    trap.step(140, [&] { valueBox->setText(today()); });
    trap.step(142, [&] { searchButton->setDefaultValue(1); });
    trap.step(144, [&] { search(); });
}

void ReportsWindow::fillList(ErrorTrap& trap, RecordSet& rs, int firstStep) {
    // The read loop is never entered on a record set that did not open.
    if (!rs.isOpen() || rs.eof())
        return;
    // Each field is looked up once, by name, at the step that would read it for a row.
    const QStringList names = rs.columnNames();
    std::array<int, 7> source{};
    for (size_t k = 0; k < kFields.size(); ++k) {
        const int step = firstStep + 2 + 2 * static_cast<int>(k);
        const bool found = trap.step(step, [&] {
            rs.text(kFields[k]);
            for (int c = 0; c < names.size(); ++c) {
                if (names.at(c).compare(kFields[k], Qt::CaseInsensitive) == 0) {
                    source[k] = c;
                    break;
                }
            }
        });
        if (!found)
            return;
    }

    // All rows go to the list in one batch, so that even a million records load in seconds.
    const QStringList cellNames = rs.cellColumnNames();
    const auto width = static_cast<size_t>(cellNames.size());
    std::array<size_t, 7> cellSource{};
    for (size_t k = 0; k < kFields.size(); ++k)
        cellSource[k] = static_cast<size_t>(cellNames.indexOf(names.at(source[k])));
    // Each row remembers its record, for corrections, and shows whether an administrator changed it.
    std::vector<qint64> ids;
    std::vector<qint64> marks;
    if (names.contains(QStringLiteral("RecordId")) && names.contains(QStringLiteral("Corrected"))) {
        ids = rs.integers(QStringLiteral("RecordId"));
        marks = rs.integers(QStringLiteral("Corrected"));
    }
    // The few rows an administrator changed get their note once they are in the list.
    const int firstRow = resultsList->rowCount();
    const auto noteMarkedRows = [&] {
        for (size_t r = 0; r < marks.size(); ++r) {
            if (marks[r] != 0)
                resultsList->setRowNote(firstRow + static_cast<int>(r), markNote(static_cast<int>(marks[r])));
        }
    };
    std::vector<QString> cells;
    if (std::find(cellSource.begin(), cellSource.end(), static_cast<size_t>(-1)) != cellSource.end()) {
        // A shown field stored as a number (a database of another's making): read cell by cell.
        cells.reserve(static_cast<size_t>(rs.rowCount()) * kFields.size());
        for (; !rs.eof(); rs.moveNext()) {
            for (const QString& field : kFields)
                cells.push_back(rs.text(field));
        }
        trap.step(firstStep + 2, [&] {
            resultsList->appendRows(std::move(cells), std::move(ids));
            noteMarkedRows();
        });
        return;
    }
    cells = rs.takeCells();
    bool sameOrder = width == kFields.size();
    for (size_t k = 0; k < kFields.size() && sameOrder; ++k)
        sameOrder = cellSource[k] == k;
    if (!sameOrder) {
        // In place: a row's cells never move to where a later row's still are.
        const size_t rows = width == 0 ? 0 : cells.size() / width;
        std::array<QString, 7> row;
        for (size_t r = 0; r < rows; ++r) {
            for (size_t k = 0; k < kFields.size(); ++k)
                row[k] = std::move(cells[r * width + cellSource[k]]);
            for (size_t k = 0; k < kFields.size(); ++k)
                cells[r * kFields.size() + k] = std::move(row[k]);
        }
        cells.resize(rows * kFields.size());
    }
    trap.step(firstStep + 2, [&] {
        resultsList->appendRows(std::move(cells), std::move(ids));
        noteMarkedRows();
    });
}

void ReportsWindow::search() {
    if (m_exporting)
        return;
    ErrorTrap trap(Where::Search);
    RecordSet rs; // 100
    if (!trap.test(102, [&] { return !valueBox->text().isEmpty(); }))
        return;
    trap.step(104, [&] { resultsList->clearRows(); });
    const QString value = valueBox->text();
    bool opened = false;
    if (trap.test(106, [&] { return searchByBox->currentIndex() == 0; })) {
        // The person number exactly as typed; the database compares it without regard to case.
        opened = trap.step(108, [&] { rs = Globals::connection().loginsOfPerson(value); });
    } else if (trap.test(110, [&] { return searchByBox->currentIndex() == 1; })) {
        QDate day;
        if (trap.test(112, [&] {
                day = DateTexts::parseShortDate(value);
                return day.isValid();
            })) {
            opened = trap.step(114, [&] { rs = Globals::connection().loginsOn(day); });
        } else {
            trap.step(116, [] { MessageBox::ok(QStringLiteral("Must be date entry.")); });
            trap.step(118, [&] {
                if (rs.isOpen())
                    rs.close();
            });
            return;
        }
    }
    // A record set that failed to open was reported once; the search ends there.
    if (!opened)
        return;
    fillList(trap, rs, 120);
    trap.step(138, [&] {
        if (rs.isOpen())
            rs.close();
    });
}

void ReportsWindow::closeWindow() {
    // The window stays while an export runs; Esc and the close box end up here too.
    if (m_exporting)
        return;
    ErrorTrap trap(Where::CloseReports);
    trap.step(100, [&] { QDialog::reject(); });
}

void ReportsWindow::viewAll() {
    if (m_exporting)
        return;
    ErrorTrap trap(Where::ViewAll);
    RecordSet rs; // 100
    trap.step(102, [&] { resultsList->clearRows(); });
    if (!trap.step(104, [&] { rs = Globals::connection().allLogins(); }))
        return;
    fillList(trap, rs, 106);
    trap.step(124, [&] {
        if (rs.isOpen())
            rs.close();
    });
}

void ReportsWindow::clearResults() {
    if (m_exporting)
        return;
    ErrorTrap trap(Where::ClearResults);
    // An export reads the list while the hourglass shows.
    trap.step(100, [&] {
        if (!m_pointer->isBusy())
            resultsList->clearRows();
    });
}

void ReportsWindow::deleteRecord() {
    if (m_exporting)
        return;
    ErrorTrap trap(Where::DeleteRecord);
    const int row = resultsList->selectedRow();
    const auto selectedCell = [&](int column) {
        if (row < 0)
            throw std::runtime_error("No record is selected in the list.");
        return resultsList->itemText(row, column);
    };
    QString number;
    QString dateText;
    QString timeIn;
    trap.step(100, [&] { number = selectedCell(ColumnPerson); });
    trap.step(102, [&] { dateText = selectedCell(ColumnDate); });
    trap.step(104, [&] { timeIn = selectedCell(ColumnLogin); });
    // The date cell shows the short-date form; it is read back to the day it names, and a
    // text that names no day deletes nothing.
    QDate day;
    const bool built = trap.step(106, [&] {
        day = DateTexts::parseShortDate(dateText);
        if (!day.isValid())
            throw std::runtime_error(
                QStringLiteral("The date \"%1\" of the selected record is not a date in the form %2.")
                    .arg(dateText, DateTexts::shortDateFormat())
                    .toStdString());
    });
    if (built)
        trap.step(108, [&] { Globals::connection().deleteRecord(number, day, timeIn); });
    trap.step(110, [&] {
        if (row < 0)
            throw std::runtime_error("No record is selected in the list.");
        resultsList->removeRowAt(row);
    });
    trap.step(112, [&] { emit recordsChanged(); });
}

void ReportsWindow::openHours() {
    if (m_exporting)
        return;
    ErrorTrap trap(Where::OpenHours);
    trap.step(100, [&] {
        HoursWindow hours(this);
        hours.showModal();
    });
}

void ReportsWindow::correctRecord() {
    // An export reads the list while it runs.
    if (m_exporting)
        return;
    ErrorTrap trap(Where::CorrectRecord);
    const int row = resultsList->selectedRow();
    qint64 id = 0;
    if (!trap.step(100, [&] {
            if (row < 0)
                throw std::runtime_error("No record is selected in the list.");
            id = resultsList->rowKey(row);
            if (id <= 0)
                throw std::runtime_error("The selected row names no record; search again.");
        }))
        return;
    RecordEditor editor(this);
    editor.recordId = id;
    editor.listed = RecordEditor::Listed{
        resultsList->itemText(row, ColumnPerson), resultsList->itemText(row, ColumnDate),
        resultsList->itemText(row, ColumnLogin), resultsList->itemText(row, ColumnLogout)};
    bool saved = false;
    trap.step(102, [&] { saved = editor.showModal() == QDialog::Accepted; });
    if (!saved)
        return;
    // The row shows the record as it now is, keeping its place and its check mark.
    trap.step(104, [&] {
        const RecordSet rs = Globals::connection().recordById(id);
        if (rs.eof())
            throw std::runtime_error("The corrected record no longer exists.");
        resultsList->setSubItem(row, ColumnDate, rs.text(QStringLiteral("LogDate")));
        resultsList->setSubItem(row, ColumnLogin, rs.text(QStringLiteral("TimeIn")));
        resultsList->setSubItem(row, ColumnLogout, rs.text(QStringLiteral("TimeOut")));
        resultsList->setRowNote(row, markNote(rs.value(QStringLiteral("Corrected")).toInt()));
    });
    trap.step(106, [&] { emit recordsChanged(); });
}

void ReportsWindow::addRecord() {
    if (m_exporting)
        return;
    ErrorTrap trap(Where::AddRecord);
    RecordEditor editor(this);
    bool saved = false;
    trap.step(100, [&] { saved = editor.showModal() == QDialog::Accepted; });
    if (!saved)
        return;
    // The new record shows where the search puts it.
    trap.step(102, [&] { search(); });
    trap.step(104, [&] { emit recordsChanged(); });
}

void ReportsWindow::openAudit() {
    if (m_exporting)
        return;
    ErrorTrap trap(Where::OpenAudit);
    trap.step(100, [&] {
        AuditWindow audit(this);
        audit.showModal();
    });
}

void ReportsWindow::searchByChosen() {
    valueBox->setText(QString());
    if (searchByBox->currentText() == QLatin1String("Date"))
        valueBox->setText(today());
    if (valueBox->isEnabled() && valueBox->isVisible())
        valueBox->setFocus();
}

void ReportsWindow::searchByChanged() {
    searchByChosen();
}
