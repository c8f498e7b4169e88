#include "corrections/RecordEditor.h"

#include "core/ErrorTrap.h"
#include "core/Globals.h"
#include "core/Main.h"
#include "corrections/RecordChecks.h"
#include "data/AttendanceDatabase.h"
#include "platform/ControlNames.h"
#include "platform/DateTexts.h"
#include "platform/Fonts.h"
#include "platform/MessageBox.h"
#include "platform/MousePointer.h"
#include "platform/PushButton.h"
#include "platform/SystemClock.h"
#include "platform/Twips.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <stdexcept>

RecordEditor::RecordEditor(QWidget* parent) : QDialog(parent), m_pointer(new MousePointer(this)) {
    setObjectName(QStringLiteral("recordEditor"));
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
    numberBox = box(QStringLiteral("Person Number"), QStringLiteral("numberBox"));
    dateBox = box(QStringLiteral("Date"), QStringLiteral("dateBox"));
    timeInBox = box(QStringLiteral("Time In"), QStringLiteral("timeInBox"));
    timeOutBox = box(QStringLiteral("Time Out"), QStringLiteral("timeOutBox"));

    saveButton = new PushButton(QStringLiteral("Save"), this);
    cancelButton = new PushButton(QStringLiteral("Cancel"), this);
    auto* buttons = new QHBoxLayout;
    for (PushButton* button : {saveButton, cancelButton}) {
        button->setMinimumSize(Twips::toPixelsX(this, 1800), Twips::toPixelsY(this, 405));
        buttons->addWidget(button);
        m_pointer->handOver(button);
    }

    auto* layout = new QVBoxLayout(this);
    const int margin = Twips::toPixelsX(this, 120);
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->addLayout(form);
    layout->addLayout(buttons);

    connect(saveButton, &QPushButton::clicked, this, &RecordEditor::save);
    connect(cancelButton, &QPushButton::clicked, this, &RecordEditor::cancel);

    nameControls({{numberBox, "numberBox"},
                  {dateBox, "dateBox"},
                  {timeInBox, "timeInBox"},
                  {timeOutBox, "timeOutBox"},
                  {saveButton, "saveButton"},
                  {cancelButton, "cancelButton"}});
}

int RecordEditor::showModal() {
    start();
    // A record that is gone, or no longer the one listed, is not edited: the box said why.
    if (m_openFailed)
        return QDialog::Rejected;
    return exec();
}

void RecordEditor::reject() {
    cancel();
}

void RecordEditor::start() {
    ErrorTrap trap(Where::RecordEditorStart);
    Main::dressWindow(trap, this, *m_pointer, {100, 101, 102, 104});
    const QString format = DateTexts::shortDateFormat() + QStringLiteral(", times as ") +
                           DateTexts::clockTime(QTime(9, 5), RecordChecks::clockCycle()) +
                           QStringLiteral("; no time out: still open");
    trap.step(106, [&] {
        setWindowTitle(recordId ? QStringLiteral("Correct Record") : QStringLiteral("Add Record"));
        dateBox->setPlaceholderText(DateTexts::shortDateFormat());
        timeOutBox->setPlaceholderText(QStringLiteral("empty while still open"));
        dateBox->setToolTip(format);
    });
    if (!recordId)
        return;
    // A correction keeps the record's person: only its day and times change.
    m_openFailed = !trap.step(108, [&] {
        numberBox->setReadOnly(true);
        const RecordSet rs = Globals::connection().recordById(*recordId);
        if (rs.eof())
            throw std::runtime_error("The record no longer exists; another terminal may have deleted it.");
        if (listed && (rs.text(QStringLiteral("EmployeeNo")) != listed->number ||
                       rs.text(QStringLiteral("LogDate")) != listed->day ||
                       rs.text(QStringLiteral("TimeIn")) != listed->timeIn ||
                       rs.text(QStringLiteral("TimeOut")) != listed->timeOut))
            throw std::runtime_error("The record is no longer the one listed; another terminal has changed "
                                     "it meanwhile. Search again and choose the record anew.");
        m_opened =
            RecordFields{rs.text(QStringLiteral("EmployeeNo")), rs.value(QStringLiteral("LogDate")).toDate(),
                         rs.text(QStringLiteral("TimeIn")), rs.text(QStringLiteral("TimeOut"))};
        numberBox->setText(rs.text(QStringLiteral("EmployeeNo")));
        dateBox->setText(DateTexts::shortDate(rs.value(QStringLiteral("LogDate")).toDate()));
        timeInBox->setText(rs.text(QStringLiteral("TimeIn")));
        timeOutBox->setText(rs.text(QStringLiteral("TimeOut")));
    });
}

void RecordEditor::save() {
    ErrorTrap trap(Where::RecordEditorSave);
    const auto refuse = [&](int step, const QString& message, QLineEdit* focus) {
        trap.step(step, [&] { MessageBox::ok(message); });
        focus->setFocus();
    };
    // A new record's person must exist; the record takes the number as stored.
    QString number = numberBox->text();
    if (!recordId) {
        if (number.trimmed().isEmpty())
            return refuse(100, QStringLiteral("You forgot to input person number."), numberBox);
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
                          numberBox);
    }
    const RecordChecks::Result checked =
        RecordChecks::check({dateBox->text(), timeInBox->text(), timeOutBox->text()},
                            RecordChecks::clockCycle(), SystemClock::now().date());
    if (!checked.ok) {
        QLineEdit* const boxes[] = {numberBox, dateBox, timeInBox, timeOutBox};
        return refuse(106, checked.message, boxes[static_cast<int>(checked.box)]);
    }
    if (checked.overnight) {
        bool overnight = false;
        trap.step(108, [&] {
            overnight = MessageBox::yesNo(
                RecordChecks::overnightQuestion(checked.fields.timeIn, *checked.fields.timeOut));
        });
        if (!overnight) {
            timeOutBox->setFocus();
            return;
        }
    }
    RecordFields fields = checked.fields;
    fields.number = number;
    const bool saved = trap.step(110, [&] {
        if (recordId)
            Globals::connection().correctRecord(*recordId, fields, m_opened);
        else
            Globals::connection().addRecord(fields);
    });
    // A refused write keeps the editor open with what was typed.
    if (saved)
        trap.step(112, [&] { accept(); });
}

void RecordEditor::cancel() {
    ErrorTrap trap(Where::RecordEditorCancel);
    trap.step(100, [&] { QDialog::reject(); });
}
