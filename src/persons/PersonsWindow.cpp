#include "persons/PersonsWindow.h"

#include "core/ErrorTrap.h"
#include "core/Globals.h"
#include "core/Main.h"
#include "data/AttendanceDatabase.h"
#include "persons/PersonEditor.h"
#include "platform/ControlNames.h"
#include "platform/Fonts.h"
#include "platform/ListView.h"
#include "platform/MessageBox.h"
#include "platform/MousePointer.h"
#include "platform/PushButton.h"
#include "platform/Twips.h"

#include <QApplication>
#include <vector>

namespace {
constexpr int kListColumns = 4;
} // namespace

PersonsWindow::PersonsWindow(QWidget* parent) : QDialog(parent), m_pointer(new MousePointer(this)) {
    setObjectName(QStringLiteral("personsWindow"));
    buildControls();
}

void PersonsWindow::buildControls() {
    setWindowTitle(QStringLiteral("Persons"));
    setFont(Fonts::window());
    Twips::setClientSize(this, 8040, 4785);

    personsList = new ListView(this);
    personsList->setAccessibleName(QStringLiteral("Persons"));
    Twips::place(personsList, 120, 120, 7800, 3555);

    addButton = Twips::placed(new PushButton(QStringLiteral("Add"), this), 120, 3760, 3840, 400);
    deleteButton = Twips::placed(new PushButton(QStringLiteral("Delete"), this), 4080, 3765, 3840, 405);
    updateButton = Twips::placed(new PushButton(QStringLiteral("Update"), this), 120, 4270, 3840, 405);
    closeButton = Twips::placed(new PushButton(QStringLiteral("Close"), this), 4080, 4270, 3840, 405);

    setTabOrder(personsList, addButton);
    setTabOrder(addButton, deleteButton);
    setTabOrder(deleteButton, updateButton);
    setTabOrder(updateButton, closeButton);

    connect(addButton, &QPushButton::clicked, this, &PersonsWindow::addPerson);
    connect(deleteButton, &QPushButton::clicked, this, &PersonsWindow::deletePerson);
    connect(updateButton, &QPushButton::clicked, this, &PersonsWindow::updatePerson);
    connect(closeButton, &QPushButton::clicked, this, &PersonsWindow::closeWindow);

    for (QWidget* button : {addButton, deleteButton, updateButton, closeButton})
        m_pointer->handOver(button);
    m_pointer->arrowOver(personsList->viewport());

    nameControls({{personsList, "personsList"},
                  {addButton, "addButton"},
                  {deleteButton, "deleteButton"},
                  {updateButton, "updateButton"},
                  {closeButton, "closeButton"}});
}

int PersonsWindow::showModal() {
    start();
    return exec();
}

void PersonsWindow::reject() {
    closeWindow();
}

void PersonsWindow::start() {
    ErrorTrap trap(Where::PersonsStart);
    Main::dressWindow(trap, this, *m_pointer, {100, 102, 104, 106});

    const QString headers[kListColumns] = {QStringLiteral("Person Number"), QStringLiteral("Name"),
                                           QStringLiteral("Department"), QStringLiteral("Position")};
    for (int i = 0; i < kListColumns; ++i)
        trap.step(108 + 2 * i, [&] { personsList->addColumnHeader(headers[i]); });
    for (int i = 0; i < kListColumns; ++i)
        trap.step(116 + 2 * i, [&] { personsList->setColumnWidthTwips(i, 1900); });
    trap.step(124, [&] { listEmployees(); });
}

void PersonsWindow::listEmployees() {
    RecordSet rs = Globals::connection().personsByName();
    personsList->clearRows();
    std::vector<QString> cells;
    cells.reserve(static_cast<size_t>(rs.rowCount()) * kListColumns);
    for (; !rs.eof(); rs.moveNext()) {
        cells.push_back(rs.text(QStringLiteral("EmployeeNo")));
        cells.push_back(rs.text(QStringLiteral("Name")));
        cells.push_back(rs.text(QStringLiteral("Department")));
        cells.push_back(rs.text(QStringLiteral("Position")));
    }
    personsList->appendRows(std::move(cells));
    rs.close();
}

void PersonsWindow::addPerson() {
    ErrorTrap trap(Where::AddPerson);
    PersonEditor editor(this);
    ErrorTrap::relay(&editor, &PersonEditor::personsChanged, this, &PersonsWindow::listEmployees);
    trap.step(100, [&] { editor.editedNumber = QString(); });
    // A successful save rebuilds this list.
    trap.step(102, [&] { editor.showModal(); });
}

void PersonsWindow::deletePerson() {
    ErrorTrap trap(Where::DeletePerson);
    if (personsList->rowCount() == 0)
        return;
    // Rows without a selection: nothing to act on.
    const int row = personsList->selectedRow();
    if (row < 0)
        return;
    const QString number = personsList->itemText(row, 0);
    const QString name = personsList->itemText(row, 1);

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

void PersonsWindow::updatePerson() {
    ErrorTrap trap(Where::UpdatePerson);
    if (personsList->rowCount() == 0)
        return;
    const int row = personsList->selectedRow();
    if (row < 0)
        return;
    PersonEditor editor(this);
    ErrorTrap::relay(&editor, &PersonEditor::personsChanged, this, &PersonsWindow::listEmployees);
    trap.step(102, [&] { editor.editedNumber = personsList->itemText(row, 0); });
    // A successful save rebuilds this list.
    trap.step(104, [&] { editor.showModal(); });
}

void PersonsWindow::closeWindow() {
    ErrorTrap trap(Where::ClosePersons);
    trap.step(100, [&] { QDialog::reject(); });
}
