#include "persons/Form2.h"

#include "core/ErrorTrap.h"
#include "core/Globals.h"
#include "core/Main.h"
#include "data/AttendanceDatabase.h"
#include "persons/Form3.h"
#include "platform/Fonts.h"
#include "platform/ListView.h"
#include "platform/MessageBox.h"
#include "platform/MousePointer.h"
#include "platform/PushButton.h"
#include "platform/Twips.h"

#include <QApplication>
#include <vector>

namespace {
const QString kWindow = QStringLiteral("Form2");
constexpr int kListColumns = 4;
} // namespace

Form2::Form2(QWidget* parent) : QDialog(parent), m_pointer(new MousePointer(this)) {
    setObjectName(kWindow);
    buildControls();
}

void Form2::buildControls() {
    setWindowTitle(QStringLiteral("Persons"));
    setFont(Fonts::window());
    Twips::setClientSize(this, 8040, 4785);

    ListView1 = new ListView(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setAccessibleName(QStringLiteral("Persons"));
    Twips::place(ListView1, 120, 120, 7800, 3555);

    PushButton1 = Twips::placed(new PushButton(QStringLiteral("Add"), this), 120, 3760, 3840, 400);
    PushButton2 = Twips::placed(new PushButton(QStringLiteral("Delete"), this), 4080, 3765, 3840, 405);
    PushButton3 = Twips::placed(new PushButton(QStringLiteral("Update"), this), 120, 4270, 3840, 405);
    PushButton4 = Twips::placed(new PushButton(QStringLiteral("Close"), this), 4080, 4270, 3840, 405);

    setTabOrder(ListView1, PushButton1);
    setTabOrder(PushButton1, PushButton2);
    setTabOrder(PushButton2, PushButton3);
    setTabOrder(PushButton3, PushButton4);

    connect(PushButton1, &QPushButton::clicked, this, &Form2::PushButton1_Click);
    connect(PushButton2, &QPushButton::clicked, this, &Form2::PushButton2_Click);
    connect(PushButton3, &QPushButton::clicked, this, &Form2::PushButton3_Click);
    connect(PushButton4, &QPushButton::clicked, this, &Form2::PushButton4_Click);

    for (QWidget* button : {PushButton1, PushButton2, PushButton3, PushButton4})
        m_pointer->handOver(button);
    m_pointer->arrowOver(ListView1->viewport());
}

int Form2::showModal() {
    Form_Load();
    return exec();
}

void Form2::reject() {
    PushButton4_Click();
}

void Form2::Form_Load() {
    ErrorTrap trap(kWindow, QStringLiteral("Form_Load"));
    Main::dressWindow(trap, this, *m_pointer, {100, 102, 104, 106});

    const QString headers[kListColumns] = {QStringLiteral("Person Number"), QStringLiteral("Name"),
                                           QStringLiteral("Department"), QStringLiteral("Position")};
    for (int i = 0; i < kListColumns; ++i)
        trap.step(108 + 2 * i, [&] { ListView1->addColumnHeader(headers[i]); });
    for (int i = 0; i < kListColumns; ++i)
        trap.step(116 + 2 * i, [&] { ListView1->setColumnWidthTwips(i, 1900); });
    trap.step(124, [&] { listEmployees(); });
}

void Form2::listEmployees() {
    RecordSet rs = Globals::connection().personsByName();
    ListView1->clearRows();
    std::vector<QString> cells;
    cells.reserve(static_cast<size_t>(rs.rowCount()) * kListColumns);
    for (; !rs.eof(); rs.moveNext()) {
        cells.push_back(rs.text(QStringLiteral("EmployeeNo")));
        cells.push_back(rs.text(QStringLiteral("Name")));
        cells.push_back(rs.text(QStringLiteral("Department")));
        cells.push_back(rs.text(QStringLiteral("Position")));
    }
    ListView1->appendRows(std::move(cells));
    rs.close();
}

void Form2::PushButton1_Click() {
    ErrorTrap trap(kWindow, QStringLiteral("PushButton1_Click"));
    Form3 editor(this);
    ErrorTrap::relay(&editor, &Form3::personsChanged, this, &Form2::listEmployees);
    trap.step(100, [&] { editor.mEmployeeID = QString(); });
    // A successful save rebuilds this list.
    trap.step(102, [&] { editor.showModal(); });
}

void Form2::PushButton2_Click() {
    ErrorTrap trap(kWindow, QStringLiteral("PushButton2_Click"));
    if (ListView1->rowCount() == 0)
        return;
    // Rows without a selection: nothing to act on.
    const int row = ListView1->selectedRow();
    if (row < 0)
        return;
    const QString number = ListView1->itemText(row, 0);
    const QString name = ListView1->itemText(row, 1);

    // Only a question that was shown and answered Yes leads to a delete.
    bool yes = false;
    trap.step(102, [&] {
        yes = MessageBox::yesNo(QStringLiteral("Are you sure you want to delete ") + name +
                                QStringLiteral(" and its records?"));
    });
    if (yes) {
        // The person and the records go together or not at all: never a person without their
        // records, nor records kept for a person who is gone because the second half failed.
        trap.step(104, [&] { Globals::connection().deletePersonWithRecords(number); });
    }
    trap.step(108, [&] { listEmployees(); });
}

void Form2::PushButton3_Click() {
    ErrorTrap trap(kWindow, QStringLiteral("PushButton3_Click"));
    if (ListView1->rowCount() == 0)
        return;
    const int row = ListView1->selectedRow();
    if (row < 0)
        return;
    Form3 editor(this);
    ErrorTrap::relay(&editor, &Form3::personsChanged, this, &Form2::listEmployees);
    trap.step(102, [&] { editor.mEmployeeID = ListView1->itemText(row, 0); });
    // A successful save rebuilds this list.
    trap.step(104, [&] { editor.showModal(); });
}

void Form2::PushButton4_Click() {
    ErrorTrap trap(kWindow, QStringLiteral("PushButton4_Click"));
    trap.step(100, [&] { QDialog::reject(); });
}
