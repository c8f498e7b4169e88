#include "formats/FormatWindow.h"

#include "core/ErrorTrap.h"
#include "core/Main.h"
#include "data/SettingsStore.h"
#include "platform/ControlNames.h"
#include "platform/Fonts.h"
#include "platform/MousePointer.h"
#include "platform/PushButton.h"
#include "platform/Twips.h"

#include <QApplication>
#include <QButtonGroup>
#include <QGroupBox>
#include <QRadioButton>
#include <QScreen>

namespace {

// Sets one option of a pair the classic way: selecting it clears its partner, clearing it leaves
// the partner alone, so a pair can end up with neither selected. An exclusive group would refuse
// the clearing, so it is lifted for the assignment; the user's clicks stay exclusive.
void assignSelected(QButtonGroup* group, QRadioButton* option, QRadioButton* partner, bool selected) {
    group->setExclusive(false);
    option->setChecked(selected);
    if (selected)
        partner->setChecked(false);
    group->setExclusive(true);
}

QString flag(const char* key) {
    return QString::fromLatin1(key);
}

} // namespace

FormatWindow::FormatWindow(QWidget* parent) : QDialog(parent), m_pointer(new MousePointer(this)) {
    setObjectName(QStringLiteral("formatWindow"));
    buildControls();
}

void FormatWindow::buildControls() {
    setWindowTitle(QStringLiteral("Format"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFont(Fonts::window());
    Twips::setClientSize(this, 3240, 2730);

    dateFrame = Twips::placed(new QGroupBox(QStringLiteral("Date Format"), this), 120, 90, 3000, 975);
    monthFirstOption =
        Twips::placed(new QRadioButton(QStringLiteral("mm/dd/yyyy"), dateFrame), 240, 300, 1455, 255);
    dayFirstOption = Twips::placed(new QRadioButton(QStringLiteral("dd/mm/yyyy (European)"), dateFrame), 240,
                                   600, 2415, 255);

    timeFrame = Twips::placed(new QGroupBox(QStringLiteral("Time Format"), this), 120, 1140, 3000, 975);
    militaryOption =
        Twips::placed(new QRadioButton(QStringLiteral("Military"), timeFrame), 240, 600, 2415, 255);
    twelveHourOption =
        Twips::placed(new QRadioButton(QStringLiteral("AM/PM"), timeFrame), 240, 300, 1455, 255);

    saveButton = Twips::placed(new PushButton(QStringLiteral("Save"), this), 120, 2220, 1440, 405);
    cancelButton = Twips::placed(new PushButton(QStringLiteral("Cancel"), this), 1680, 2220, 1440, 405);

    // Explicit fonts: children of a frame created after the skin's style sheet would otherwise fall
    // back to the style's default font.
    for (QRadioButton* option : {monthFirstOption, dayFirstOption, twelveHourOption, militaryOption})
        option->setFont(Fonts::window());

    m_dateGroup = new QButtonGroup(this);
    m_dateGroup->addButton(monthFirstOption);
    m_dateGroup->addButton(dayFirstOption);
    m_timeGroup = new QButtonGroup(this);
    m_timeGroup->addButton(twelveHourOption);
    m_timeGroup->addButton(militaryOption);
    // The designer state, before the stored choices are read.
    monthFirstOption->setChecked(true);
    twelveHourOption->setChecked(true);

    setTabOrder(monthFirstOption, dayFirstOption);
    setTabOrder(dayFirstOption, militaryOption);
    setTabOrder(militaryOption, twelveHourOption);
    setTabOrder(twelveHourOption, saveButton);
    setTabOrder(saveButton, cancelButton);

    connect(saveButton, &QPushButton::clicked, this, &FormatWindow::save);
    connect(cancelButton, &QPushButton::clicked, this, &FormatWindow::cancel);

    m_pointer->handOver(saveButton);
    m_pointer->handOver(cancelButton);
    m_pointer->arrowOver(this);
    m_pointer->arrowOver(dateFrame);
    m_pointer->arrowOver(timeFrame);

    nameControls({{dateFrame, "dateFrame"},
                  {monthFirstOption, "monthFirstOption"},
                  {dayFirstOption, "dayFirstOption"},
                  {timeFrame, "timeFrame"},
                  {militaryOption, "militaryOption"},
                  {twelveHourOption, "twelveHourOption"},
                  {saveButton, "saveButton"},
                  {cancelButton, "cancelButton"}});
}

int FormatWindow::showModal() {
    start();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    return exec();
}

void FormatWindow::start() {
    ErrorTrap trap(Where::FormatStart);
    Main::dressWindow(trap, this, *m_pointer, {100, 102, 104, 106});
    trap.step(108, [&] {
        assignSelected(m_dateGroup, monthFirstOption, dayFirstOption,
                       SettingsStore::readFlag(flag("Option1"), 1));
    });
    trap.step(110, [&] {
        assignSelected(m_dateGroup, dayFirstOption, monthFirstOption,
                       SettingsStore::readFlag(flag("Option2"), 0));
    });
    trap.step(112, [&] {
        assignSelected(m_timeGroup, twelveHourOption, militaryOption,
                       SettingsStore::readFlag(flag("Option3"), 1));
    });
    trap.step(114, [&] {
        assignSelected(m_timeGroup, militaryOption, twelveHourOption,
                       SettingsStore::readFlag(flag("Option4"), 0));
    });
}

void FormatWindow::save() {
    ErrorTrap trap(Where::FormatSave);
    trap.step(100, [&] { SettingsStore::saveFlag(flag("Option1"), monthFirstOption->isChecked()); });
    trap.step(102, [&] { SettingsStore::saveFlag(flag("Option2"), dayFirstOption->isChecked()); });
    trap.step(104, [&] { SettingsStore::saveFlag(flag("Option3"), twelveHourOption->isChecked()); });
    trap.step(106, [&] { SettingsStore::saveFlag(flag("Option4"), militaryOption->isChecked()); });
    trap.step(108, [&] { accept(); });
}

void FormatWindow::cancel() {
    ErrorTrap trap(Where::FormatCancel);
    trap.step(100, [&] { QDialog::reject(); });
}

void FormatWindow::reject() {
    cancel();
}
