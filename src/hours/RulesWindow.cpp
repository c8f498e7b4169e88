#include "hours/RulesWindow.h"

#include "core/ErrorTrap.h"
#include "core/Main.h"
#include "data/AttendanceDatabase.h"
#include "hours/PayRules.h"
#include "platform/Accessibility.h"
#include "platform/Fonts.h"
#include "platform/MessageBox.h"
#include "platform/MousePointer.h"
#include "platform/PushButton.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QVBoxLayout>
#include <stdexcept>

RulesWindow::RulesWindow(AttendanceDatabase& db, QWidget* parent)
    : QDialog(parent), m_db(db), m_pointer(new MousePointer(this)) {
    setObjectName(QStringLiteral("rulesWindow"));
    setWindowTitle(QStringLiteral("Pay Rules"));
    setFont(Fonts::window());

    m_rounding = new QComboBox(this);
    m_rounding->setObjectName(QStringLiteral("roundingBox"));
    for (const int minutes : Hours::PayRules::roundings())
        m_rounding->addItem(minutes == 0 ? QStringLiteral("None")
                                         : QStringLiteral("To the nearest %1 minutes").arg(minutes),
                            minutes);
    m_breaks = new QLineEdit(this);
    m_breaks->setObjectName(QStringLiteral("breaksBox"));
    m_breaks->setPlaceholderText(QStringLiteral("6:00=30; 9:00=45"));
    m_daily = new QLineEdit(this);
    m_daily->setObjectName(QStringLiteral("dailyBox"));
    m_daily->setPlaceholderText(QStringLiteral("none"));
    m_weekly = new QLineEdit(this);
    m_weekly->setObjectName(QStringLiteral("weeklyBox"));
    m_weekly->setPlaceholderText(QStringLiteral("none"));
    m_firstDay = new QComboBox(this);
    m_firstDay->setObjectName(QStringLiteral("firstDayBox"));
    for (int day = Qt::Monday; day <= Qt::Sunday; ++day)
        m_firstDay->addItem(QLocale().dayName(day), day);
    m_longRecords = new QLineEdit(this);
    m_longRecords->setObjectName(QStringLiteral("longRecordsBox"));
    m_who = new QLabel(this);
    m_who->setWordWrap(true);
    m_save = new PushButton(QStringLiteral("Save"), this);
    m_save->setObjectName(QStringLiteral("saveButton"));
    m_close = new PushButton(QStringLiteral("Close"), this);
    m_close->setObjectName(QStringLiteral("closeButton"));

    auto* form = new QFormLayout;
    const auto add = [&](const QString& caption, QWidget* box) {
        form->addRow(Accessibility::labelFor(caption, box), box);
    };
    add(QStringLiteral("Rounding of punch times:"), m_rounding);
    add(QStringLiteral("Unpaid breaks (hours worked=minutes):"), m_breaks);
    add(QStringLiteral("Daily overtime after (hours):"), m_daily);
    add(QStringLiteral("Weekly overtime after (hours):"), m_weekly);
    add(QStringLiteral("First day of the week:"), m_firstDay);
    add(QStringLiteral("Long records after (hours):"), m_longRecords);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_save);
    buttons->addWidget(m_close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_who);
    layout->addLayout(buttons);

    connect(m_save, &QPushButton::clicked, this, &RulesWindow::save);
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
    for (QWidget* button : {static_cast<QWidget*>(m_save), static_cast<QWidget*>(m_close)})
        m_pointer->handOver(button);
}

bool RulesWindow::load() {
    ErrorTrap trap(Where::HoursRules);
    if (!trap.step(120, [&] { m_read = Hours::workplaceRules(m_db); }))
        return false;
    const Hours::Rules& r = m_read;
    m_rounding->setCurrentIndex(std::max(0, m_rounding->findData(r.roundingMinutes)));
    m_breaks->setText(Hours::PayRules::breaksText(r.breaks));
    m_daily->setText(r.dailyLimitMinutes ? Hours::clockHours(*r.dailyLimitMinutes) : QString());
    m_weekly->setText(r.weeklyLimitMinutes ? Hours::clockHours(*r.weeklyLimitMinutes) : QString());
    m_firstDay->setCurrentIndex(m_firstDay->findData(static_cast<int>(r.firstDayOfWeek)));
    m_longRecords->setText(QString::number(r.longRecordMinutes / 60));
    // Only the administrator who passed the gate changes the rules; the audit names them.
    const bool administrator = !m_db.actor().isEmpty();
    for (QWidget* box :
         std::initializer_list<QWidget*>{m_rounding, m_breaks, m_daily, m_weekly, m_firstDay, m_longRecords})
        box->setEnabled(administrator);
    m_save->setEnabled(administrator);
    m_who->setText(administrator
                       ? QStringLiteral("Changes are recorded in the audit trail under %1.").arg(m_db.actor())
                       : QStringLiteral("Only an administrator changes the pay rules."));
    return true;
}

Hours::Rules RulesWindow::rulesFromBoxes() const {
    Hours::Rules rules = m_read;
    rules.roundingMinutes = m_rounding->currentData().toInt();
    rules.breaks = Hours::PayRules::breaksFromText(m_breaks->text());
    const auto limit = [](const QLineEdit* box) {
        return box->text().trimmed().isEmpty()
                   ? std::nullopt
                   : std::optional<int>(Hours::PayRules::limitFromText(box->text()));
    };
    rules.dailyLimitMinutes = limit(m_daily);
    rules.weeklyLimitMinutes = limit(m_weekly);
    rules.firstDayOfWeek = static_cast<Qt::DayOfWeek>(m_firstDay->currentData().toInt());
    rules = Hours::PayRules::fromStored({{Hours::PayRules::LongRecordHours, m_longRecords->text().trimmed()}},
                                        rules);
    return rules;
}

void RulesWindow::save() {
    if (m_db.actor().isEmpty())
        return;
    ErrorTrap trap(Where::RulesSave);
    Hours::Rules rules;
    // A box that cannot be read says why and leaves the window open for correcting.
    try {
        rules = rulesFromBoxes();
    } catch (const std::runtime_error& e) {
        MessageBox::ok(QString::fromStdString(e.what()));
        return;
    }
    if (!trap.step(100, [&] { m_db.changePayRules(Hours::PayRules::stored(rules)); }))
        return;
    emit rulesChanged();
    accept();
}
