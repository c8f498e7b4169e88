#include "corrections/AuditWindow.h"

#include "core/ErrorTrap.h"
#include "core/Globals.h"
#include "core/Main.h"
#include "data/AttendanceDatabase.h"
#include "platform/Accessibility.h"
#include "platform/ControlNames.h"
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
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <memory>

namespace {

// "By" and "Terminal" are what the program says; on a server, the server role and the address it
// logged in from are what the server saw, whoever made the change and with whatever program.
const std::array<QString, 10> kHeaders = {QStringLiteral("Changed (UTC)"), QStringLiteral("Terminal"),
                                          QStringLiteral("By (claimed)"),  QStringLiteral("Change"),
                                          QStringLiteral("Person Number"), QStringLiteral("Record"),
                                          QStringLiteral("Before"),        QStringLiteral("After"),
                                          QStringLiteral("Server Role"),   QStringLiteral("Address")};
const std::array<QString, 10> kFields = {QStringLiteral("ChangedAt"),    QStringLiteral("Terminal"),
                                         QStringLiteral("Who"),          QStringLiteral("What"),
                                         QStringLiteral("EmployeeNo"),   QStringLiteral("RecordId"),
                                         QStringLiteral("ValuesBefore"), QStringLiteral("ValuesAfter"),
                                         QStringLiteral("ServerRole"),   QStringLiteral("ClientAddress")};
const std::array<int, 10> kWidths = {2600, 1500, 1400, 1900, 1800, 900, 3600, 3600, 1600, 1500};

// What an empty cell shows (no record for a person's change, nothing before an addition): the
// exports leave out empty cells, which would move the next ones under the wrong title.
const QString kNone = QStringLiteral("-");

} // namespace

AuditWindow::AuditWindow(QWidget* parent)
    : QDialog(parent), m_pointer(new MousePointer(this)), m_saveDialog(new SaveDialog(this)) {
    setObjectName(QStringLiteral("auditWindow"));
    setWindowTitle(QStringLiteral("Audit Trail"));
    buildControls();
}

void AuditWindow::buildControls() {
    setFont(Fonts::window());
    fromDate = FilterBoxes::dateBox(this, QStringLiteral("fromDate"));
    toDate = FilterBoxes::dateBox(this, QStringLiteral("toDate"));
    numberBox = FilterBoxes::personBox(this, QStringLiteral("numberBox"));
    numberBox->setMinimumWidth(Twips::toPixelsX(this, 1500));
    kindBox = new QComboBox(this);
    kindBox->view()->setAccessibleName(QStringLiteral("Change:"));
    searchButton = new PushButton(QStringLiteral("Search"), this);

    auto* filter = new QHBoxLayout;
    filter->addWidget(Accessibility::labelFor(QStringLiteral("From:"), fromDate));
    filter->addWidget(fromDate);
    filter->addWidget(Accessibility::labelFor(QStringLiteral("To:"), toDate));
    filter->addWidget(toDate);
    filter->addSpacing(Twips::toPixelsX(this, 240));
    filter->addWidget(Accessibility::labelFor(QStringLiteral("Person Number:"), numberBox));
    filter->addWidget(numberBox);
    filter->addWidget(Accessibility::labelFor(QStringLiteral("Change:"), kindBox));
    filter->addWidget(kindBox);
    filter->addSpacing(Twips::toPixelsX(this, 240));
    filter->addWidget(searchButton);
    filter->addStretch();

    auditList = new ListView(this);
    auditList->setAccessibleName(QStringLiteral("Changes"));
    auditList->setCheckBoxes(true);

    saveTextButton = new PushButton(QStringLiteral("Save Results As Text"), this);
    closeButton = new PushButton(QStringLiteral("Close"), this);
    spreadsheetButton = new PushButton(QStringLiteral("Send To Spreadsheet"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(saveTextButton);
    buttons->addWidget(spreadsheetButton);
    buttons->addStretch();
    buttons->addWidget(closeButton);
    for (PushButton* button : {searchButton, saveTextButton, spreadsheetButton, closeButton}) {
        // Wide enough for the bold caption the skin paints, which the plain size hint underrates.
        button->setMinimumSize(
            std::max(Twips::toPixelsX(this, 1800), button->sizeHint().width() + Twips::toPixelsX(this, 360)),
            Twips::toPixelsY(this, 405));
        m_pointer->handOver(button);
    }
    m_pointer->arrowOver(auditList->viewport());

    auto* layout = new QVBoxLayout(this);
    const int margin = Twips::toPixelsX(this, 120);
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->addLayout(filter);
    layout->addWidget(auditList, 1);
    layout->addLayout(buttons);
    Twips::setClientSize(this, 13200, 7200);

    setTabOrder(saveTextButton, spreadsheetButton);
    setTabOrder(spreadsheetButton, closeButton);

    connect(searchButton, &QPushButton::clicked, this, &AuditWindow::search);
    connect(saveTextButton, &QPushButton::clicked, this, &AuditWindow::saveAsText);
    connect(closeButton, &QPushButton::clicked, this, &AuditWindow::closeWindow);
    connect(spreadsheetButton, &QPushButton::clicked, this, &AuditWindow::sendToSpreadsheet);

    nameControls({{fromDate, "fromDate"},
                  {toDate, "toDate"},
                  {numberBox, "numberBox"},
                  {kindBox, "kindBox"},
                  {searchButton, "searchButton"},
                  {auditList, "auditList"},
                  {saveTextButton, "saveTextButton"},
                  {closeButton, "closeButton"},
                  {spreadsheetButton, "spreadsheetButton"}});
}

int AuditWindow::showModal() {
    start();
    return exec();
}

void AuditWindow::reject() {
    closeWindow();
}

void AuditWindow::start() {
    ErrorTrap trap(Where::AuditStart);
    Main::dressWindow(trap, this, *m_pointer, {100, 101, 102, 104});
    for (size_t i = 0; i < kHeaders.size(); ++i) {
        trap.step(106, [&] {
            auditList->addColumnHeader(kHeaders[i]);
            auditList->setColumnWidthTwips(static_cast<int>(i), kWidths[i]);
        });
    }
    trap.step(108, [&] {
        kindBox->addItem(QStringLiteral("All changes"));
        kindBox->addItems(AuditWhat::all());
    });
    trap.step(110, [&] {
        const QDate today = SystemClock::now().toUTC().date();
        toDate->setDate(today);
        fromDate->setDate(today.addDays(-6));
    });
    trap.step(112, [&] { search(); });
}

void AuditWindow::search() {
    ErrorTrap trap(Where::AuditSearch);
    trap.step(100, [&] { auditList->clearRows(); });
    AuditFilter filter{fromDate->date(), toDate->date(), std::nullopt, std::nullopt};
    if (!numberBox->text().isEmpty())
        filter.number = numberBox->text();
    if (kindBox->currentIndex() > 0)
        filter.what = kindBox->currentText();
    RecordSet rs;
    if (!trap.step(102, [&] { rs = Globals::connection().auditEntries(filter); }))
        return;
    trap.step(104, [&] {
        std::vector<QString> cells;
        cells.reserve(static_cast<size_t>(rs.rowCount()) * kFields.size());
        for (; !rs.eof(); rs.moveNext()) {
            for (const QString& field : kFields) {
                const QString text = rs.text(field);
                cells.push_back(text.isEmpty() ? kNone : text);
            }
        }
        auditList->appendRows(std::move(cells));
    });
}

void AuditWindow::saveAsText() {
    ErrorTrap trap(Where::AuditSaveText);
    trap.step(100, [&] {
        m_saveDialog->setDialogTitle(QStringLiteral("Save Audit Trail As Text"));
        m_saveDialog->setFilter(QStringLiteral("Text Files (*.txt)|*.txt|"));
        m_saveDialog->setFlags(SaveDialog::OverwritePrompt);
        m_saveDialog->showSave();
    });
    const QString fileName = m_saveDialog->fileName();
    if (fileName.isEmpty())
        return;
    m_pointer->setValue(MousePointer::Hourglass);
    trap.step(102, [&] { ListTextFile::save(*auditList, fileName); });
    m_pointer->setValue(MousePointer::Default);
}

void AuditWindow::closeWindow() {
    ErrorTrap trap(Where::AuditClose);
    trap.step(100, [&] { QDialog::reject(); });
}

void AuditWindow::sendToSpreadsheet() {
    if (auditList->rowCount() == 0) {
        MessageBox::ok(QStringLiteral("There are no changes to export."));
        return;
    }
    ErrorTrap trap(Where::AuditSpreadsheet);
    trap.step(100, [&] { m_pointer->setValue(MousePointer::Hourglass); });
    std::unique_ptr<SpreadsheetApplication> sheet;
    // A program that did not start, or failed while filling, leaves nothing more to do.
    if (trap.step(102, [&] { sheet = Spreadsheet::start(); }) &&
        trap.step(104, [&] { ListTextFile::fillSheet(*sheet, *auditList); }))
        trap.step(106, [&] { sheet->setVisible(); });
    trap.step(108, [&] { m_pointer->setValue(MousePointer::Default); });
}
