#include "reports/Form4.h"

#include "core/ErrorTrap.h"
#include "core/Globals.h"
#include "core/Main.h"
#include "corrections/AuditWindow.h"
#include "corrections/RecordEditor.h"
#include "data/AttendanceDatabase.h"
#include "hours/HoursWindow.h"
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

Form4::Form4(QWidget* parent) : QDialog(parent), m_pointer(new MousePointer(this)) {
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("Reports"));
    buildControls();
}

void Form4::buildControls() {
    setFont(Fonts::window());
    // Two rows taller than the classic window, for the hours and correction buttons below the others.
    Twips::setClientSize(this, 8040, 9705);

    Frame1 = Twips::placed(new QGroupBox(QStringLiteral("Search Records"), this), 120, 120, 7800, 1845);

    Label12 = Twips::placed(new QLabel(QStringLiteral("Search by:"), Frame1), 240, 345, 900, 225);
    cmbField = new QComboBox(Frame1);
    cmbField->setObjectName(QStringLiteral("cmbField"));
    Twips::place(cmbField, 1320, 300, 2505, 345);
    Label12->setBuddy(cmbField);
    cmbField->setAccessibleName(Label12->text());
    cmbField->view()->setAccessibleName(Label12->text()); // the list of entries it drops down

    Label1 = Twips::placed(new QLabel(QStringLiteral("Search value:"), Frame1), 4080, 345, 1155, 225);
    txtValue = new QLineEdit(Frame1);
    txtValue->setObjectName(QStringLiteral("txtValue"));
    Twips::place(txtValue, 5280, 300, 2280, 345);
    Label1->setBuddy(txtValue);
    txtValue->setAccessibleName(Label1->text());

    PushButton1 = Twips::placed(new PushButton(QStringLiteral("Search"), Frame1), 240, 750, 7300, 405);
    PushButton3 = Twips::placed(new PushButton(QStringLiteral("View All"), Frame1), 240, 1260, 3600, 405);
    PushButton5 =
        Twips::placed(new PushButton(QStringLiteral("Clear Results"), Frame1), 3960, 1260, 3600, 405);

    ListView1 = new ListView(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setAccessibleName(QStringLiteral("Results"));
    Twips::place(ListView1, 120, 2040, 7800, 5535);
    // The exports write the rows whose mark is set, so every row carries a check box.
    ListView1->setCheckBoxes(true);

    PushButton4 =
        Twips::placed(new PushButton(QStringLiteral("Save Results As Text"), this), 120, 7680, 3840, 405);
    PushButton13 =
        Twips::placed(new PushButton(QStringLiteral("Send Results To Excel"), this), 4080, 7680, 3840, 405);
    PushButton6 = Twips::placed(new PushButton(QStringLiteral("Delete Selected Record (Above)"), this), 120,
                                8190, 3840, 405);
    PushButton2 = Twips::placed(new PushButton(QStringLiteral("Close This Reports Window"), this), 4080, 8190,
                                3840, 405);
    PushButton7 = Twips::placed(new PushButton(QStringLiteral("Hours Worked"), this), 120, 8700, 7800, 405);
    PushButton8 = Twips::placed(new PushButton(QStringLiteral("Correct Record"), this), 120, 9210, 2520, 405);
    PushButton9 = Twips::placed(new PushButton(QStringLiteral("Add Record"), this), 2760, 9210, 2520, 405);
    PushButton10 = Twips::placed(new PushButton(QStringLiteral("Audit Trail"), this), 5400, 9210, 2520, 405);

    // Qt 6.4 does not reliably pass the window's font on to the controls inside a frame.
    for (QWidget* control : {static_cast<QWidget*>(Label12), static_cast<QWidget*>(cmbField),
                             static_cast<QWidget*>(Label1), static_cast<QWidget*>(txtValue)})
        control->setFont(Fonts::window());

    setTabOrder(cmbField, txtValue);
    setTabOrder(txtValue, PushButton1);
    setTabOrder(PushButton1, PushButton3);
    setTabOrder(PushButton3, PushButton5);
    setTabOrder(PushButton5, ListView1);
    setTabOrder(ListView1, PushButton4);
    setTabOrder(PushButton4, PushButton13);
    setTabOrder(PushButton13, PushButton6);
    setTabOrder(PushButton6, PushButton2);
    setTabOrder(PushButton2, PushButton7);
    setTabOrder(PushButton7, PushButton8);
    setTabOrder(PushButton8, PushButton9);
    setTabOrder(PushButton9, PushButton10);

    connect(PushButton1, &QPushButton::clicked, this, &Form4::PushButton1_Click);
    connect(PushButton2, &QPushButton::clicked, this, &Form4::PushButton2_Click);
    connect(PushButton3, &QPushButton::clicked, this, &Form4::PushButton3_Click);
    connect(PushButton4, &QPushButton::clicked, this, &Form4::PushButton4_Click);
    connect(PushButton5, &QPushButton::clicked, this, &Form4::PushButton5_Click);
    connect(PushButton6, &QPushButton::clicked, this, &Form4::PushButton6_Click);
    connect(PushButton13, &QPushButton::clicked, this, &Form4::PushButton13_Click);
    connect(PushButton7, &QPushButton::clicked, this, &Form4::PushButton7_Click);
    connect(PushButton8, &QPushButton::clicked, this, &Form4::PushButton8_Click);
    connect(PushButton9, &QPushButton::clicked, this, &Form4::PushButton9_Click);
    connect(PushButton10, &QPushButton::clicked, this, &Form4::PushButton10_Click);
    connect(ListView1, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        ListView1->selectRow(index.row());
        PushButton8_Click();
    });

    // A choice of the user changes the index and then activates the entry; one run per choice.
    // Changes made by the program (the load) run the change handler alone, and choosing the
    // entry that is already selected runs the click handler alone.
    connect(cmbField, &QComboBox::currentIndexChanged, this, [this] {
        m_changeHandled = true;
        QTimer::singleShot(0, this, [this] { m_changeHandled = false; });
        cmbField_Change();
    });
    connect(cmbField, &QComboBox::activated, this, [this] {
        if (m_changeHandled) {
            m_changeHandled = false;
            return;
        }
        cmbField_Click();
    });

    for (QWidget* button : {PushButton1, PushButton2, PushButton3, PushButton4, PushButton5, PushButton6,
                            PushButton7, PushButton8, PushButton9, PushButton10, PushButton13})
        m_pointer->handOver(button);
    for (QWidget* area : {static_cast<QWidget*>(Frame1), static_cast<QWidget*>(ListView1->viewport()),
                          static_cast<QWidget*>(txtValue)})
        m_pointer->arrowOver(area);
}

int Form4::showModal() {
    Form_Load();
    return exec();
}

void Form4::reject() {
    PushButton2_Click();
}

void Form4::setExporting(bool exporting) {
    if (exporting == m_exporting)
        return;
    m_exporting = exporting;
    if (exporting) {
        m_focusBeforeExport = QApplication::focusWidget();
        for (QWidget* control : {static_cast<QWidget*>(Frame1), static_cast<QWidget*>(ListView1),
                                 static_cast<QWidget*>(PushButton4), static_cast<QWidget*>(PushButton13),
                                 static_cast<QWidget*>(PushButton6), static_cast<QWidget*>(PushButton2),
                                 static_cast<QWidget*>(PushButton7)}) {
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

void Form4::Form_Load() {
    ErrorTrap trap(QStringLiteral("Form4"), QStringLiteral("Form_Load"));
    Main::dressWindow(trap, this, *m_pointer, {100, 101, 102, 104});
    for (int i = 0; i < 7; ++i)
        trap.step(106 + 2 * i, [&] { ListView1->addColumnHeader(kHeaders[static_cast<size_t>(i)]); });
    for (int i = 0; i < 7; ++i)
        trap.step(120 + 2 * i, [&] { ListView1->setColumnWidthTwips(i, 1900); });
    trap.step(134, [&] { cmbField->addItem(QStringLiteral("Person Number")); });
    trap.step(136, [&] { cmbField->addItem(QStringLiteral("Date")); });
    trap.step(138, [&] { cmbField->setCurrentIndex(1); });
    trap.step(140, [&] { txtValue->setText(today()); });
    trap.step(142, [&] { PushButton1->setDefaultValue(1); });
    trap.step(144, [&] { PushButton1_Click(); });
}

void Form4::fillList(ErrorTrap& trap, RecordSet& rs, int firstStep) {
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
    const size_t width = static_cast<size_t>(names.size());
    const int idColumn = static_cast<int>(names.indexOf(QStringLiteral("RecordId")));
    const int markColumn = static_cast<int>(names.indexOf(QStringLiteral("Corrected")));
    std::vector<QString> cells = rs.takeCells();
    // Each row remembers its record, for corrections, and shows whether an administrator changed it.
    std::vector<qint64> ids;
    std::vector<QString> notes;
    if (idColumn >= 0 && markColumn >= 0) {
        const size_t rows = cells.size() / width;
        ids.reserve(rows);
        notes.reserve(rows);
        for (size_t r = 0; r < rows; ++r) {
            ids.push_back(cells[r * width + static_cast<size_t>(idColumn)].toLongLong());
            notes.push_back(markNote(cells[r * width + static_cast<size_t>(markColumn)].toInt()));
        }
    }
    bool sameOrder = width == kFields.size();
    for (size_t k = 0; k < kFields.size() && sameOrder; ++k)
        sameOrder = source[k] == static_cast<int>(k);
    if (!sameOrder) {
        std::vector<QString> listed;
        const size_t rows = cells.size() / width;
        listed.reserve(rows * kFields.size());
        for (size_t r = 0; r < rows; ++r) {
            for (int column : source)
                listed.push_back(std::move(cells[r * width + static_cast<size_t>(column)]));
        }
        cells = std::move(listed);
    }
    trap.step(firstStep + 2,
              [&] { ListView1->appendRows(std::move(cells), std::move(ids), std::move(notes)); });
}

void Form4::PushButton1_Click() {
    if (m_exporting)
        return;
    ErrorTrap trap(QStringLiteral("Form4"), QStringLiteral("PushButton1_Click"));
    RecordSet rs; // 100
    if (!trap.test(102, [&] { return !txtValue->text().isEmpty(); }))
        return;
    trap.step(104, [&] { ListView1->clearRows(); });
    const QString value = txtValue->text();
    bool opened = false;
    if (trap.test(106, [&] { return cmbField->currentIndex() == 0; })) {
        // The person number exactly as typed; the database compares it without regard to case.
        opened = trap.step(108, [&] { rs = Globals::connection().loginsOfPerson(value); });
    } else if (trap.test(110, [&] { return cmbField->currentIndex() == 1; })) {
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

void Form4::PushButton2_Click() {
    // The window stays while an export runs; Esc and the close box end up here too.
    if (m_exporting)
        return;
    ErrorTrap trap(QStringLiteral("Form4"), QStringLiteral("PushButton2_Click"));
    trap.step(100, [&] { QDialog::reject(); });
}

void Form4::PushButton3_Click() {
    if (m_exporting)
        return;
    ErrorTrap trap(QStringLiteral("Form4"), QStringLiteral("PushButton3_Click"));
    RecordSet rs; // 100
    trap.step(102, [&] { ListView1->clearRows(); });
    if (!trap.step(104, [&] { rs = Globals::connection().allLogins(); }))
        return;
    fillList(trap, rs, 106);
    trap.step(124, [&] {
        if (rs.isOpen())
            rs.close();
    });
}

void Form4::PushButton5_Click() {
    if (m_exporting)
        return;
    ErrorTrap trap(QStringLiteral("Form4"), QStringLiteral("PushButton5_Click"));
    // An export reads the list while the hourglass shows.
    trap.step(100, [&] {
        if (!m_pointer->isBusy())
            ListView1->clearRows();
    });
}

void Form4::PushButton6_Click() {
    if (m_exporting)
        return;
    ErrorTrap trap(QStringLiteral("Form4"), QStringLiteral("PushButton6_Click"));
    const int row = ListView1->selectedRow();
    const auto selectedCell = [&](int column) {
        if (row < 0)
            throw std::runtime_error("No record is selected in the list.");
        return ListView1->itemText(row, column);
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
        ListView1->removeRowAt(row);
    });
    trap.step(112, [&] { emit recordsChanged(); });
}

void Form4::PushButton7_Click() {
    if (m_exporting)
        return;
    ErrorTrap trap(QStringLiteral("Form4"), QStringLiteral("PushButton7_Click"));
    trap.step(100, [&] {
        HoursWindow hours(this);
        hours.showModal();
    });
}

void Form4::PushButton8_Click() {
    // An export reads the list while it runs.
    if (m_exporting)
        return;
    ErrorTrap trap(QStringLiteral("Form4"), QStringLiteral("PushButton8_Click"));
    const int row = ListView1->selectedRow();
    qint64 id = 0;
    if (!trap.step(100, [&] {
            if (row < 0)
                throw std::runtime_error("No record is selected in the list.");
            id = ListView1->rowKey(row);
            if (id <= 0)
                throw std::runtime_error("The selected row names no record; search again.");
        }))
        return;
    RecordEditor editor(this);
    editor.recordId = id;
    bool saved = false;
    trap.step(102, [&] { saved = editor.showModal() == QDialog::Accepted; });
    if (!saved)
        return;
    // The row shows the record as it now is, keeping its place and its check mark.
    trap.step(104, [&] {
        const RecordSet rs = Globals::connection().recordById(id);
        if (rs.eof())
            throw std::runtime_error("The corrected record no longer exists.");
        ListView1->setSubItem(row, ColumnDate, rs.text(QStringLiteral("LogDate")));
        ListView1->setSubItem(row, ColumnLogin, rs.text(QStringLiteral("TimeIn")));
        ListView1->setSubItem(row, ColumnLogout, rs.text(QStringLiteral("TimeOut")));
        ListView1->setRowNote(row, markNote(rs.value(QStringLiteral("Corrected")).toInt()));
    });
    trap.step(106, [&] { emit recordsChanged(); });
}

void Form4::PushButton9_Click() {
    if (m_exporting)
        return;
    ErrorTrap trap(QStringLiteral("Form4"), QStringLiteral("PushButton9_Click"));
    RecordEditor editor(this);
    bool saved = false;
    trap.step(100, [&] { saved = editor.showModal() == QDialog::Accepted; });
    if (!saved)
        return;
    // The new record shows where the search puts it.
    trap.step(102, [&] { PushButton1_Click(); });
    trap.step(104, [&] { emit recordsChanged(); });
}

void Form4::PushButton10_Click() {
    if (m_exporting)
        return;
    ErrorTrap trap(QStringLiteral("Form4"), QStringLiteral("PushButton10_Click"));
    trap.step(100, [&] {
        AuditWindow audit(this);
        audit.showModal();
    });
}

void Form4::cmbField_Click() {
    txtValue->setText(QString());
    if (cmbField->currentText() == QLatin1String("Date"))
        txtValue->setText(today());
    if (txtValue->isEnabled() && txtValue->isVisible())
        txtValue->setFocus();
}

void Form4::cmbField_Change() {
    cmbField_Click();
}
