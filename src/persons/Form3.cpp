#include "persons/Form3.h"

#include "core/ErrorTrap.h"
#include "core/Globals.h"
#include "core/Main.h"
#include "credentials/Login.h"
#include "credentials/Throttle.h"
#include "data/AttendanceDatabase.h"
#include "data/SettingsStore.h"
#include "platform/Fonts.h"
#include "platform/MessageBox.h"
#include "platform/MousePointer.h"
#include "platform/PushButton.h"
#include "platform/SystemClock.h"
#include "platform/Twips.h"

#include "platform/PasswordBox.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <algorithm>
#include <functional>

namespace {

const QString kWindow = QStringLiteral("Form3");
const QString kKeepPasswordHint = QStringLiteral("Leave both empty to keep the password");

// Empty once the spaces at both ends are gone (only blanks count, as in the save checks).
bool isBlank(const QString& text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c == QLatin1Char(' '); });
}

} // namespace

Form3::Form3(QWidget* parent) : QDialog(parent), m_pointer(new MousePointer(this)) {
    setObjectName(kWindow);
    buildControls();
}

void Form3::buildControls() {
    setWindowTitle(QStringLiteral("Add Person"));
    setFont(Fonts::window());
    Twips::setClientSize(this, 6360, 3915);

    const QString captions[7] = {QStringLiteral("Person Number:"), QStringLiteral("Password:"),
                                 QStringLiteral("Full Name:"),     QStringLiteral("Department:"),
                                 QStringLiteral("Position:"),      QStringLiteral("Administrator:"),
                                 QStringLiteral("Retype:")};
    const int labelTops[7] = {165, 645, 1605, 2085, 2565, 2985, 1095};
    for (size_t i = 0; i < Label3.size(); ++i) {
        Label3[i] = Twips::placed(new QLabel(captions[i], this), 120, labelTops[i], 1515, 255);
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
    Text1 = textBox("Text1", 120, Label3[0]);
    Text2 = textBox("Text2", 600, Label3[1]);
    Text6 = textBox("Text6", 1080, Label3[6]);
    Text3 = textBox("Text3", 1560, Label3[2]);
    Text4 = textBox("Text4", 2040, Label3[3]);
    Text5 = textBox("Text5", 2520, Label3[4]);
    showStars(Text2);
    showStars(Text6);

    Option1 = new QRadioButton(QStringLiteral(" Yes"), this);
    Option1->setObjectName(QStringLiteral("Option1"));
    Twips::place(Option1, 1680, 3000, 855, 255);
    Option1->setAccessibleName(QStringLiteral("Administrator: Yes"));
    Option2 = new QRadioButton(QStringLiteral("No"), this);
    Option2->setObjectName(QStringLiteral("Option2"));
    Twips::place(Option2, 2640, 3000, 855, 255);
    Option2->setAccessibleName(QStringLiteral("Administrator: No"));
    Option2->setChecked(true);
    Label3[5]->setBuddy(Option1);
    Check1 = Twips::placed(new QCheckBox(QStringLiteral("Lift the login lock"), this), 3600, 3000, 2640, 255);
    Check1->setObjectName(QStringLiteral("Check1"));
    Check1->hide();

    PushButton1 = Twips::placed(new PushButton(QStringLiteral("Save"), this), 120, 3390, 3000, 405);
    PushButton2 = Twips::placed(new PushButton(QStringLiteral("Cancel"), this), 3240, 3390, 3000, 405);

    QWidget* const order[] = {Text1,   Text2,   Text6,  Text3,       Text4,      Text5,
                              Option1, Option2, Check1, PushButton1, PushButton2};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);

    connect(PushButton1, &QPushButton::clicked, this, &Form3::PushButton1_Click);
    connect(PushButton2, &QPushButton::clicked, this, &Form3::PushButton2_Click);

    m_pointer->handOver(PushButton1);
    m_pointer->handOver(PushButton2);
}

int Form3::showModal() {
    Form_Load();
    return exec();
}

void Form3::reject() {
    PushButton2_Click();
}

void Form3::Form_Load() {
    ErrorTrap trap(kWindow, QStringLiteral("Form_Load"));
    Main::dressWindow(trap, this, *m_pointer, {100, 102, 104, 106});
    // A new person keeps whatever administrator choice the caller made.
    if (trap.test(108, [&] { return !mEmployeeID.isEmpty(); })) {
        trap.step(110, [&] { loadEmployeeInfo(); });
        // Stored passwords are never shown; empty boxes keep the one there is.
        trap.step(112, [&] {
            for (QLineEdit* box : {Text2, Text6}) {
                box->setPlaceholderText(kKeepPasswordHint);
                box->setAccessibleDescription(kKeepPasswordHint);
            }
        });
    }
}

void Form3::loadEmployeeInfo() {
    ErrorTrap trap(kWindow, QStringLiteral("loadEmployeeInfo"));
    RecordSet rs;
    trap.step(100, [&] { rs = RecordSet(); });
    trap.step(102, [&] { rs = Globals::connection().personByNumber(mEmployeeID); });
    const bool found = trap.test(104, [&] { return !rs.eof(); });
    if (found) {
        trap.step(106, [&] { Text1->setText(mEmployeeID); });
        // 108, 110: the password boxes stay empty; what is stored is a hash, not a password to show.
        trap.step(112, [&] { Text3->setText(rs.text(QStringLiteral("Name"))); });
        trap.step(114, [&] { Text4->setText(rs.text(QStringLiteral("Department"))); });
        trap.step(116, [&] { Text5->setText(rs.text(QStringLiteral("Position"))); });
        // An unreadable flag leaves the choice as it is rather than guessing either way.
        bool isAdmin = false;
        if (trap.step(118, [&] {
                const QVariant flag = rs.value(QStringLiteral("IsAdmin"));
                isAdmin = flag.isValid() && flag.toDouble() == 1.0;
            })) {
            if (isAdmin)
                trap.step(120, [&] { Option1->setChecked(true); });
            else
                trap.step(122, [&] { Option2->setChecked(true); });
        }
    }
    trap.step(124, [&] {
        if (rs.isOpen())
            rs.close();
    });
    // A number refused after too many wrong passwords can be let in again here.
    if (found) {
        trap.step(126, [&] {
            const std::optional<QDateTime> until =
                Throttle::refusedUntil(Globals::connection().loginFailures(mEmployeeID), SystemClock::now());
            Check1->setVisible(until.has_value());
            if (until) {
                const QString why = QStringLiteral("Refused until %1 after too many wrong passwords")
                                        .arg(Login::untilText(*until));
                Check1->setToolTip(why);
                Check1->setAccessibleDescription(why);
            }
        });
    }
}

void Form3::PushButton1_Click() {
    ErrorTrap trap(kWindow, QStringLiteral("PushButton1_Click"));
    // A person being changed keeps the stored password when both password boxes are left empty.
    const bool keepPassword = !mEmployeeID.isEmpty() && Text2->text().isEmpty() && Text6->text().isEmpty();
    struct Check {
        int step;
        QLineEdit* box;
        std::function<bool()> fails;
        QString message;
    };
    const Check checks[] = {
        {100, Text1, [&] { return isBlank(Text1->text()); },
         QStringLiteral("You forgot to input person number.")},
        {106, Text2, [&] { return !keepPassword && isBlank(Text2->text()); },
         QStringLiteral("You forgot to input password.")},
        {112, Text3, [&] { return isBlank(Text3->text()); }, QStringLiteral("You forgot to input name.")},
        {118, Text6, [&] { return Text2->text() != Text6->text(); },
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
    PersonFields person{Text1->text(), Text2->text(), Text3->text(),
                        Text4->text(), Text5->text(), Option1->isChecked()};
    if (keepPassword)
        person.password.reset();
    if (trap.test(124, [&] { return mEmployeeID.isEmpty(); })) {
        trap.step(128, [&] { Globals::connection().insertPerson(person); });
        trap.step(130, [&] {
            SettingsStore::SaveSetting(SettingsStore::kApplication, SettingsStore::kSection,
                                       QStringLiteral("Is First Time"), QStringLiteral("0"));
        });
    } else {
        trap.step(126, [&] { Globals::connection().updatePerson(mEmployeeID, person); });
        if (Check1->isChecked())
            trap.step(136, [&] { Globals::connection().clearLoginFailures(mEmployeeID); });
    }
    // No persons window may be listening (the first administrator is added before it opens); it
    // builds its list when it loads.
    trap.step(132, [&] { emit personsChanged(); });
    trap.step(134, [&] { accept(); });
}

void Form3::PushButton2_Click() {
    ErrorTrap trap(kWindow, QStringLiteral("PushButton2_Click"));
    trap.step(100, [&] { QDialog::reject(); });
}
