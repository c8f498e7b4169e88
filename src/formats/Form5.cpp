#include "formats/Form5.h"

#include "core/ErrorTrap.h"
#include "core/Main.h"
#include "data/SettingsStore.h"
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

Form5::Form5(QWidget* parent) : QDialog(parent), m_pointer(new MousePointer(this)) {
    setObjectName(QStringLiteral("Form5"));
    buildControls();
}

void Form5::buildControls() {
    setWindowTitle(QStringLiteral("Format"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFont(Fonts::window());
    Twips::setClientSize(this, 3240, 2730);

    Frame1 = Twips::placed(new QGroupBox(QStringLiteral("Date Format"), this), 120, 90, 3000, 975);
    Option1 = Twips::placed(new QRadioButton(QStringLiteral("mm/dd/yyyy"), Frame1), 240, 300, 1455, 255);
    Option2 =
        Twips::placed(new QRadioButton(QStringLiteral("dd/mm/yyyy (European)"), Frame1), 240, 600, 2415, 255);

    Frame2 = Twips::placed(new QGroupBox(QStringLiteral("Time Format"), this), 120, 1140, 3000, 975);
    Option4 = Twips::placed(new QRadioButton(QStringLiteral("Military"), Frame2), 240, 600, 2415, 255);
    Option3 = Twips::placed(new QRadioButton(QStringLiteral("AM/PM"), Frame2), 240, 300, 1455, 255);

    PushButton4 = Twips::placed(new PushButton(QStringLiteral("Save"), this), 120, 2220, 1440, 405);
    PushButton1 = Twips::placed(new PushButton(QStringLiteral("Cancel"), this), 1680, 2220, 1440, 405);

    // Explicit fonts: children of a frame created after the skin's style sheet would otherwise fall
    // back to the style's default font.
    for (QRadioButton* option : {Option1, Option2, Option3, Option4})
        option->setFont(Fonts::window());

    m_dateGroup = new QButtonGroup(this);
    m_dateGroup->addButton(Option1);
    m_dateGroup->addButton(Option2);
    m_timeGroup = new QButtonGroup(this);
    m_timeGroup->addButton(Option3);
    m_timeGroup->addButton(Option4);
    // The designer state, before the stored choices are read.
    Option1->setChecked(true);
    Option3->setChecked(true);

    setTabOrder(Option1, Option2);
    setTabOrder(Option2, Option4);
    setTabOrder(Option4, Option3);
    setTabOrder(Option3, PushButton4);
    setTabOrder(PushButton4, PushButton1);

    connect(PushButton4, &QPushButton::clicked, this, &Form5::PushButton4_Click);
    connect(PushButton1, &QPushButton::clicked, this, &Form5::PushButton1_Click);

    m_pointer->handOver(PushButton4);
    m_pointer->handOver(PushButton1);
    m_pointer->arrowOver(this);
    m_pointer->arrowOver(Frame1);
    m_pointer->arrowOver(Frame2);
}

int Form5::showModal() {
    Form_Load();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    return exec();
}

void Form5::Form_Load() {
    ErrorTrap trap(QStringLiteral("Form5"), QStringLiteral("Form_Load"));
    Main::dressWindow(trap, this, *m_pointer, {100, 102, 104, 106});
    trap.step(108, [&] {
        assignSelected(m_dateGroup, Option1, Option2, SettingsStore::readFlag(flag("Option1"), 1));
    });
    trap.step(110, [&] {
        assignSelected(m_dateGroup, Option2, Option1, SettingsStore::readFlag(flag("Option2"), 0));
    });
    trap.step(112, [&] {
        assignSelected(m_timeGroup, Option3, Option4, SettingsStore::readFlag(flag("Option3"), 1));
    });
    trap.step(114, [&] {
        assignSelected(m_timeGroup, Option4, Option3, SettingsStore::readFlag(flag("Option4"), 0));
    });
}

void Form5::PushButton4_Click() {
    ErrorTrap trap(QStringLiteral("Form5"), QStringLiteral("PushButton4_Click"));
    trap.step(100, [&] { SettingsStore::saveFlag(flag("Option1"), Option1->isChecked()); });
    trap.step(102, [&] { SettingsStore::saveFlag(flag("Option2"), Option2->isChecked()); });
    trap.step(104, [&] { SettingsStore::saveFlag(flag("Option3"), Option3->isChecked()); });
    trap.step(106, [&] { SettingsStore::saveFlag(flag("Option4"), Option4->isChecked()); });
    trap.step(108, [&] { accept(); });
}

void Form5::PushButton1_Click() {
    ErrorTrap trap(QStringLiteral("Form5"), QStringLiteral("PushButton1_Click"));
    trap.step(100, [&] { QDialog::reject(); });
}

void Form5::reject() {
    PushButton1_Click();
}
