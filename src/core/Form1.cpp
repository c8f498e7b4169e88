#include "core/Form1.h"

#include "backup/Backups.h"
#include "backup/InstanceLock.h"
#include "core/ErrorTrap.h"
#include "core/Globals.h"
#include "core/Main.h"
#include "core/SharedFolder.h"
#include "data/AttendanceDatabase.h"
#include "platform/Accessibility.h"
#include "platform/Fonts.h"
#include "platform/ListView.h"
#include "platform/MousePointer.h"
#include "platform/PasswordBox.h"
#include "platform/PushButton.h"
#include "platform/SkinFramework.h"
#include "platform/SpecialFolders.h"
#include "platform/SystemClock.h"
#include "platform/Twips.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>
#include <stdexcept>

namespace {

// The data folder's names below the common folder, and the live database in it.
const QString kMakerName = QStringLiteral("Quillmark");
const QString kDatabaseName = QStringLiteral("dbData.mdb");

QString commonFolder() {
    return Main::GetSpecialFolderPath(SpecialFolders::CommonAppData);
}

void whiteBackground(QWidget* widget) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, Qt::white);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

} // namespace

Form1::Form1(QWidget* parent) : QWidget(parent), m_pointer(new MousePointer(this)) {
    // Screen readers meet the main window as a window (a frame), not as a panel.
    Accessibility::install();
    setObjectName(QStringLiteral("Form1"));
    buildControls();
    Timer1 = new QTimer(this);
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, [this] {
        // A tick outside start-up has no handler to report to; one box per run of failing ticks
        // is enough, rather than one every second.
        try {
            Timer1_Timer();
            m_tickFailing = false;
        } catch (const std::exception& e) {
            if (!m_tickFailing) {
                m_tickFailing = true;
                Main::ErrorReport(QString::fromUtf8(e.what()),
                                  Main::kTagPrefix + QStringLiteral("Form1.Timer1_Timer"), 100);
            }
        }
    });
    Timer1->start();
}

Form1::~Form1() = default;

void Form1::buildControls() {
    setFont(Fonts::window());
    Twips::setClientSize(this, 8040, 8115);
    whiteBackground(this);

    Frame1 = Twips::placed(new QGroupBox(QStringLiteral("Current Time"), this), 120, 120, 7800, 2025);
    whiteBackground(Frame1);

    const auto clockLabel = [this](double points, int top, int height) {
        auto* label = new QLabel(Frame1);
        label->setFont(Fonts::arialBold(points));
        QPalette palette = label->palette();
        palette.setColor(QPalette::Window, palette.color(QPalette::Base));
        palette.setColor(QPalette::WindowText, palette.color(QPalette::Text));
        label->setPalette(palette);
        label->setAutoFillBackground(true);
        label->setFrameShape(QFrame::Box);
        Twips::place(label, 135, top, 7500, height);
        return label;
    };
    lblDate = clockLabel(20.25, 360, 495);
    lblDate->setObjectName(QStringLiteral("lblDate"));
    lblTime = clockLabel(36.0, 1035, 780);
    lblTime->setObjectName(QStringLiteral("lblTime"));

    PushButton4 = Twips::placed(new PushButton(QStringLiteral("Format"), Frame1), 6360, 255, 1185, 405);

    Frame2 = Twips::placed(new QGroupBox(QStringLiteral("Person Login"), this), 120, 2220, 7800, 2265);
    whiteBackground(Frame2);

    Option1 = Twips::placed(new QRadioButton(QStringLiteral("Time In"), Frame2), 240, 300, 1050, 255);
    whiteBackground(Option1);
    Option1->setChecked(true);
    Option2 = Twips::placed(new QRadioButton(QStringLiteral("Time Out"), Frame2), 1530, 300, 1185, 255);
    whiteBackground(Option2);

    Label3_0 = Twips::placed(new QLabel(QStringLiteral("Person Number:"), Frame2), 240, 765, 1380, 225);
    Text1 = new QLineEdit(Frame2);
    Text1->setObjectName(QStringLiteral("Text1"));
    Twips::place(Text1, 1770, 720, 5760, 345);
    Label3_0->setBuddy(Text1);

    Label3_1 = Twips::placed(new QLabel(QStringLiteral("Password:"), Frame2), 240, 1260, 915, 225);
    Text2 = new QLineEdit(Frame2);
    Text2->setObjectName(QStringLiteral("Text2"));
    showStars(Text2);
    Twips::place(Text2, 1770, 1215, 5760, 345);
    Label3_1->setBuddy(Text2);

    PushButton1 = Twips::placed(new PushButton(QStringLiteral("Login"), Frame2), 240, 1710, 7305, 405);

    PushButton2 = Twips::placed(new PushButton(QStringLiteral("Create / Delete / Edit Logins"), this), 120,
                                4590, 7800, 405);
    PushButton3 = Twips::placed(new PushButton(QStringLiteral("Reports"), this), 120, 5100, 7800, 405);

    ListView1 = Twips::placed(new ListView(this), 120, 5610, 7800, 2430);

    SkinFramework1 = new SkinFramework(this);

    // What a screen reader speaks: boxes by their labels, the list by what it shows. Buttons, option
    // buttons and frames speak their captions (the login button's follows the punch mode); the clock
    // labels speak the date and time they show, and their own names until they show one (an empty
    // label would otherwise borrow its frame's title).
    Text1->setAccessibleName(QStringLiteral("Person Number"));
    Text2->setAccessibleName(QStringLiteral("Password"));
    ListView1->setAccessibleName(QStringLiteral("Today's attendance"));
    lblDate->setAccessibleName(QStringLiteral("Date"));
    lblDate->setAccessibleDescription(QStringLiteral("Today's date"));
    lblTime->setAccessibleName(QStringLiteral("Time"));
    lblTime->setAccessibleDescription(QStringLiteral("Current time"));
    // The layout's order, begun at the person number box (tab index 0) and the password (1), so that
    // a punch is: number, Tab, password, Tab, Space.
    QWidget* const tabOrder[] = {Text1,     Text2,       PushButton1, PushButton2, PushButton3,
                                 ListView1, PushButton4, Option1,     Option2};
    for (std::size_t i = 1; i < std::size(tabOrder); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);

    // The punch mode follows the selected option however it came to be selected: click, arrow
    // keys, an assistive technology's toggle action or the program.
    connect(Option1, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            Option1_Click();
    });
    connect(Option2, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            Option2_Click();
    });
    connect(PushButton1, &QPushButton::clicked, this, &Form1::PushButton1_Click);
    connect(PushButton2, &QPushButton::clicked, this, &Form1::PushButton2_Click);
    connect(PushButton3, &QPushButton::clicked, this, &Form1::PushButton3_Click);
    connect(PushButton4, &QPushButton::clicked, this, &Form1::PushButton4_Click);

    for (QWidget* button : {PushButton1, PushButton2, PushButton3, PushButton4})
        m_pointer->handOver(button);
    for (QWidget* area : {static_cast<QWidget*>(Frame1), static_cast<QWidget*>(Frame2),
                          static_cast<QWidget*>(ListView1->viewport()), static_cast<QWidget*>(Text1),
                          static_cast<QWidget*>(Text2)})
        m_pointer->arrowOver(area);

    Text1->installEventFilter(this);
    Text2->installEventFilter(this);
}

QString Form1::makerFolder() {
    return commonFolder() + QLatin1Char('/') + kMakerName;
}

QString Form1::dataFolder() {
    return makerFolder() + QLatin1Char('/') + Main::kProductName;
}

QString Form1::liveDatabasePath() {
    return dataFolder() + QLatin1Char('/') + kDatabaseName;
}

void Form1::Form_Load() {
    ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("Form_Load"));
    const QString maker = makerFolder();
    const QString dataPath = dataFolder();
    const QString live = liveDatabasePath();

    // Others can write where these are created: nothing is created through a link found there.
    const QString common = commonFolder();
    const QStringList makerNames{kMakerName};
    const QStringList dataNames{kMakerName, Main::kProductName};
    if (trap.test(100, [&] { return !SharedFolder::entryExists(maker); }))
        trap.step(102, [&] { SharedFolder::createFolder(common, makerNames); });
    if (trap.test(104, [&] { return !SharedFolder::entryExists(dataPath); }))
        trap.step(106, [&] { SharedFolder::createFolder(common, dataNames); });
    if (trap.test(108, [&] { return !Main::FileExists(live); }))
        trap.step(110, [&] {
            SharedFolder::copyTemplate(Main::programFolder() + QStringLiteral("/dbBlank.mdb"), common,
                                       dataNames + QStringList{kDatabaseName});
        });
    trap.step(112, [&] { Main::ApplySkin(this, *SkinFramework1); });
    trap.step(114, [&] {
        setWindowTitle(QStringLiteral("Tallyclock Suite"));
        setWindowIcon(QApplication::windowIcon());
        Main::SetAppTitle();
    });
    if (trap.test(116, [&] { return Main::FileExists(Main::handCursorPath()); }))
        trap.step(118, [&] { m_pointer->loadMouseIcon(Main::handCursorPath()); });
    trap.step(120, [&] { lblTime->setFrameShape(QFrame::NoFrame); });
    trap.step(122, [&] { lblDate->setFrameShape(QFrame::NoFrame); });

    const QString headers[] = {QStringLiteral("Person Number"), QStringLiteral("Name"),
                               QStringLiteral("Department"),    QStringLiteral("Position"),
                               QStringLiteral("Date"),          QStringLiteral("Login"),
                               QStringLiteral("Logout"),        QStringLiteral("Login Difference")};
    for (int i = 0; i < 8; ++i)
        trap.step(144 + 2 * i, [&] { ListView1->addColumnHeader(headers[i]); });
    const int widths[] = {2000, 2000, 2000, 2000, 1500, 1500, 1500};
    for (int i = 0; i < 7; ++i)
        trap.step(160 + 2 * i, [&] { ListView1->setColumnWidthTwips(i, widths[i]); });

    trap.step(174, [&] { Globals::createConnection(); });
    trap.step(176, [&] {
        // The lock file and the backups go beside the database: never through a link planted there.
        SharedFolder::checkFolder(common, dataNames);
        // Held while the window runs, so that no restore can swap the file it has open.
        m_instanceLock = InstanceLock::holdWhileRunning(live);
        // Opening also checks the file and takes the day's backup; only a damaged file shows a box.
        Backups::openLiveDatabase(Globals::connection(), live, SystemClock::now().date());
    });
    trap.step(178, [&] { Timer1_Timer(); });
    trap.step(180, [&] { listLogins(); });
}

void Form1::Form_QueryUnload() {
    ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("Form_QueryUnload"));
    trap.step(100, [&] {
        if (Globals::connection().isOpen())
            Globals::connection().close();
    });
    trap.step(102, [&] { Globals::releaseConnection(); });
    // Events still queued (a click, a tick) are not run here: with the connection gone they could
    // only fail, and a box shown now would run a loop of its own inside the close. The program
    // ends once the close returns, and they are dropped with it.
}

void Form1::Form_Unload() {
    Timer1->stop();
    QCoreApplication::quit();
}

void Form1::closeEvent(QCloseEvent* event) {
    Form_QueryUnload();
    Form_Unload();
    event->accept();
}

void Form1::Option1_Click() {
    PushButton1->setText(QStringLiteral("Login"));
}

void Form1::Option2_Click() {
    PushButton1->setText(QStringLiteral("Logout"));
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    // Text1_GotFocus / Text2_GotFocus: select the whole text. Deferred, because a mouse click
    // that gives the focus would otherwise place the caret over the selection.
    if (event->type() == QEvent::FocusIn && (watched == Text1 || watched == Text2)) {
        auto* box = static_cast<QLineEdit*>(watched);
        QTimer::singleShot(0, box, [box] { box->setSelection(0, static_cast<int>(box->text().size())); });
    }
    return QWidget::eventFilter(watched, event);
}
