#include "platform/FilterBoxes.h"

#include "platform/DateTexts.h"

#include <QDateEdit>
#include <QLineEdit>

namespace FilterBoxes {

QDateEdit* dateBox(QWidget* parent, const QString& objectName) {
    auto* box = new QDateEdit(parent);
    box->setObjectName(objectName);
    box->setCalendarPopup(true);
    box->setDisplayFormat(DateTexts::shortDateFormat());
    return box;
}

QLineEdit* personBox(QWidget* parent, const QString& objectName) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(objectName);
    box->setPlaceholderText(QStringLiteral("everyone"));
    return box;
}

} // namespace FilterBoxes
