#include "common/TestSupport.h"
#include "core/Globals.h"
#include "core/Main.h"
#include "core/MainWindow.h"
#include "core/SharedFolder.h"
#include "data/AttendanceDatabase.h"
#include "data/SettingsStore.h"
#include "platform/ListView.h"
#include "platform/PushButton.h"
#include "platform/SystemClock.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <sys/stat.h>
#include <unistd.h>

using TestSupport::control;

namespace {

const QDateTime kNow(QDate(2026, 12, 9), QTime(14, 5));

int modeOf(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return static_cast<int>(info.st_mode & 07777);
}

int groupOf(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return static_cast<int>(info.st_gid);
}

QByteArray hashOf(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

QStringList row(const ListView* list, int index) {
    QStringList cells;
    for (int c = 0; c < list->columnCount(); ++c)
        cells.append(list->itemText(index, c));
    return cells;
}

void writeFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

} // namespace

class StartupTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        SystemClock::setFixed(kNow);
        TestSupport::clearSettings();
    }

    void cleanup() {
        Globals::releaseConnection();
        Main::setProgramFolder(QString());
        SystemClock::clearFixed();
    }

    void firstRunCreatesSharedFoldersAndDatabase() {
        TestSupport::CommonFolder common;
        TestSupport::MessageRecorder boxes;
        // Whoever starts the program first, with whatever umask, every user must be able to punch.
        const mode_t oldMask = ::umask(077);
        MainWindow window;
        window.start();
        ::umask(oldMask);

        QCOMPARE(boxes.texts(), std::vector<QString>{});
        const QString maker = common.path() + QStringLiteral("/Quillmark");
        QVERIFY(QFileInfo(maker).isDir());
        QVERIFY(QFileInfo(common.dataFolder()).isDir());
        QCOMPARE(modeOf(maker), 0777);
        QCOMPARE(modeOf(common.dataFolder()), 0777);
        QCOMPARE(modeOf(common.database()), 0666);
        QCOMPARE(hashOf(common.database()), hashOf(TestSupport::templatePath()));

        QCOMPARE(window.windowTitle(), QStringLiteral("Tallyclock Suite"));
        QCOMPARE(control<ListView>(window, "todayList")->columnCount(), 8);
        QCOMPARE(control<ListView>(window, "todayList")->columnHeader(7), QStringLiteral("Login Difference"));
        QVERIFY(control<ListView>(window, "todayList")->columnWidth(7) >=
                control<ListView>(window, "todayList")->header()->sectionSizeHint(7));
        QCOMPARE(control<ListView>(window, "todayList")->rowCount(), 0);
        QCOMPARE(control<QLabel>(window, "dateLabel")->text(), QStringLiteral("12/09/2026"));
        QCOMPARE(control<QLabel>(window, "timeLabel")->text(), QStringLiteral("02:05 PM"));
        QVERIFY(control<QTimer>(window, "clockTimer")->isActive());
        QVERIFY(Globals::connection().isOpen());
        QCOMPARE(Globals::connection().path(), common.database());
        // The connection works on the copy.
        Globals::connection().punchIn(QStringLiteral("1"), kNow.date(), QStringLiteral("02:05 PM"));
        window.listLogins();
        QCOMPARE(control<ListView>(window, "todayList")->rowCount(), 1);
    }

    void secondRunLeavesTheLiveDatabaseAlone() {
        TestSupport::CommonFolder common;
        TestSupport::copyTemplateTo(common.database());
        {
            AttendanceDatabase db;
            db.open(common.database());
            db.insertPerson(PersonFields{QStringLiteral("7"), QStringLiteral("pw"), QStringLiteral("Ann"),
                                         QStringLiteral("Sales"), QStringLiteral("Clerk"), false});
            db.punchIn(QStringLiteral("7"), kNow.date(), QStringLiteral("09:05 AM"));
            db.punchOut(QStringLiteral("7"), kNow.date(), QStringLiteral("11:35 AM"));
            db.punchIn(QStringLiteral("7"), kNow.date().addDays(-1), QStringLiteral("08:00 AM"));
        }
        QFile::setPermissions(common.dataFolder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QByteArray before = hashOf(common.database());
        // Whatever the template holds, an existing live database is never replaced.
        QTemporaryDir program;
        writeFile(program.filePath(QStringLiteral("dbBlank.mdb")), "not a database");
        Main::setProgramFolder(program.path());

        TestSupport::MessageRecorder boxes;
        MainWindow window;
        window.start();

        QCOMPARE(boxes.texts(), std::vector<QString>{});
        QCOMPARE(control<ListView>(window, "todayList")->rowCount(), 1);
        QCOMPARE(
            row(control<ListView>(window, "todayList"), 0),
            (QStringList{QStringLiteral("7"), QStringLiteral("Ann"), QStringLiteral("Sales"),
                         QStringLiteral("Clerk"), QStringLiteral("12/9/2026"), QStringLiteral("09:05 AM"),
                         QStringLiteral("11:35 AM"), QStringLiteral("150 min(s)")}));
        window.releaseDatabase();
        QCOMPARE(hashOf(common.database()), before);
        // Existing folders keep the modes their owner gave them.
        QCOMPARE(modeOf(common.dataFolder()), 0700);
    }

    void fileInPlaceOfTheMakerFolder() {
        TestSupport::CommonFolder common;
        const QString maker = common.path() + QStringLiteral("/Quillmark");
        writeFile(maker, "a file, not a folder");
        TestSupport::MessageRecorder boxes;
        MainWindow window;
        window.start();

        // The maker test passes (something is there); creating the data folder inside a file, copying
        // into it and opening from it fail, and so does the list on the closed connection.
        QCOMPARE(boxes.errorSteps(), (std::vector<int>{106, 110, 176, 180}));
        QVERIFY(QFileInfo(maker).isFile());
        QCOMPARE(hashOf(maker), QCryptographicHash::hash("a file, not a folder", QCryptographicHash::Sha256));
        QVERIFY(boxes.errors().at(0).text.startsWith(QStringLiteral("Path/File access error")));
        QVERIFY(boxes.errors().at(0).text.contains(
            QStringLiteral("in Tallyclock2021/08/31.Form1.Form_Load at line 106\r\r")));
        QCOMPARE(control<QLabel>(window, "dateLabel")->text(), QStringLiteral("12/09/2026"));
    }

    void fileInPlaceOfTheDataFolder() {
        TestSupport::CommonFolder common;
        QVERIFY(QDir().mkdir(common.path() + QStringLiteral("/Quillmark")));
        writeFile(common.dataFolder(), "in the way");
        TestSupport::MessageRecorder boxes;
        MainWindow window;
        window.start();

        QCOMPARE(boxes.errorSteps(), (std::vector<int>{110, 176, 180}));
        QVERIFY(QFileInfo(common.dataFolder()).isFile());
        QCOMPARE(QFileInfo(common.dataFolder()).size(), 10);
        QVERIFY(!Globals::connection().isOpen());
    }

    // A link someone else put where the program creates its folders or database is not followed, and
    // nothing is written where it leads.
    void plantedLinkIsNotFollowed_data() {
        QTest::addColumn<QString>("linkAt"); // relative to the common folder
        QTest::addColumn<QString>("target"); // relative to the other user's folder
        QTest::addColumn<bool>("targetExists");
        QTest::addColumn<std::vector<int>>("steps");
        QTest::newRow("maker folder") << "Quillmark"
                                      << "" << true << std::vector<int>{106, 110, 176, 180};
        QTest::newRow("data folder") << "Quillmark/Tallyclock Suite"
                                     << "" << true << std::vector<int>{110, 176, 180};
        QTest::newRow("database, dangling") << "Quillmark/Tallyclock Suite/dbData.mdb"
                                            << "new.mdb" << false << std::vector<int>{110, 176, 180};
        QTest::newRow("database, to a file") << "Quillmark/Tallyclock Suite/dbData.mdb"
                                             << "precious" << true << std::vector<int>{176, 180};
    }
    void plantedLinkIsNotFollowed() {
        QFETCH(QString, linkAt);
        QFETCH(QString, target);
        QFETCH(bool, targetExists);
        QFETCH(std::vector<int>, steps);
        TestSupport::CommonFolder common;
        QTemporaryDir other;
        const QString targetPath = other.filePath(target);
        if (!target.isEmpty() && targetExists)
            writeFile(targetPath, "precious");
        const QString link = common.path() + QLatin1Char('/') + linkAt;
        QDir().mkpath(QFileInfo(link).path());
        QVERIFY(QFile::link(target.isEmpty() ? other.path() : targetPath, link));

        TestSupport::MessageRecorder boxes;
        MainWindow window;
        window.start();

        QCOMPARE(boxes.errorSteps(), steps);
        // Neither a folder nor the database nor its temporary copy appears where the link leads.
        const auto startupEntries = [](const QString& folder) {
            QStringList names =
                QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
            names.removeIf([](const QString& name) {
                return name != QStringLiteral("Tallyclock Suite") && name != QStringLiteral("dbData.mdb") &&
                       !name.startsWith(QStringLiteral(".dbData.mdb."));
            });
            return names;
        };
        // Nothing at all, the lock file and backups included, appears where the link leads.
        QStringList leaked =
            QDir(other.path())
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        leaked.removeAll(target);
        QCOMPARE(leaked, QStringList());
        if (targetExists && !target.isEmpty())
            QCOMPARE(hashOf(targetPath), QCryptographicHash::hash("precious", QCryptographicHash::Sha256));
        QVERIFY(QFileInfo(link).isSymLink());
        if (QFileInfo(common.dataFolder()).isDir() && !QFileInfo(common.dataFolder()).isSymLink())
            QCOMPARE(startupEntries(common.dataFolder()), QStringList{QStringLiteral("dbData.mdb")});
        if (linkAt == QStringLiteral("Quillmark"))
            QVERIFY(boxes.errors().at(0).text.contains(QStringLiteral("is a symbolic link")));
    }

    // Two copies started at the same moment on a fresh computer both find the folders and the database
    // missing; the one that creates them second uses what the first made, and only that.
    void secondCopyUsesWhatTheFirstMade_data() {
        QTest::addColumn<bool>("databaseIsLink");
        QTest::newRow("database made by the other copy") << false;
        QTest::newRow("link in the database's place") << true;
    }
    void secondCopyUsesWhatTheFirstMade() {
        QFETCH(bool, databaseIsLink);
        TestSupport::CommonFolder common;
        const QStringList names{QStringLiteral("Quillmark"), QStringLiteral("Tallyclock Suite"),
                                QStringLiteral("dbData.mdb")};
        QVERIFY(QDir().mkpath(common.dataFolder()));
        QTemporaryDir other;
        if (databaseIsLink)
            QVERIFY(QFile::link(other.filePath(QStringLiteral("elsewhere.mdb")), common.database()));
        else
            writeFile(common.database(), "made first");

        QVERIFY_THROWS_NO_EXCEPTION(SharedFolder::createFolder(common.path(), names.mid(0, 1)));
        QVERIFY_THROWS_NO_EXCEPTION(SharedFolder::createFolder(common.path(), names.mid(0, 2)));
        bool refused = false;
        try {
            SharedFolder::copyTemplate(TestSupport::templatePath(), common.path(), names);
        } catch (const std::exception&) {
            refused = true;
        }
        QCOMPARE(refused, databaseIsLink);
        QVERIFY(!QFileInfo::exists(other.filePath(QStringLiteral("elsewhere.mdb"))));
        if (!databaseIsLink)
            QCOMPARE(hashOf(common.database()),
                     QCryptographicHash::hash("made first", QCryptographicHash::Sha256));
        QCOMPARE(QDir(common.dataFolder())
                     .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("dbData.mdb")});
    }

    // The database takes the modes of the folder it is created in and never opens it wider: a folder
    // given to a group keeps its database to that group.
    void databaseModeFollowsTheFolder_data() {
        QTest::addColumn<int>("folderMode");
        QTest::addColumn<int>("databaseMode");
        QTest::newRow("every user") << 0777 << 0666;
        QTest::newRow("group") << 02770 << 0660;
        QTest::newRow("owner only") << 0700 << 0600;
    }
    void databaseModeFollowsTheFolder() {
        QFETCH(int, folderMode);
        QFETCH(int, databaseMode);
        TestSupport::CommonFolder common;
        QVERIFY(QDir().mkpath(common.dataFolder()));
        // A group of its own shows that the database takes the group of a set-group-id folder.
        if ((folderMode & 02000) && ::geteuid() == 0)
            QCOMPARE(
                ::chown(QFile::encodeName(common.dataFolder()).constData(), static_cast<uid_t>(-1), 65534),
                0);
        QCOMPARE(::chmod(QFile::encodeName(common.dataFolder()).constData(), static_cast<mode_t>(folderMode)),
                 0);
        TestSupport::MessageRecorder boxes;
        const mode_t oldMask = ::umask(0);
        MainWindow window;
        window.start();
        ::umask(oldMask);

        QCOMPARE(boxes.texts(), std::vector<QString>{});
        QCOMPARE(modeOf(common.database()), databaseMode);
        QCOMPARE(modeOf(common.dataFolder()), folderMode);
        QCOMPARE(groupOf(common.database()), groupOf(common.dataFolder()));
        QVERIFY(Globals::connection().isOpen());
    }

    void templateMissing() {
        TestSupport::CommonFolder common;
        QTemporaryDir program;
        Main::setProgramFolder(program.path());
        TestSupport::MessageRecorder boxes;
        MainWindow window;
        window.start();

        QCOMPARE(boxes.errorSteps(), (std::vector<int>{110, 176, 180}));
        QVERIFY(boxes.errors().at(0).text.startsWith(QStringLiteral("File not found")));
        QVERIFY(QFileInfo(common.dataFolder()).isDir());
        QVERIFY(!QFileInfo::exists(common.database()));
        // The window still works: columns, the clock, and a timer that keeps it running.
        QCOMPARE(control<ListView>(window, "todayList")->columnCount(), 8);
        QCOMPARE(control<ListView>(window, "todayList")->rowCount(), 0);
        QCOMPARE(control<QLabel>(window, "timeLabel")->text(), QStringLiteral("02:05 PM"));
        QVERIFY(control<QTimer>(window, "clockTimer")->isActive());
        SystemClock::setFixed(kNow.addSecs(60));
        QTRY_COMPARE_WITH_TIMEOUT(control<QLabel>(window, "timeLabel")->text(), QStringLiteral("02:06 PM"),
                                  3000);
        QCOMPARE(boxes.errorSteps(), (std::vector<int>{110, 176, 180}));
        // Every later database action reports its own failure.
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, window.listLogins());
    }

    void unreadableSettingBoxedAtTheTick() {
        TestSupport::CommonFolder common;
        SettingsStore::SaveSetting(SettingsStore::kApplication, SettingsStore::kSection,
                                   QStringLiteral("Option1"), QStringLiteral("maybe"));
        TestSupport::MessageRecorder boxes;
        MainWindow window;
        control<QTimer>(window, "clockTimer")->stop();
        window.start();
        // Without a date there is no day to list.
        QCOMPARE(boxes.errorSteps(), (std::vector<int>{178, 180}));
        QVERIFY(boxes.errors().at(0).text.contains(QStringLiteral("\"maybe\"")));
        QVERIFY(Globals::connection().isOpen());
    }

    void closingReleasesTheConnection() {
        TestSupport::CommonFolder common;
        TestSupport::MessageRecorder boxes;
        {
            MainWindow window;
            window.start();
            QVERIFY(Globals::connection().isOpen());
            window.releaseDatabase();
            QVERIFY(!Globals::hasConnection());
        }
        // Already closed: the close is skipped and the connection still released.
        {
            MainWindow window;
            window.start();
            Globals::connection().close();
            window.releaseDatabase();
            QVERIFY(!Globals::hasConnection());
        }
        QCOMPARE(boxes.texts(), std::vector<QString>{});
    }

    // A click still queued when the window closes does not run against the released connection.
    void closingRunsNoQueuedClick() {
        TestSupport::CommonFolder common;
        TestSupport::MessageRecorder boxes;
        MainWindow window;
        window.start();
        window.show();
        control<QLineEdit>(window, "numberBox")->setText(QStringLiteral("1"));
        QMetaObject::invokeMethod(control<PushButton>(window, "punchButton"), &QPushButton::click,
                                  Qt::QueuedConnection);
        QVERIFY(window.close());
        QVERIFY(!Globals::hasConnection());
        QCOMPARE(boxes.texts(), std::vector<QString>{});
        QCOMPARE(control<QLineEdit>(window, "numberBox")->text(), QStringLiteral("1"));
    }
};

TALLYCLOCK_TEST(StartupTest)
#include "StartupTest.moc"
