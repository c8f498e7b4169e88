#include "common/TestSupport.h"

#include "core/MainWindow.h"

#include "cli/CommandLine.h"
#include "core/Main.h"
#include "data/AttendanceDatabase.h"
#include "data/SchemaUpgrades.h"
#include "data/SettingsStore.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QTextStream>
#include <QTimer>
#include <QUrl>

#include <SQLiteCpp/Database.h>
#include <cstdio>
#include <map>

namespace TestSupport {

namespace {
std::vector<std::pair<std::string, Factory>>& registry() {
    static std::vector<std::pair<std::string, Factory>> tests;
    return tests;
}
} // namespace

int registerTest(const char* name, Factory factory) {
    registry().emplace_back(name, std::move(factory));
    return static_cast<int>(registry().size());
}

int runAll(int argc, char** argv) {
    // Every test process gets its own per-user settings folder, and a fixed locale.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    // Nor does the machine's system-wide settings file (/etc/xdg) reach the tests.
    QTemporaryDir systemConfig;
    qputenv("XDG_CONFIG_DIRS", systemConfig.path().toUtf8());
    // A terminal's journal lives in the user's data folder: each test process has one of its own.
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", data.path().toUtf8());
    qputenv("TALLYCLOCK_COMMON_APPDATA", QByteArray());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    Main::SetAppTitle();

    // "-only Name" runs one class; everything else goes to QTest.
    QStringList args = QCoreApplication::arguments();
    QString only;
    const int at = static_cast<int>(args.indexOf(QStringLiteral("-only")));
    if (at >= 0 && at + 1 < args.size()) {
        only = args.at(at + 1);
        args.remove(at, 2);
    }
    int failures = 0;
    for (const auto& [name, factory] : registry()) {
        if (!only.isEmpty() && only != QString::fromStdString(name))
            continue;
        std::unique_ptr<QObject> test = factory();
        // QTest reports an exception that escapes a test function and then throws it on; it fails
        // that class, and the classes after it still run.
        try {
            failures += QTest::qExec(test.get(), args);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "FAIL!  : %s ended with an exception: %s\n", name.c_str(), e.what());
            ++failures;
        } catch (...) {
            std::fprintf(stderr, "FAIL!  : %s ended with an exception\n", name.c_str());
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}

MessageRecorder::MessageRecorder() {
    MessageBox::setResponder([this](const MessageBox::Shown& shown) {
        m_shown.push_back(shown);
        if (shown.kind != MessageBox::Kind::YesNo || m_answers.empty())
            return false;
        const bool answer = m_answers.front();
        m_answers.erase(m_answers.begin());
        return answer;
    });
}

MessageRecorder::~MessageRecorder() {
    MessageBox::clearResponder();
}

std::vector<MessageBox::Shown> MessageRecorder::errors() const {
    std::vector<MessageBox::Shown> result;
    for (const auto& shown : m_shown) {
        if (shown.kind == MessageBox::Kind::Error)
            result.push_back(shown);
    }
    return result;
}

std::vector<QString> MessageRecorder::texts() const {
    std::vector<QString> result;
    for (const auto& shown : m_shown)
        result.push_back(shown.text);
    return result;
}

std::vector<int> MessageRecorder::errorSteps() const {
    static const QRegularExpression line(QStringLiteral("at line (\\d+)\\r"));
    std::vector<int> steps;
    for (const auto& shown : errors()) {
        const QRegularExpressionMatch match = line.match(shown.text);
        steps.push_back(match.hasMatch() ? match.captured(1).toInt() : -1);
    }
    return steps;
}

CommonFolder::CommonFolder() {
    qputenv("TALLYCLOCK_COMMON_APPDATA", m_dir.path().toUtf8());
}

CommonFolder::~CommonFolder() {
    qputenv("TALLYCLOCK_COMMON_APPDATA", QByteArray());
}

SystemSettings::SystemSettings(const QByteArray& lines) : m_oldDirs(qgetenv("XDG_CONFIG_DIRS")) {
    QDir().mkpath(m_dir.filePath(QStringLiteral("Quillmark")));
    QFile file(m_dir.filePath(QStringLiteral("Quillmark/Quillmark.ini")));
    if (file.open(QIODevice::WriteOnly))
        file.write("[Tallyclock Suite]\n" + lines);
    // Second of two folders, as the system's own /etc/xdg usually is.
    qputenv("XDG_CONFIG_DIRS", (m_dir.path() + QStringLiteral("/none:") + m_dir.path()).toUtf8());
}

SystemSettings::~SystemSettings() {
    qputenv("XDG_CONFIG_DIRS", m_oldDirs);
}

void clearSettings() {
    QSettings(QSettings::IniFormat, QSettings::UserScope, SettingsStore::kApplication,
              SettingsStore::kApplication)
        .clear();
    SettingsStore::reload();
}

CommandLineRun runCommandLine(const QStringList& arguments) {
    return runCommandLine(arguments, CommandLine::programVerbs());
}

CommandLineRun runCommandLine(const QStringList& arguments, const std::vector<CommandLine::Verb>& verbs) {
    CommandLineRun run{0, QString(), QString()};
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    run.code = CommandLine::run(arguments, out, err, verbs);
    return run;
}

QByteArray runTool(const QString& name, const QStringList& arguments, const QByteArray& input) {
    const QString program = QStandardPaths::findExecutable(name);
    if (program.isEmpty()) {
        qWarning().noquote() << name << "is missing: scripts/install-deps installs it";
        return {};
    }
    QProcess process;
    process.start(program, arguments);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(30000) || process.exitCode() != 0) {
        qWarning().noquote() << name << "failed:" << process.readAllStandardError();
        return {};
    }
    return process.readAllStandardOutput();
}

QString templatePath() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/dbBlank.mdb");
}

void copyTemplateTo(const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile::remove(path);
    if (!QFile::copy(templatePath(), path))
        qFatal("cannot copy the template database to %s", qPrintable(path));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
}

QStringList recordsOn(AttendanceDatabase& db) {
    QStringList records;
    for (RecordSet rs = db.allLogins(); !rs.eof(); rs.moveNext())
        records << rs.text(QStringLiteral("EmployeeNo")) + QLatin1Char(' ') +
                       rs.text(QStringLiteral("TimeIn")) + QLatin1Char('-') +
                       rs.text(QStringLiteral("TimeOut")) +
                       (rs.text(QStringLiteral("ToCorrect")).isEmpty() ? QString() : QStringLiteral("*"));
    return records;
}

QString freshServerDatabase() {
    static int created = 0;
    const QString name = QStringLiteral("test_%1_%2").arg(QCoreApplication::applicationPid()).arg(++created);
    QUrl url(qEnvironmentVariable("TALLYCLOCK_TEST_DATABASE_URL"));
    if (url.isEmpty())
        qFatal(
            "TALLYCLOCK_TEST_DATABASE_URL is not set: run the test through ctest, which starts the server");
    QProcess createdb;
    createdb.start(QStringLiteral("createdb"), {QStringLiteral("--maintenance-db=") + url.toString(), name});
    if (!createdb.waitForFinished(30000) || createdb.exitStatus() != QProcess::NormalExit ||
        createdb.exitCode() != 0)
        qFatal("createdb %s failed: %s", qPrintable(name), createdb.readAllStandardError().constData());
    url.setPath(QLatin1Char('/') + name);
    return url.toString();
}

void whenModalShows(std::function<void(QWidget*)> action, int timeoutMs) {
    auto* timer = new QTimer;
    auto* clock = new QElapsedTimer;
    clock->start();
    QObject::connect(timer, &QTimer::timeout, [timer, clock, action, timeoutMs] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal->isVisible()) {
            timer->stop();
            timer->deleteLater();
            delete clock;
            action(modal);
        } else if (clock->elapsed() > timeoutMs) {
            timer->stop();
            timer->deleteLater();
            delete clock;
            qWarning("whenModalShows: no modal window appeared");
        }
    });
    timer->start(10);
}

void makeFirstProgramFile(const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile::remove(path);
    SQLite::Database db(path.toStdString(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
    db.exec(SchemaUpgrades::steps().front().sqlite);
}

void startWindow(MainWindow& window) {
    QSignalSpy checked(&window, &MainWindow::fileChecked);
    window.start();
    if (checked.isEmpty())
        checked.wait(30000);
}

} // namespace TestSupport
