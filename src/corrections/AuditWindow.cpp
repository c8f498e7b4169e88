#include "corrections/AuditWindow.h"

#include "core/ErrorTrap.h"
#include "core/Globals.h"
#include "core/Main.h"
#include "data/AttendanceDatabase.h"
#include "platform/Accessibility.h"
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
#include "reports/modSaveListview.h"

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

const std::array<QString, 8> kHeaders = {
    QStringLiteral("Changed (UTC)"), QStringLiteral("Terminal"),      QStringLiteral("By"),
    QStringLiteral("Change"),        QStringLiteral("Person Number"), QStringLiteral("Record"),
    QStringLiteral("Before"),        QStringLiteral("After")};
const std::array<QString, 8> kFields = {QStringLiteral("ChangedAt"),    QStringLiteral("Terminal"),
                                        QStringLiteral("Who"),          QStringLiteral("What"),
                                        QStringLiteral("EmployeeNo"),   QStringLiteral("RecordId"),
                                        QStringLiteral("ValuesBefore"), QStringLiteral("ValuesAfter")};
const std::array<int, 8> kWidths = {2600, 1500, 1200, 1900, 1800, 900, 3600, 3600};

// What an empty cell shows (no record for a person's change, nothing before an addition): the
// exports leave out empty cells, which would move the next ones under the wrong title.
const QString kNone = QStringLiteral("-");

} // namespace

AuditWindow::AuditWindow(QWidget* parent)
    : QDialog(parent), m_pointer(new MousePointer(this)), m_saveDialog(new SaveDialog(this)) {
    setObjectName(QStringLiteral("AuditWindow"));
    setWindowTitle(QStringLiteral("Audit Trail"));
    buildControls();
}

void AuditWindow::buildControls() {
    setFont(Fonts::window());
    fromDate = FilterBoxes::dateBox(this, QStringLiteral("fromDate"));
    toDate = FilterBoxes::dateBox(this, QStringLiteral("toDate"));
    txtNumber = FilterBoxes::personBox(this, QStringLiteral("txtNumber"));
    txtNumber->setMinimumWidth(Twips::toPixelsX(this, 1500));
    cmbWhat = new QComboBox(this);
    cmbWhat->setObjectName(QStringLiteral("cmbWhat"));
    cmbWhat->view()->setAccessibleName(QStringLiteral("Change:"));
    PushButton1 = new PushButton(QStringLiteral("Search"), this);

    auto* filter = new QHBoxLayout;
    filter->addWidget(Accessibility::labelFor(QStringLiteral("From:"), fromDate));
    filter->addWidget(fromDate);
    filter->addWidget(Accessibility::labelFor(QStringLiteral("To:"), toDate));
    filter->addWidget(toDate);
    filter->addSpacing(Twips::toPixelsX(this, 240));
    filter->addWidget(Accessibility::labelFor(QStringLiteral("Person Number:"), txtNumber));
    filter->addWidget(txtNumber);
    filter->addWidget(Accessibility::labelFor(QStringLiteral("Change:"), cmbWhat));
    filter->addWidget(cmbWhat);
    filter->addSpacing(Twips::toPixelsX(this, 240));
    filter->addWidget(PushButton1);
    filter->addStretch();

    ListView1 = new ListView(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setAccessibleName(QStringLiteral("Changes"));
    ListView1->setCheckBoxes(true);

    PushButton2 = new PushButton(QStringLiteral("Save Results As Text"), this);
    PushButton3 = new PushButton(QStringLiteral("Close"), this);
    PushButton4 = new PushButton(QStringLiteral("Send To Spreadsheet"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(PushButton2);
    buttons->addWidget(PushButton4);
    buttons->addStretch();
    buttons->addWidget(PushButton3);
    for (PushButton* button : {PushButton1, PushButton2, PushButton4, PushButton3}) {
        // Wide enough for the bold caption the skin paints, which the plain size hint underrates.
        button->setMinimumSize(
            std::max(Twips::toPixelsX(this, 1800), button->sizeHint().width() + Twips::toPixelsX(this, 360)),
            Twips::toPixelsY(this, 405));
        m_pointer->handOver(button);
    }
    m_pointer->arrowOver(ListView1->viewport());

    auto* layout = new QVBoxLayout(this);
    const int margin = Twips::toPixelsX(this, 120);
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->addLayout(filter);
    layout->addWidget(ListView1, 1);
    layout->addLayout(buttons);
    Twips::setClientSize(this, 13200, 7200);

    setTabOrder(PushButton2, PushButton4);
    setTabOrder(PushButton4, PushButton3);

    connect(PushButton1, &QPushButton::clicked, this, &AuditWindow::PushButton1_Click);
    connect(PushButton2, &QPushButton::clicked, this, &AuditWindow::PushButton2_Click);
    connect(PushButton3, &QPushButton::clicked, this, &AuditWindow::PushButton3_Click);
    connect(PushButton4, &QPushButton::clicked, this, &AuditWindow::PushButton4_Click);
}

int AuditWindow::showModal() {
    Form_Load();
    return exec();
}

void AuditWindow::reject() {
    PushButton3_Click();
}

void AuditWindow::Form_Load() {
    ErrorTrap trap(QStringLiteral("AuditWindow"), QStringLiteral("Form_Load"));
    Main::dressWindow(trap, this, *m_pointer, {100, 101, 102, 104});
    for (size_t i = 0; i < kHeaders.size(); ++i) {
        trap.step(106, [&] {
            ListView1->addColumnHeader(kHeaders[i]);
            ListView1->setColumnWidthTwips(static_cast<int>(i), kWidths[i]);
        });
    }
    trap.step(108, [&] {
        cmbWhat->addItem(QStringLiteral("All changes"));
        cmbWhat->addItems(AuditWhat::all());
    });
    trap.step(110, [&] {
        const QDate today = SystemClock::now().toUTC().date();
        toDate->setDate(today);
        fromDate->setDate(today.addDays(-6));
    });
    trap.step(112, [&] { PushButton1_Click(); });
}

void AuditWindow::PushButton1_Click() {
    ErrorTrap trap(QStringLiteral("AuditWindow"), QStringLiteral("PushButton1_Click"));
    trap.step(100, [&] { ListView1->clearRows(); });
    AuditFilter filter{fromDate->date(), toDate->date(), std::nullopt, std::nullopt};
    if (!txtNumber->text().isEmpty())
        filter.number = txtNumber->text();
    if (cmbWhat->currentIndex() > 0)
        filter.what = cmbWhat->currentText();
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
        ListView1->appendRows(std::move(cells));
    });
}

void AuditWindow::PushButton2_Click() {
    ErrorTrap trap(QStringLiteral("AuditWindow"), QStringLiteral("PushButton2_Click"));
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
    trap.step(102, [&] { modSaveListview::SaveListview(*ListView1, fileName); });
    m_pointer->setValue(MousePointer::Default);
}

void AuditWindow::PushButton3_Click() {
    ErrorTrap trap(QStringLiteral("AuditWindow"), QStringLiteral("PushButton3_Click"));
    trap.step(100, [&] { QDialog::reject(); });
}

void AuditWindow::PushButton4_Click() {
    if (ListView1->rowCount() == 0) {
        MessageBox::ok(QStringLiteral("There are no changes to export."));
        return;
    }
    ErrorTrap trap(QStringLiteral("AuditWindow"), QStringLiteral("PushButton4_Click"));
    trap.step(100, [&] { m_pointer->setValue(MousePointer::Hourglass); });
    std::unique_ptr<SpreadsheetApplication> sheet;
    // A program that did not start, or failed while filling, leaves nothing more to do.
    if (trap.step(102, [&] { sheet = Spreadsheet::start(); }) &&
        trap.step(104, [&] { modSaveListview::fillSheet(*sheet, *ListView1); }))
        trap.step(106, [&] { sheet->setVisible(); });
    trap.step(108, [&] { m_pointer->setValue(MousePointer::Default); });
}
