#pragma once

#include "data/DatabaseEngine.h"
#include "platform/DateTexts.h"

#include <QLocale>
#include <QString>

// The checks of a record an administrator types: the date in the short-date form, the times as
// the clock shows them. No database here; the person number is looked up by the editor.
namespace RecordChecks {

// The boxes of the record editor, for the message and the focus.
enum class Box { Number, Date, TimeIn, TimeOut };

struct Typed {
    QString date;
    QString timeIn;
    QString timeOut; // empty: the record stays open
};

struct Result {
    bool ok = false;
    Box box = Box::Date;    // the box that failed
    QString message;        // why
    RecordFields fields;    // the values to store (number left empty), times in the clock's form
    bool overnight = false; // time out earlier than time in: asked before saving
};

// `today` is the clock's day: only a record of today may be left open, since the next punch of its
// person would take an older open record for today's.
Result check(const Typed& typed, DateTexts::HourCycle cycle, const QDate& today,
             const QLocale& locale = QLocale());

// The question asked before an overnight shift is saved.
QString overnightQuestion(const QString& timeIn, const QString& timeOut);

// The hour cycle of the clock as this user set it.
DateTexts::HourCycle clockCycle();

} // namespace RecordChecks
