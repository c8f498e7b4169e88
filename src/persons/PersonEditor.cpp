#include "persons/PersonEditor.h"

#include "core/ErrorTrap.h"
#include "core/Globals.h"
#include "core/Main.h"
#include "credentials/Login.h"
#include "credentials/Throttle.h"
#include "data/AttendanceDatabase.h"
#include "data/SettingsStore.h"
#include "platform/ControlNames.h"
#include "platform/Fonts.h"
#include "platform/MessageBox.h"
#include "platform/MousePointer.h"
#include "platform/PushButton.h"
#include "platform/Twips.h"

#include "platform/PasswordBox.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <algorithm>
#include <functional>

namespace {

const QString kKeepPasswordHint = QStringLiteral("Leave both empty to keep the password");

// Empty once the spaces at both ends are gone (only blanks count, as in the save checks).
bool isBlank(const QString& text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c == QLatin1Char(' '); });
}

// A badge reader ends its code with Enter: in the badge box it does nothing, rather than saving a
// person whose other boxes may not be filled yet.
class EnterIgnored : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter)
                return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

PersonEditor::PersonEditor(QWidget* parent) : QDialog(parent), m_pointer(new MousePointer(this)) {
    setObjectName(QStringLiteral("personEditor"));
    buildControls();
}

void PersonEditor::buildControls() {
    setWindowTitle(QStringLiteral("Add Person"));
    setFont(Fonts::window());
    Twips::setClientSize(this, 6360, 4395);

    const QString captions[7] = {QStringLiteral("Person Number:"), QStringLiteral("Password:"),
                                 QStringLiteral("Full Name:"),     QStringLiteral("Department:"),
                                 QStringLiteral("Position:"),      QStringLiteral("Administrator:"),
                                 QStringLiteral("Retype:")};
    const int labelTops[7] = {165, 645, 1605, 2085, 2565, 3465, 1095};
    for (size_t i = 0; i < labels.size(); ++i) {
        labels[i] = Twips::placed(new QLabel(captions[i], this), 120, labelTops[i], 1515, 255);
    }

    const auto textBox = [this](const char* name, int top, QLabel* label) {
        auto* box = new QLineEdit(this);
        box->setObjectName(QLatin1String(name));
        Twips::place(box, 1680, top, 4560, 345);
        label->setBuddy(box);
        box->setAccessibleName(label->text());
        m_pointer->arrowOver(box);
        return box;
    };
    numberBox = textBox("numberBox", 120, labels[0]);
    passwordBox = textBox("passwordBox", 600, labels[1]);
    retypeBox = textBox("retypeBox", 1080, labels[6]);
    nameBox = textBox("nameBox", 1560, labels[2]);
    departmentBox = textBox("departmentBox", 2040, labels[3]);
    positionBox = textBox("positionBox", 2520, labels[4]);
    badgeCaption = Twips::placed(new QLabel(QStringLiteral("Badge:"), this), 120, 3045, 1515, 255);
    badgeBox = textBox("badgeBox", 3000, badgeCaption);
    badgeBox->setAccessibleDescription(QStringLiteral("Type the code or present the badge; empty for none"));
    badgeBox->installEventFilter(new EnterIgnored(badgeBox));
    showStars(passwordBox);
    showStars(retypeBox);
    showStars(badgeBox);

    adminYesOption = new QRadioButton(QStringLiteral(" Yes"), this);
    Twips::place(adminYesOption, 1680, 3480, 855, 255);
    adminYesOption->setAccessibleName(QStringLiteral("Administrator: Yes"));
    adminNoOption = new QRadioButton(QStringLiteral("No"), this);
    Twips::place(adminNoOption, 2640, 3480, 855, 255);
    adminNoOption->setAccessibleName(QStringLiteral("Administrator: No"));
    adminNoOption->setChecked(true);
    labels[5]->setBuddy(adminYesOption);
    unlockCheck =
        Twips::placed(new QCheckBox(QStringLiteral("Lift the login lock"), this), 3600, 3480, 2640, 255);
    unlockCheck->hide();

    saveButton = Twips::placed(new PushButton(QStringLiteral("Save"), this), 120, 3870, 3000, 405);
    cancelButton = Twips::placed(new PushButton(QStringLiteral("Cancel"), this), 3240, 3870, 3000, 405);

    QWidget* const order[] = {numberBox,     passwordBox, retypeBox,  nameBox,
                              departmentBox, positionBox, badgeBox,   adminYesOption,
                              adminNoOption, unlockCheck, saveButton, cancelButton};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);

    connect(saveButton, &QPushButton::clicked, this, &PersonEditor::save);
    connect(cancelButton, &QPushButton::clicked, this, &PersonEditor::cancel);

    m_pointer->handOver(saveButton);
    m_pointer->handOver(cancelButton);

    nameControls({{numberBox, "numberBox"},
                  {passwordBox, "passwordBox"},
                  {nameBox, "nameBox"},
                  {departmentBox, "departmentBox"},
                  {positionBox, "positionBox"},
                  {retypeBox, "retypeBox"},
                  {badgeBox, "badgeBox"},
                  {adminYesOption, "adminYesOption"},
                  {adminNoOption, "adminNoOption"},
                  {unlockCheck, "unlockCheck"},
                  {saveButton, "saveButton"},
                  {cancelButton, "cancelButton"}});
}

void PersonEditor::chooseAdministrator(bool administrator) {
    (administrator ? adminYesOption : adminNoOption)->setChecked(true);
}

int PersonEditor::showModal() {
    start();
    return exec();
}

void PersonEditor::reject() {
    cancel();
}

void PersonEditor::start() {
    ErrorTrap trap(Where::EditorStart);
    Main::dressWindow(trap, this, *m_pointer, {100, 102, 104, 106});
    // A new person keeps whatever administrator choice the caller made.
    if (trap.test(108, [&] { return !editedNumber.isEmpty(); })) {
        trap.step(110, [&] { loadPerson(); });
        // Stored passwords are never shown; empty boxes keep the one there is.
        trap.step(112, [&] {
            for (QLineEdit* box : {passwordBox, retypeBox}) {
                box->setPlaceholderText(kKeepPasswordHint);
                box->setAccessibleDescription(kKeepPasswordHint);
            }
        });
    }
}

void PersonEditor::loadPerson() {
    ErrorTrap trap(Where::EditorLoadPerson);
    RecordSet rs;
    trap.step(100, [&] { rs = RecordSet(); });
    trap.step(102, [&] { rs = Globals::connection().personByNumber(editedNumber); });
    const bool found = trap.test(104, [&] { return !rs.eof(); });
    if (found) {
        trap.step(106, [&] { numberBox->setText(editedNumber); });
        // 108, 110: the password boxes stay empty; what is stored is a hash, not a password to show.
        trap.step(112, [&] { nameBox->setText(rs.text(QStringLiteral("Name"))); });
        trap.step(114, [&] { departmentBox->setText(rs.text(QStringLiteral("Department"))); });
        trap.step(116, [&] { positionBox->setText(rs.text(QStringLiteral("Position"))); });
        trap.step(128, [&] {
            m_storedBadge = rs.text(QStringLiteral("BadgeCode"));
            badgeBox->setText(m_storedBadge);
        });
        // An unreadable flag leaves the choice as it is rather than guessing either way.
        bool isAdmin = false;
        if (trap.step(118, [&] {
                const QVariant flag = rs.value(QStringLiteral("IsAdmin"));
                isAdmin = flag.isValid() && flag.toDouble() == 1.0;
            })) {
            if (isAdmin)
                trap.step(120, [&] { adminYesOption->setChecked(true); });
            else
                trap.step(122, [&] { adminNoOption->setChecked(true); });
        }
    }
    trap.step(124, [&] {
        if (rs.isOpen())
            rs.close();
    });
    // A number refused after too many wrong passwords can be let in again here.
    if (found) {
        trap.step(126, [&] {
            const std::optional<QDateTime> until = Throttle::refusedUntil(
                Globals::connection().loginFailures(editedNumber), Globals::connection().countingMoment());
            unlockCheck->setVisible(until.has_value());
            if (until) {
                const QString why = QStringLiteral("Refused until %1 after too many wrong passwords")
                                        .arg(Login::untilText(*until));
                unlockCheck->setToolTip(why);
                unlockCheck->setAccessibleDescription(why);
            }
        });
    }
}

void PersonEditor::save() {
    ErrorTrap trap(Where::EditorSave);
    // A person being changed keeps the stored password when both password boxes are left empty.
    const bool keepPassword =
        !editedNumber.isEmpty() && passwordBox->text().isEmpty() && retypeBox->text().isEmpty();
    struct Check {
        int step;
        QLineEdit* box;
        std::function<bool()> fails;
        QString message;
    };
    const Check checks[] = {
        {100, numberBox, [&] { return isBlank(numberBox->text()); },
         QStringLiteral("You forgot to input person number.")},
        {106, passwordBox, [&] { return !keepPassword && isBlank(passwordBox->text()); },
         QStringLiteral("You forgot to input password.")},
        {112, nameBox, [&] { return isBlank(nameBox->text()); }, QStringLiteral("You forgot to input name.")},
        {118, retypeBox, [&] { return passwordBox->text() != retypeBox->text(); },
         QStringLiteral("Password not retyped properly.")},
    };
    for (const Check& check : checks) {
        if (trap.test(check.step, check.fails)) {
            trap.step(check.step + 2, [&] { MessageBox::ok(check.message); });
            trap.step(check.step + 4, [&] { check.box->setFocus(); });
            return;
        }
    }

    // Values are bound, not spliced into the statement, so they are stored exactly as typed.
    PersonFields person{numberBox->text(),     passwordBox->text(), nameBox->text(),
                        departmentBox->text(), positionBox->text(), adminYesOption->isChecked()};
    if (keepPassword)
        person.password.reset();
    // A badge another person has is refused before anything is saved.
    const QString badge = badgeBox->text();
    const bool badgeChanged = badge != m_storedBadge;
    if (badgeChanged && !badge.isEmpty() &&
        trap.test(
            138,
            [&] {
                const RecordSet holder = Globals::connection().personByBadge(badge);
                return !holder.eof();
            },
            ErrorTrap::FailedTest::Holds)) {
        trap.step(140,
                  [&] { MessageBox::ok(QStringLiteral("This badge is already given to another person.")); });
        trap.step(142, [&] { badgeBox->setFocus(); });
        return;
    }
    bool saved = false;
    if (trap.test(124, [&] { return editedNumber.isEmpty(); })) {
        saved = trap.step(128, [&] { Globals::connection().insertPerson(person); });
        trap.step(130, [&] {
            SettingsStore::SaveSetting(SettingsStore::kApplication, SettingsStore::kSection,
                                       QStringLiteral("Is First Time"), QStringLiteral("0"));
        });
    } else {
        saved = trap.step(126, [&] { Globals::connection().updatePerson(editedNumber, person); });
        if (unlockCheck->isChecked())
            trap.step(136, [&] { Globals::connection().clearLoginFailures(editedNumber); });
    }
    if (saved && badgeChanged)
        trap.step(144, [&] { Globals::connection().setBadge(person.number, badge); });
    // No persons window may be listening (the first administrator is added before it opens); it
    // builds its list when it loads.
    trap.step(132, [&] { emit personsChanged(); });
    trap.step(134, [&] { accept(); });
}

void PersonEditor::cancel() {
    ErrorTrap trap(Where::EditorCancel);
    trap.step(100, [&] { QDialog::reject(); });
}
