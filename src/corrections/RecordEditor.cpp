#include "corrections/RecordEditor.h"

#include "core/ErrorTrap.h"
#include "core/Globals.h"
#include "core/Main.h"
#include "corrections/RecordChecks.h"
#include "data/AttendanceDatabase.h"
#include "platform/DateTexts.h"
#include "platform/Fonts.h"
#include "platform/MessageBox.h"
#include "platform/MousePointer.h"
#include "platform/PushButton.h"
#include "platform/Twips.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <stdexcept>

RecordEditor::RecordEditor(QWidget* parent) : QDialog(parent), m_pointer(new MousePointer(this)) {
    setObjectName(QStringLiteral("RecordEditor"));
    setWindowTitle(QStringLiteral("Correct Record"));
    buildControls();
}

void RecordEditor::buildControls() {
    setFont(Fonts::window());
    auto* form = new QFormLayout;
    const auto box = [&](const QString& label, const QString& name) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(name);
        edit->setAccessibleName(label);
        edit->setMinimumWidth(Twips::toPixelsX(this, 3000));
        auto* caption = new QLabel(label + QLatin1Char(':'), this);
        caption->setBuddy(edit);
        form->addRow(caption, edit);
        return edit;
    };
    txtNumber = box(QStringLiteral("Person Number"), QStringLiteral("txtNumber"));
    txtDate = box(QStringLiteral("Date"), QStringLiteral("txtDate"));
    txtTimeIn = box(QStringLiteral("Time In"), QStringLiteral("txtTimeIn"));
    txtTimeOut = box(QStringLiteral("Time Out"), QStringLiteral("txtTimeOut"));

    PushButton1 = new PushButton(QStringLiteral("Save"), this);
    PushButton2 = new PushButton(QStringLiteral("Cancel"), this);
    auto* buttons = new QHBoxLayout;
    for (PushButton* button : {PushButton1, PushButton2}) {
        button->setMinimumSize(Twips::toPixelsX(this, 1800), Twips::toPixelsY(this, 405));
        buttons->addWidget(button);
        m_pointer->handOver(button);
    }

    auto* layout = new QVBoxLayout(this);
    const int margin = Twips::toPixelsX(this, 120);
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->addLayout(form);
    layout->addLayout(buttons);

    connect(PushButton1, &QPushButton::clicked, this, &RecordEditor::PushButton1_Click);
    connect(PushButton2, &QPushButton::clicked, this, &RecordEditor::PushButton2_Click);
}

int RecordEditor::showModal() {
    Form_Load();
    return exec();
}

void RecordEditor::reject() {
    PushButton2_Click();
}

void RecordEditor::Form_Load() {
    ErrorTrap trap(QStringLiteral("RecordEditor"), QStringLiteral("Form_Load"));
    Main::dressWindow(trap, this, *m_pointer, {100, 101, 102, 104});
    const QString format = DateTexts::shortDateFormat() + QStringLiteral(", times as ") +
                           DateTexts::clockTime(QTime(9, 5), RecordChecks::clockCycle()) +
                           QStringLiteral("; no time out: still open");
    trap.step(106, [&] {
        setWindowTitle(recordId ? QStringLiteral("Correct Record") : QStringLiteral("Add Record"));
        txtDate->setPlaceholderText(DateTexts::shortDateFormat());
        txtTimeOut->setPlaceholderText(QStringLiteral("empty while still open"));
        txtDate->setToolTip(format);
    });
    if (!recordId)
        return;
    // A correction keeps the record's person: only its day and times change.
    trap.step(108, [&] {
        txtNumber->setReadOnly(true);
        const RecordSet rs = Globals::connection().recordById(*recordId);
        if (rs.eof())
            throw std::runtime_error("The record no longer exists; another terminal may have deleted it.");
        txtNumber->setText(rs.text(QStringLiteral("EmployeeNo")));
        txtDate->setText(DateTexts::shortDate(rs.value(QStringLiteral("LogDate")).toDate()));
        txtTimeIn->setText(rs.text(QStringLiteral("TimeIn")));
        txtTimeOut->setText(rs.text(QStringLiteral("TimeOut")));
    });
}

void RecordEditor::PushButton1_Click() {
    ErrorTrap trap(QStringLiteral("RecordEditor"), QStringLiteral("PushButton1_Click"));
    const auto refuse = [&](int step, const QString& message, QLineEdit* focus) {
        trap.step(step, [&] { MessageBox::ok(message); });
        focus->setFocus();
    };
    // A new record's person must exist; the record takes the number as stored.
    QString number = txtNumber->text();
    if (!recordId) {
        if (number.trimmed().isEmpty())
            return refuse(100, QStringLiteral("You forgot to input person number."), txtNumber);
        bool exists = false;
        if (!trap.step(102, [&] {
                const RecordSet rs = Globals::connection().personByNumber(number);
                exists = !rs.eof();
                if (exists)
                    number = rs.text(QStringLiteral("EmployeeNo"));
            }))
            return; // an unreadable persons table adds nothing
        if (!exists)
            return refuse(104, QStringLiteral("There is no person with the number \"%1\".").arg(number),
                          txtNumber);
    }
    const RecordChecks::Result checked = RecordChecks::check(
        {txtDate->text(), txtTimeIn->text(), txtTimeOut->text()}, RecordChecks::clockCycle());
    if (!checked.ok) {
        QLineEdit* const boxes[] = {txtNumber, txtDate, txtTimeIn, txtTimeOut};
        return refuse(106, checked.message, boxes[static_cast<int>(checked.box)]);
    }
    if (checked.overnight) {
        bool overnight = false;
        trap.step(108, [&] {
            overnight = MessageBox::yesNo(
                RecordChecks::overnightQuestion(checked.fields.timeIn, *checked.fields.timeOut));
        });
        if (!overnight) {
            txtTimeOut->setFocus();
            return;
        }
    }
    RecordFields fields = checked.fields;
    fields.number = number;
    const bool saved = trap.step(110, [&] {
        if (recordId)
            Globals::connection().correctRecord(*recordId, fields);
        else
            Globals::connection().addRecord(fields);
    });
    // A refused write keeps the editor open with what was typed.
    if (saved)
        trap.step(112, [&] { accept(); });
}

void RecordEditor::PushButton2_Click() {
    ErrorTrap trap(QStringLiteral("RecordEditor"), QStringLiteral("PushButton2_Click"));
    trap.step(100, [&] { QDialog::reject(); });
}
