#include "core/MainWindow.h"

#include "backup/Backups.h"
#include "backup/InstanceLock.h"
#include "core/ErrorTrap.h"
#include "core/Globals.h"
#include "core/Main.h"
#include "core/SharedFolder.h"
#include "data/AttendanceDatabase.h"
#include "data/SettingsStore.h"
#include "journal/Journal.h"
#include "journal/TerminalJournal.h"
#include "platform/Accessibility.h"
#include "platform/ControlNames.h"
#include "platform/Fonts.h"
#include "platform/ListView.h"
#include "platform/MousePointer.h"
#include "platform/PasswordBox.h"
#include "platform/PushButton.h"
#include "platform/SkinFramework.h"
#include "platform/SpecialFolders.h"
#include "platform/SystemClock.h"
#include "platform/Twips.h"
#include "terminal/KioskFrame.h"
#include "terminal/PunchOutcome.h"
#include "terminal/TerminalSettings.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QThread>
#include <QTimer>
#include <stdexcept>

namespace {

// The data folder's names below the common folder, and the live database in it.
const QString kMakerName = QStringLiteral("Quillmark");
const QString kDatabaseName = QStringLiteral("dbData.mdb");

// How long after the start the check of the file begins.
constexpr int kFileCheckDelayMs = 500;

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

MainWindow::MainWindow(QWidget* parent) : QWidget(parent), m_pointer(new MousePointer(this)) {
    // Screen readers meet the main window as a window (a frame), not as a panel.
    Accessibility::install();
    setObjectName(QStringLiteral("mainWindow"));
    buildControls();
    clockTimer = new QTimer(this);
    clockTimer->setObjectName(QStringLiteral("clockTimer"));
    clockTimer->setInterval(1000);
    connect(clockTimer, &QTimer::timeout, this, [this] {
        // A tick outside start-up has no handler to report to; one box per run of failing ticks
        // is enough, rather than one every second.
        try {
            tick();
            m_tickFailing = false;
        } catch (const std::exception& e) {
            if (!m_tickFailing) {
                m_tickFailing = true;
                Main::ErrorReport(QString::fromUtf8(e.what()), locationTag(Where::MainTick), 100);
            }
        }
    });
    clockTimer->start();
    if (Terminal::active()) {
        m_kiosk = new KioskFrame(this, numberBox, passwordBox, Terminal::current());
        m_recentPunches = std::make_unique<TerminalPunch::RecentPunches>();
        connect(m_kiosk, &KioskFrame::badgeRead, this, &MainWindow::punchBadge);
        connect(m_kiosk, &KioskFrame::submitted, this, &MainWindow::punch);
        connect(m_kiosk, &KioskFrame::closeAsked, this, &QWidget::close);
    }
}

MainWindow::~MainWindow() {
    // The file check may still be reading; its answer to this window is dropped with the window.
    if (m_fileCheck)
        m_fileCheck->wait();
}

void MainWindow::present() {
    if (m_kiosk)
        m_kiosk->showFullScreen();
    else
        show();
}

void MainWindow::buildControls() {
    setFont(Fonts::window());
    Twips::setClientSize(this, 8040, 8115);
    whiteBackground(this);

    clockFrame = Twips::placed(new QGroupBox(QStringLiteral("Current Time"), this), 120, 120, 7800, 2025);
    whiteBackground(clockFrame);

    const auto clockLabel = [this](double points, int top, int height) {
        auto* label = new QLabel(clockFrame);
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
    dateLabel = clockLabel(20.25, 360, 495);
    timeLabel = clockLabel(36.0, 1035, 780);

    formatButton = Twips::placed(new PushButton(QStringLiteral("Format"), clockFrame), 6360, 255, 1185, 405);

    loginFrame = Twips::placed(new QGroupBox(QStringLiteral("Person Login"), this), 120, 2220, 7800, 2265);
    whiteBackground(loginFrame);

    timeInOption =
        Twips::placed(new QRadioButton(QStringLiteral("Time In"), loginFrame), 240, 300, 1050, 255);
    whiteBackground(timeInOption);
    timeInOption->setChecked(true);
    timeOutOption =
        Twips::placed(new QRadioButton(QStringLiteral("Time Out"), loginFrame), 1530, 300, 1185, 255);
    whiteBackground(timeOutOption);

    numberCaption =
        Twips::placed(new QLabel(QStringLiteral("Person Number:"), loginFrame), 240, 765, 1380, 225);
    numberBox = new QLineEdit(loginFrame);
    Twips::place(numberBox, 1770, 720, 5760, 345);
    numberCaption->setBuddy(numberBox);

    passwordCaption = Twips::placed(new QLabel(QStringLiteral("Password:"), loginFrame), 240, 1260, 915, 225);
    passwordBox = new QLineEdit(loginFrame);
    showStars(passwordBox);
    Twips::place(passwordBox, 1770, 1215, 5760, 345);
    passwordCaption->setBuddy(passwordBox);

    punchButton = Twips::placed(new PushButton(QStringLiteral("Login"), loginFrame), 240, 1710, 7305, 405);
    // Beside the options, shown only while punches wait on this terminal for the server.
    offlineLabel = Twips::placed(new QLabel(loginFrame), 2880, 300, 4665, 255);
    offlineLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    offlineLabel->setStyleSheet(QStringLiteral("color: #b00000;"));
    offlineLabel->hide();
    offlineLabel->setAccessibleName(QStringLiteral("No punches waiting"));
    offlineLabel->setObjectName(QStringLiteral("offlineLabel"));

    personsButton = Twips::placed(new PushButton(QStringLiteral("Create / Delete / Edit Logins"), this), 120,
                                  4590, 7800, 405);
    reportsButton = Twips::placed(new PushButton(QStringLiteral("Reports"), this), 120, 5100, 7800, 405);

    todayList = Twips::placed(new ListView(this), 120, 5610, 7800, 2430);

    skin = new SkinFramework(this);

    // What a screen reader speaks: boxes by their labels, the list by what it shows. Buttons, option
    // buttons and frames speak their captions (the login button's follows the punch mode); the clock
    // labels speak the date and time they show, and their own names until they show one (an empty
    // label would otherwise borrow its frame's title).
    numberBox->setAccessibleName(QStringLiteral("Person Number"));
    passwordBox->setAccessibleName(QStringLiteral("Password"));
    todayList->setAccessibleName(QStringLiteral("Today's attendance"));
    dateLabel->setAccessibleName(QStringLiteral("Date"));
    dateLabel->setAccessibleDescription(QStringLiteral("Today's date"));
    timeLabel->setAccessibleName(QStringLiteral("Time"));
    timeLabel->setAccessibleDescription(QStringLiteral("Current time"));
    // The layout's order, begun at the person number box (tab index 0) and the password (1), so that
    // a punch is: number, Tab, password, Tab, Space.
    QWidget* const tabOrder[] = {numberBox, passwordBox,  punchButton,  personsButton, reportsButton,
                                 todayList, formatButton, timeInOption, timeOutOption};
    for (std::size_t i = 1; i < std::size(tabOrder); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);

    // The punch mode follows the selected option however it came to be selected: click, arrow
    // keys, an assistive technology's toggle action or the program.
    connect(timeInOption, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            chooseTimeIn();
    });
    connect(timeOutOption, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            chooseTimeOut();
    });
    connect(punchButton, &QPushButton::clicked, this, &MainWindow::punch);
    connect(personsButton, &QPushButton::clicked, this, &MainWindow::openPersons);
    connect(reportsButton, &QPushButton::clicked, this, &MainWindow::openReports);
    connect(formatButton, &QPushButton::clicked, this, &MainWindow::openFormats);

    for (QWidget* button : {punchButton, personsButton, reportsButton, formatButton})
        m_pointer->handOver(button);
    for (QWidget* area : {static_cast<QWidget*>(clockFrame), static_cast<QWidget*>(loginFrame),
                          static_cast<QWidget*>(todayList->viewport()), static_cast<QWidget*>(numberBox),
                          static_cast<QWidget*>(passwordBox)})
        m_pointer->arrowOver(area);

    numberBox->installEventFilter(this);
    passwordBox->installEventFilter(this);

    nameControls({{clockFrame, "clockFrame"},
                  {dateLabel, "dateLabel"},
                  {timeLabel, "timeLabel"},
                  {formatButton, "formatButton"},
                  {loginFrame, "loginFrame"},
                  {timeInOption, "timeInOption"},
                  {timeOutOption, "timeOutOption"},
                  {numberCaption, "numberCaption"},
                  {numberBox, "numberBox"},
                  {passwordCaption, "passwordCaption"},
                  {passwordBox, "passwordBox"},
                  {punchButton, "punchButton"},
                  {personsButton, "personsButton"},
                  {reportsButton, "reportsButton"},
                  {todayList, "todayList"},
                  {skin, "skin"}});
}

QString MainWindow::shownDateText() const {
    return dateLabel->text();
}

QString MainWindow::shownTimeText() const {
    return timeLabel->text();
}

QString MainWindow::makerFolder() {
    return commonFolder() + QLatin1Char('/') + kMakerName;
}

QString MainWindow::dataFolder() {
    return makerFolder() + QLatin1Char('/') + Main::kProductName;
}

QString MainWindow::liveDatabasePath() {
    return dataFolder() + QLatin1Char('/') + kDatabaseName;
}

void MainWindow::start() {
    ErrorTrap trap(Where::MainStart);
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
    trap.step(112, [&] { Main::ApplySkin(this, *skin); });
    trap.step(114, [&] {
        setWindowTitle(QStringLiteral("Tallyclock Suite"));
        setWindowIcon(QApplication::windowIcon());
        Main::SetAppTitle();
    });
    if (trap.test(116, [&] { return Main::FileExists(Main::handCursorPath()); }))
        trap.step(118, [&] { m_pointer->loadMouseIcon(Main::handCursorPath()); });
    trap.step(120, [&] { timeLabel->setFrameShape(QFrame::NoFrame); });
    trap.step(122, [&] { dateLabel->setFrameShape(QFrame::NoFrame); });

    const QString headers[] = {QStringLiteral("Person Number"), QStringLiteral("Name"),
                               QStringLiteral("Department"),    QStringLiteral("Position"),
                               QStringLiteral("Date"),          QStringLiteral("Login"),
                               QStringLiteral("Logout"),        QStringLiteral("Login Difference")};
    for (int i = 0; i < 8; ++i)
        trap.step(144 + 2 * i, [&] { todayList->addColumnHeader(headers[i]); });
    const int widths[] = {2000, 2000, 2000, 2000, 1500, 1500, 1500};
    for (int i = 0; i < 7; ++i)
        trap.step(160 + 2 * i, [&] { todayList->setColumnWidthTwips(i, widths[i]); });

    trap.step(174, [&] { Globals::createConnection(); });
    trap.step(176, [&] {
        // The lock file and the backups go beside the database: never through a link planted there.
        SharedFolder::checkFolder(common, dataNames);
        // Held while the window runs, so that no restore can swap the file it has open.
        m_instanceLock = InstanceLock::holdWhileRunning(live);
        // A file that does not open is checked at once, so that its box names the damage.
        if (m_instanceLock) {
            try {
                Backups::openLiveDatabase(Globals::connection(), live, SystemClock::now().date());
            } catch (const DatabaseError& e) {
                // A terminal that punches offline starts without its server, and says nothing:
                // the journal takes the punches, and the next statement connects again.
                if (!OfflinePunching::enabled() || !OfflinePunching::serverAway(e))
                    throw;
            }
            return;
        }
        // A restore holds the file: the window asks again every second, opens the database once it
        // has the lock, and takes no punch until then.
        auto* retry = new QTimer(this);
        retry->setObjectName(QStringLiteral("restoreWait"));
        connect(retry, &QTimer::timeout, this, [this, retry, live] {
            try {
                m_instanceLock = InstanceLock::acquire(live, InstanceLock::Mode::Shared, 0);
            } catch (const std::exception&) {
                return; // the next second tries again
            }
            if (!m_instanceLock)
                return;
            retry->stop();
            retry->deleteLater();
            ErrorTrap reopened(Where::MainStart);
            reopened.step(176, [&] {
                Backups::openLiveDatabase(Globals::connection(), live, SystemClock::now().date());
            });
            reopened.step(180, [&] { listLogins(); });
            checkFileLater(live);
        });
        retry->start(1000);
    });
    trap.step(178, [&] { tick(); });
    if (waitingForRestore()) // the list and the check come once the database is open
        return;
    // The journal first: a terminal whose server is away starts offline, with an empty list.
    if (trap.test(182, [] { return OfflinePunching::enabled(); }))
        trap.step(184, [&] { startJournal(); });
    trap.step(180, [&] {
        if (!m_journal || !m_journal->offline())
            listLoginsUnlessAway();
    });
    checkFileLater(live);
}

void MainWindow::startJournal() {
    m_journal = std::make_unique<TerminalJournal>(Globals::connection(), SettingsStore::databaseUrl(),
                                                  Journal::defaultFolder());
    const auto show = [this](const QString& text) {
        offlineLabel->setText(text);
        // Its own name, never the frame's, when there is nothing to say.
        offlineLabel->setAccessibleName(text.isEmpty() ? QStringLiteral("No punches waiting") : text);
        offlineLabel->setVisible(!text.isEmpty());
    };
    connect(m_journal.get(), &TerminalJournal::waitingChanged, this, show);
    show(OfflinePunching::waitingText(m_journal->waiting()));
}

bool MainWindow::waitingForRestore() const {
    return !m_instanceLock && findChild<QTimer*>(QStringLiteral("restoreWait"));
}

void MainWindow::checkFileLater(const QString& database) {
    // The check reads every page of the file: off the window's thread, so that the window punches at
    // once, and only once the window has had time to show, as a check running beside its first
    // drawing holds that up several times over (measured: 265 against 70 ms). A server keeps its own
    // data safe.
    if (!Globals::connection().isOpen() || !SettingsStore::databaseUrl().isEmpty()) {
        emit fileChecked();
        return;
    }
    QTimer::singleShot(kFileCheckDelayMs, this, [this, database] {
        const QDate today = SystemClock::now().date();
        m_fileCheck.reset(QThread::create([this, database, today] {
            const QString damage = Backups::checkAndBackUp(database, today);
            QMetaObject::invokeMethod(
                this,
                [this, damage] {
                    if (!damage.isEmpty())
                        Main::ErrorReport(damage, locationTag(Where::MainStart), 176);
                    emit fileChecked();
                },
                Qt::QueuedConnection);
        }));
        m_fileCheck->start();
    });
}

void MainWindow::releaseDatabase() {
    // The background delivery ends first: it must not outlive the connection it was given.
    m_journal.reset();
    ErrorTrap trap(Where::MainRelease);
    trap.step(100, [&] {
        if (Globals::connection().isOpen())
            Globals::connection().close();
    });
    trap.step(102, [&] { Globals::releaseConnection(); });
    // Events still queued (a click, a tick) are not run here: with the connection gone they could
    // only fail, and a box shown now would run a loop of its own inside the close. The program
    // ends once the close returns, and they are dropped with it.
}

void MainWindow::endProgram() {
    clockTimer->stop();
    QCoreApplication::quit();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (m_kiosk && !mayCloseTerminal()) {
        event->ignore();
        return;
    }
    releaseDatabase();
    endProgram();
    event->accept();
}

void MainWindow::chooseTimeIn() {
    punchButton->setText(QStringLiteral("Login"));
}

void MainWindow::chooseTimeOut() {
    punchButton->setText(QStringLiteral("Logout"));
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    // The number and password boxes select their whole text when they get the focus. Deferred, because a
    // mouse click that gives the focus would otherwise place the caret over the selection.
    if (event->type() == QEvent::FocusIn && (watched == numberBox || watched == passwordBox)) {
        auto* box = static_cast<QLineEdit*>(watched);
        QTimer::singleShot(0, box, [box] { box->setSelection(0, static_cast<int>(box->text().size())); });
    }
    return QWidget::eventFilter(watched, event);
}
