#include "hours/HoursWindow.h"

#include "core/ErrorTrap.h"
#include "core/Globals.h"
#include "core/Main.h"
#include "data/AttendanceDatabase.h"
#include "hours/HoursWorkbook.h"
#include "hours/RulesWindow.h"
#include "platform/Accessibility.h"
#include "platform/DateTexts.h"
#include "platform/FilterBoxes.h"
#include "platform/Fonts.h"
#include "platform/ListView.h"
#include "platform/MessageBox.h"
#include "platform/MousePointer.h"
#include "platform/PushButton.h"
#include "platform/SaveDialog.h"
#include "platform/Spreadsheet.h"
#include "platform/SystemClock.h"
#include "platform/Twips.h"
#include "reports/ListTextFile.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QStyle>
#include <QTreeView>
#include <QVBoxLayout>
#include <array>
#include <optional>

namespace {

constexpr int kSortRole = Qt::UserRole + 1;
constexpr int kTotalsRole = Qt::UserRole + 2;

const QStringList kPresets = {QStringLiteral("This week"), QStringLiteral("Last week"),
                              QStringLiteral("This month"), QStringLiteral("Last month"),
                              QStringLiteral("Custom")};
constexpr int kCustom = 4;

// The totals row stays below the persons whichever way the list is sorted.
class TotalsLastProxy : public QSortFilterProxyModel {
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override {
        const bool leftTotals = left.siblingAtColumn(0).data(kTotalsRole).toBool();
        const bool rightTotals = right.siblingAtColumn(0).data(kTotalsRole).toBool();
        if (leftTotals != rightTotals)
            return sortOrder() == Qt::DescendingOrder ? leftTotals : rightTotals;
        return QSortFilterProxyModel::lessThan(left, right);
    }
};

QStandardItem* cell(const QString& text, const QVariant& sortKey) {
    auto* item = new QStandardItem(text);
    item->setData(sortKey, kSortRole);
    item->setEditable(false);
    return item;
}

QStandardItem* countCell(long long count) {
    QStandardItem* item = cell(QString::number(count), count);
    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

QTreeView* reportList(QWidget* parent, const QString& accessibleName) {
    auto* list = new QTreeView(parent);
    ListView::applyLook(list);
    list->setAccessibleName(accessibleName);
    return list;
}

// A long record shows how long it is: the corrections list has no hours column.
QString problemOf(const Hours::RecordHours& hours, const Hours::Rules& rules) {
    const QString note = Hours::note(hours, rules);
    return hours.isLong ? QStringLiteral("%1 (%2)").arg(note, Hours::clockHours(hours.minutes)) : note;
}

// A person's records of the period, with what each one counts.
void showRecordsOf(QWidget* parent, const QString& number, const QString& name, const Hours::Period& period) {
    const std::vector<Hours::Record> records =
        Hours::records(Globals::connection().loginsBetween(period.from, period.to, number));
    const Hours::Rules rules = Hours::workplaceRules(Globals::connection());

    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("personRecords"));
    dialog.setWindowTitle(QStringLiteral("Records of %1 %2").arg(number, name).trimmed());
    dialog.setFont(Fonts::window());
    auto* layout = new QVBoxLayout(&dialog);
    auto* caption = new QLabel(
        QStringLiteral("%1 to %2").arg(DateTexts::shortDate(period.from), DateTexts::shortDate(period.to)),
        &dialog);
    layout->addWidget(caption);
    QTreeView* list = reportList(&dialog, QStringLiteral("Records"));
    auto* model = new QStandardItemModel(0, 5, list);
    model->setHorizontalHeaderLabels({QStringLiteral("Date"), QStringLiteral("Login"),
                                      QStringLiteral("Logout"), QStringLiteral("Hours"),
                                      QStringLiteral("Note")});
    for (const Hours::Record& record : records) {
        const Hours::RecordHours hours = Hours::hoursOf(record, rules);
        const QString counted = Hours::clockHours(hours.minutes);
        const QString note = Hours::note(hours, rules);
        model->appendRow({cell(DateTexts::shortDate(record.day), record.day),
                          cell(record.timeIn, record.timeIn), cell(record.timeOut, record.timeOut),
                          cell(counted, hours.minutes), cell(note, note)});
    }
    list->setModel(model);
    list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    layout->addWidget(list, 1);
    auto* close = new PushButton(QStringLiteral("Close"), &dialog);
    QObject::connect(close, &QPushButton::clicked, &dialog, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(close);
    layout->addLayout(buttons);
    dialog.resize(Twips::toPixelsX(&dialog, 8000), Twips::toPixelsY(&dialog, 5000));
    dialog.exec();
}

} // namespace

HoursWindow::HoursWindow(QWidget* parent) : QDialog(parent), m_pointer(new MousePointer(this)) {
    setObjectName(QStringLiteral("hoursWindow"));
    setWindowTitle(QStringLiteral("Hours"));
    buildControls();
}

void HoursWindow::buildControls() {
    setFont(Fonts::window());

    periodBox = new QComboBox(this);
    periodBox->setObjectName(QStringLiteral("periodBox"));
    periodBox->view()->setAccessibleName(QStringLiteral("Period:")); // the list of entries it drops down
    fromDate = FilterBoxes::dateBox(this, QStringLiteral("fromDate"));
    toDate = FilterBoxes::dateBox(this, QStringLiteral("toDate"));
    personBox = FilterBoxes::personBox(this, QStringLiteral("personBox"));
    showButton = new PushButton(QStringLiteral("Show"), this);

    auto* period = new QHBoxLayout;
    period->addWidget(Accessibility::labelFor(QStringLiteral("Period:"), periodBox));
    period->addWidget(periodBox);
    period->addSpacing(Twips::toPixelsX(this, 240));
    period->addWidget(Accessibility::labelFor(QStringLiteral("From:"), fromDate));
    period->addWidget(fromDate);
    period->addWidget(Accessibility::labelFor(QStringLiteral("To:"), toDate));
    period->addWidget(toDate);
    period->addSpacing(Twips::toPixelsX(this, 240));
    period->addWidget(Accessibility::labelFor(QStringLiteral("Person:"), personBox));
    period->addWidget(personBox);
    period->addSpacing(Twips::toPixelsX(this, 240));
    period->addWidget(showButton);
    period->addStretch();

    totalsList = reportList(this, QStringLiteral("Hours per person"));
    totalsList->setObjectName(QStringLiteral("totalsList"));
    m_totals = new QStandardItemModel(0, ColumnCount, this);
    m_sorted = new TotalsLastProxy(this);
    m_sorted->setSourceModel(m_totals);
    m_sorted->setSortRole(kSortRole);
    totalsList->setModel(m_sorted);
    totalsList->setSortingEnabled(true);
    totalsList->sortByColumn(Number, Qt::AscendingOrder);

    correctLabel = new QLabel(this);
    correctList = reportList(this, QStringLiteral("Records to correct"));
    correctList->setObjectName(QStringLiteral("correctList"));
    correctLabel->setBuddy(correctList);
    m_corrections = new QStandardItemModel(0, 6, this);
    correctList->setModel(m_corrections);

    textButton = new PushButton(QStringLiteral("Save As Text"), this);
    csvButton = new PushButton(QStringLiteral("Save As CSV"), this);
    spreadsheetButton = new PushButton(QStringLiteral("Send To Spreadsheet"), this);
    timesheetsButton = new PushButton(QStringLiteral("Timesheets (PDF)"), this);
    workbookButton = new PushButton(QStringLiteral("Save As Workbook"), this);
    workbookButton->setObjectName(QStringLiteral("workbookButton"));
    rulesButton = new PushButton(QStringLiteral("Rules"), this);
    rulesButton->setObjectName(QStringLiteral("rulesButton"));
    closeButton = new PushButton(QStringLiteral("Close"), this);
    const std::array<PushButton*, 5> exports = {textButton, csvButton, spreadsheetButton, timesheetsButton,
                                                workbookButton};
    auto* buttons = new QHBoxLayout;
    for (PushButton* button : exports)
        buttons->addWidget(button);
    buttons->addStretch();
    buttons->addWidget(rulesButton);
    buttons->addWidget(closeButton);

    auto* layout = new QVBoxLayout(this);
    const int margin = Twips::toPixelsX(this, 120);
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->addLayout(period);
    layout->addWidget(totalsList, 3);
    layout->addWidget(correctLabel);
    layout->addWidget(correctList, 1);
    layout->addLayout(buttons);
    for (PushButton* button : {showButton, textButton, csvButton, spreadsheetButton, timesheetsButton,
                               workbookButton, rulesButton, closeButton})
        button->setMinimumSize(Twips::toPixelsX(this, 1440), Twips::toPixelsY(this, 405));
    resize(Twips::toPixelsX(this, 15600), Twips::toPixelsY(this, 8685));

    setTabOrder(periodBox, fromDate);
    setTabOrder(fromDate, toDate);
    setTabOrder(toDate, personBox);
    setTabOrder(personBox, showButton);
    setTabOrder(showButton, totalsList);
    setTabOrder(totalsList, correctList);
    setTabOrder(correctList, textButton);
    setTabOrder(textButton, csvButton);
    setTabOrder(csvButton, spreadsheetButton);
    setTabOrder(spreadsheetButton, timesheetsButton);
    setTabOrder(timesheetsButton, workbookButton);
    setTabOrder(workbookButton, rulesButton);
    setTabOrder(rulesButton, closeButton);

    connect(periodBox, &QComboBox::currentIndexChanged, this, &HoursWindow::periodChosen);
    // A date typed or picked by hand makes the period a custom one. Totals of another period never
    // stay beside the new dates: the lists empty until Show, and the exports refuse an empty list.
    for (QDateEdit* edit : {fromDate, toDate}) {
        connect(edit, &QDateEdit::dateChanged, this, [this] {
            forgetShown();
            if (!m_settingPeriod)
                periodBox->setCurrentIndex(kCustom);
        });
    }
    connect(showButton, &QPushButton::clicked, this, &HoursWindow::showTotals);
    connect(personBox, &QLineEdit::returnPressed, this, &HoursWindow::showTotals);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(textButton, &QPushButton::clicked, this, &HoursWindow::saveText);
    connect(csvButton, &QPushButton::clicked, this, &HoursWindow::saveCsv);
    connect(spreadsheetButton, &QPushButton::clicked, this, &HoursWindow::sendToSpreadsheet);
    connect(timesheetsButton, &QPushButton::clicked, this, &HoursWindow::saveTimesheets);
    connect(workbookButton, &QPushButton::clicked, this, &HoursWindow::saveWorkbook);
    connect(rulesButton, &QPushButton::clicked, this, &HoursWindow::showRules);
    connect(totalsList, &QTreeView::doubleClicked, this,
            [this](const QModelIndex& index) { openPerson(index.row()); });

    for (QWidget* button : {showButton, textButton, csvButton, spreadsheetButton, timesheetsButton,
                            workbookButton, rulesButton, closeButton})
        m_pointer->handOver(button);
    for (QWidget* area : {static_cast<QWidget*>(this), static_cast<QWidget*>(totalsList->viewport()),
                          static_cast<QWidget*>(correctList->viewport())})
        m_pointer->arrowOver(area);
}

int HoursWindow::showModal() {
    load();
    return exec();
}

void HoursWindow::load() {
    ErrorTrap trap(Where::HoursStart);
    Main::dressWindow(trap, this, *m_pointer, {100, 101, 102, 104});
    trap.step(106, [&] {
        for (int c = 0; c < ColumnCount; ++c)
            m_totals->setHorizontalHeaderItem(c, new QStandardItem(Hours::totalsTitles().at(c)));
        totalsList->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
        totalsList->header()->setStretchLastSection(true);
    });
    trap.step(108, [&] {
        m_corrections->setHorizontalHeaderLabels({QStringLiteral("Person Number"), QStringLiteral("Name"),
                                                  QStringLiteral("Date"), QStringLiteral("Login"),
                                                  QStringLiteral("Logout"), QStringLiteral("Problem")});
        correctList->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
        correctList->header()->setStretchLastSection(true);
    });
    trap.step(110, [&] {
        const QSignalBlocker quiet(periodBox);
        periodBox->addItems(kPresets);
    });
    trap.step(112, [&] {
        periodBox->setCurrentIndex(0);
        periodChosen();
    });
    trap.step(114, [&] { showTotals(); });
}

void HoursWindow::periodChosen() {
    const int index = periodBox->currentIndex();
    if (index < 0 || index == kCustom)
        return;
    const Hours::Period period =
        Hours::presetPeriod(static_cast<Hours::Preset>(index), SystemClock::now().date());
    m_settingPeriod = true;
    fromDate->setDate(period.from);
    toDate->setDate(period.to);
    m_settingPeriod = false;
}

void HoursWindow::showTotals() {
    ErrorTrap trap(Where::HoursShow);
    // Nothing of an earlier period stays in view beside dates that name another one.
    trap.step(100, [&] { forgetShown(); });
    const Hours::Period period{fromDate->date(), toDate->date()};
    if (!trap.test(
            102, [&] { return period.from <= period.to; }, ErrorTrap::FailedTest::Skips)) {
        trap.step(104, [] { MessageBox::ok(QStringLiteral("The From date is after the To date.")); });
        return;
    }
    Hours::Rules rules;
    std::vector<Hours::Record> records;
    // The number is bound as typed; the statement compares it without regard to letter case.
    std::optional<QString> person;
    if (!personBox->text().isEmpty())
        person = personBox->text();
    const auto read = [&] {
        records = Hours::records(Globals::connection().loginsBetween(period.from, period.to, person));
    };
    if (!trap.step(106, [&] { rules = Hours::workplaceRules(Globals::connection()); }) ||
        !trap.step(108, read))
        return;
    m_shown = period;
    m_rules = rules;
    m_records = std::move(records);
    m_report = Hours::totals(m_records, rules);
    trap.step(110, [&] { fillTotals(m_report); });
    trap.step(112, [&] { fillCorrections(m_report, rules); });
}

void HoursWindow::forgetShown() {
    m_totals->removeRows(0, m_totals->rowCount());
    m_corrections->removeRows(0, m_corrections->rowCount());
    correctLabel->clear();
    m_records.clear();
    m_report = {};
}

void HoursWindow::fillTotals(const Hours::Report& report) {
    const QString point = QLocale().decimalPoint();
    const QIcon flag = style()->standardIcon(QStyle::SP_MessageBoxWarning);
    // The pay columns stand only when the workplace has pay rules.
    const int columns =
        report.payRules ? static_cast<int>(Hours::PayColumnEnd) : static_cast<int>(Hours::ColumnCount);
    m_totals->setColumnCount(columns);
    for (int c = Hours::ColumnCount; c < columns; ++c)
        m_totals->setHorizontalHeaderItem(c,
                                          new QStandardItem(Hours::payTitles().at(c - Hours::ColumnCount)));
    const auto hoursCells = [&](QList<QStandardItem*>& items, long long minutes, bool decimal) {
        items << cell(Hours::clockHours(minutes), minutes);
        items.back()->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        if (decimal) {
            items << cell(Hours::decimalHours(minutes, point), minutes);
            items.back()->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        }
    };
    const auto row = [&](const Hours::PersonTotals& person, const QVariant& numberKey) {
        QList<QStandardItem*> items{cell(person.number, numberKey),
                                    cell(person.name, person.name.toCaseFolded()),
                                    cell(person.department, person.department.toCaseFolded()),
                                    countCell(person.daysWorked),
                                    countCell(person.minutes),
                                    countCell(person.minutes),
                                    countCell(person.openRecords),
                                    countCell(person.overnightRecords),
                                    countCell(person.longRecords)};
        items[HoursClock]->setText(Hours::clockHours(person.minutes));
        items[HoursDecimal]->setText(Hours::decimalHours(person.minutes, point));
        if (report.payRules) {
            hoursCells(items, person.breakMinutes, false);
            hoursCells(items, person.paidMinutes, true);
            hoursCells(items, person.regularMinutes, true);
            hoursCells(items, person.overtimeMinutes, true);
        }
        if (person.unreadableRecords > 0 || person.longRecords > 0) {
            items[Number]->setIcon(flag);
            const QString why = QStringLiteral("%1 record(s) to correct; see Records to correct.")
                                    .arg(person.unreadableRecords + person.longRecords);
            for (QStandardItem* item : items)
                item->setToolTip(why);
        }
        return items;
    };
    // Persons come in the order of their numbers as people read them; that order is the sort key.
    for (size_t i = 0; i < report.persons.size(); ++i)
        m_totals->appendRow(row(report.persons[i], static_cast<qlonglong>(i)));
    if (!report.persons.empty()) {
        QList<QStandardItem*> totals = row(report.totals, QVariant());
        totals[Number]->setText(QStringLiteral("Total"));
        totals[Number]->setData(true, kTotalsRole);
        for (QStandardItem* item : totals)
            item->setBackground(palette().midlight());
        m_totals->appendRow(totals);
    }
    m_sorted->sort(totalsList->header()->sortIndicatorSection(), totalsList->header()->sortIndicatorOrder());
}

void HoursWindow::fillCorrections(const Hours::Report& report, const Hours::Rules& rules) {
    for (const Hours::RecordToCorrect& entry : report.toCorrect) {
        const Hours::Record& record = entry.record;
        m_corrections->appendRow(
            {cell(record.number, {}), cell(record.name, {}), cell(DateTexts::shortDate(record.day), {}),
             cell(record.timeIn, {}), cell(record.timeOut, {}),
             cell(record.toCorrect.isEmpty() ? problemOf(entry.hours, rules) : record.toCorrect, {})});
    }
    correctLabel->setText(report.toCorrect.empty()
                              ? QStringLiteral("Records to correct: none")
                              : QStringLiteral("Records to correct: %1 (long records are counted, records "
                                               "whose times cannot be read are not)")
                                    .arg(report.toCorrect.size()));
}

void HoursWindow::openPerson(int row) {
    ErrorTrap trap(Where::HoursOpenPerson);
    const QModelIndex index = m_sorted->index(row, Number);
    if (!index.isValid() || index.data(kTotalsRole).toBool())
        return;
    const QString number = index.data().toString();
    const QString name = index.siblingAtColumn(Name).data().toString();
    trap.step(100, [&] { showRecordsOf(this, number, name, m_shown); });
}

void HoursWindow::exportFile(Where handler, const QString& filter,
                             const std::function<void(const QString& fileName)>& write) {
    if (m_report.persons.empty()) {
        MessageBox::ok(QStringLiteral("There are no hours to export for this period."));
        return;
    }
    ErrorTrap trap(handler);
    // One dialog for every export of the window: it offers the last chosen name again.
    auto* dialog = findChild<SaveDialog*>(QStringLiteral("exportDialog"), Qt::FindDirectChildrenOnly);
    if (!dialog) {
        dialog = new SaveDialog(this);
        dialog->setObjectName(QStringLiteral("exportDialog"));
        dialog->setFlags(SaveDialog::OverwritePrompt);
        dialog->setDialogTitle(QStringLiteral("Save"));
    }
    QString fileName;
    trap.step(100, [&] {
        dialog->setFilter(filter + QStringLiteral("All Files (*.*)|*.*|"));
        dialog->showSave();
        fileName = dialog->fileName();
    });
    if (fileName.isEmpty())
        return;
    trap.step(102, [&] { m_pointer->setValue(MousePointer::Hourglass); });
    trap.step(104, [&] { write(fileName); });
    trap.step(106, [&] { m_pointer->setValue(MousePointer::Default); });
}

void HoursWindow::saveText() {
    exportFile(Where::HoursSaveText, QStringLiteral("Text Files (*.txt)|*.txt|"), [&](const QString& name) {
        ListTextFile::writeText(Hours::periodTitle(m_shown) + QStringLiteral("\r\n\r\n") +
                                    Hours::tabText(Hours::totalsTable(m_report, QLocale().decimalPoint())),
                                name);
    });
}

void HoursWindow::saveCsv() {
    // The decimal point stays a point: a comma would split the field for the reading program.
    exportFile(Where::HoursSaveCsv, QStringLiteral("CSV Files (*.csv)|*.csv|"), [&](const QString& name) {
        ListTextFile::writeBytes(Hours::csvFile(Hours::withPeriod(Hours::totalsTable(m_report), m_shown)),
                                 name);
    });
}

void HoursWindow::saveTimesheets() {
    exportFile(
        Where::HoursSaveTimesheets, QStringLiteral("PDF Files (*.pdf)|*.pdf|"),
        [&](const QString& name) { Hours::writeTimesheets(name, m_shown, m_records, m_report, m_rules); });
}

void HoursWindow::saveWorkbook() {
    exportFile(
        Where::HoursSaveWorkbook, QStringLiteral("Excel Workbooks (*.xlsx)|*.xlsx|"),
        [&](const QString& name) { Hours::writeWorkbook(name, m_shown, m_records, m_report, m_rules); });
}

void HoursWindow::showRules() {
    RulesWindow rules(Globals::connection(), this);
    // The totals follow the rules just saved.
    connect(&rules, &RulesWindow::rulesChanged, this, &HoursWindow::showTotals);
    if (rules.load())
        rules.exec();
}

void HoursWindow::sendToSpreadsheet() {
    if (m_report.persons.empty()) {
        MessageBox::ok(QStringLiteral("There are no hours to export for this period."));
        return;
    }
    ErrorTrap trap(Where::HoursSpreadsheet);
    trap.step(100, [&] { m_pointer->setValue(MousePointer::Hourglass); });
    std::unique_ptr<SpreadsheetApplication> sheet;
    // A program that did not start, or failed while filling, leaves nothing more to do.
    if (trap.step(102, [&] { sheet = Spreadsheet::start(); }) &&
        trap.step(104, [&] { Hours::fillSheet(*sheet, m_report); }))
        trap.step(106, [&] { sheet->setVisible(); });
    trap.step(108, [&] { m_pointer->setValue(MousePointer::Default); });
}
