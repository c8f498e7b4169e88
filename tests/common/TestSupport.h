#pragma once

#include "platform/MessageBox.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

class AttendanceDatabase;
class MainWindow;

namespace CommandLine {
struct Verb;
}

// Test executables group several test classes; each registers itself with TALLYCLOCK_TEST.
namespace TestSupport {

using Factory = std::function<std::unique_ptr<QObject>()>;
int registerTest(const char* name, Factory factory);
int runAll(int argc, char** argv);

// Records every message box and answers Yes/No questions from a queue (No when it runs dry).
class MessageRecorder {
public:
    MessageRecorder();
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    void answerNext(bool yes) { m_answers.push_back(yes); }
    const std::vector<MessageBox::Shown>& shown() const { return m_shown; }
    std::vector<MessageBox::Shown> errors() const;
    std::vector<QString> texts() const;
    // The step numbers quoted by the error boxes, in order.
    std::vector<int> errorSteps() const;
    void clear() { m_shown.clear(); }

private:
    std::vector<MessageBox::Shown> m_shown;
    std::vector<bool> m_answers;
};

// A fresh common data folder (TALLYCLOCK_COMMON_APPDATA) for one test; removed afterwards.
class CommonFolder {
public:
    CommonFolder();
    ~CommonFolder();
    QString path() const { return m_dir.path(); }
    QString dataFolder() const { return path() + QStringLiteral("/Quillmark/Tallyclock Suite"); }
    QString database() const { return dataFolder() + QStringLiteral("/dbData.mdb"); }

private:
    QTemporaryDir m_dir;
};

// A system-wide settings folder ($XDG_CONFIG_DIRS) holding the program's section with `lines`, for as
// long as it lives.
class SystemSettings {
public:
    explicit SystemSettings(const QByteArray& lines);
    ~SystemSettings();
    SystemSettings(const SystemSettings&) = delete;
    SystemSettings& operator=(const SystemSettings&) = delete;

private:
    QTemporaryDir m_dir;
    QByteArray m_oldDirs;
};

// Removes every per-user setting of the program, behind the settings store's back, and makes the
// store read the emptied file.
void clearSettings();

// Copies the built template database to `path` (creating folders) so a test has a real file.
void copyTemplateTo(const QString& path);
// A database file as the first program made it: the first version's tables, no schema version.
void makeFirstProgramFile(const QString& path);
// The template database beside the test program.
QString templatePath();

// What one run of the command line printed, and its exit code.
struct CommandLineRun {
    int code;
    QString out;
    QString err;
};
// Runs the program's command line (or one with the given verbs) on these arguments.
CommandLineRun runCommandLine(const QStringList& arguments);
CommandLineRun runCommandLine(const QStringList& arguments, const std::vector<CommandLine::Verb>& verbs);

// What a tool (found on PATH) prints on standard output given `input`; empty, with a warning,
// when the tool is missing or fails.
QByteArray runTool(const QString& name, const QStringList& arguments, const QByteArray& input = {});

// A new, empty database on the test run's private PostgreSQL server (TALLYCLOCK_TEST_DATABASE_URL,
// set by ctest); its URI. The program creates its tables at the first connection.
QString freshServerDatabase();

// Every record of the database as "number in-out", with "*" when it is listed to correct.
QStringList recordsOn(AttendanceDatabase& db);

// Waits (processing events) until a modal widget shows, then runs `action` on it. Returns at once;
// the action runs from a timer while the test blocks in the code that opened the window.
void whenModalShows(std::function<void(QWidget*)> action, int timeoutMs = 5000);

// Starts the main window and waits for its start-up check of the file, which reads the file on a
// thread of its own: a test that then writes to the file directly finds it free.
void startWindow(MainWindow& window);

// A window's control by its object name, as a screen reader or a user finds it rather than through the
// window's members. Throws (failing the test) when the window has no such control.
template <typename T = QWidget> T* control(const QObject& window, const char* name) {
    T* found = window.findChild<T*>(QLatin1String(name));
    if (!found)
        throw std::runtime_error(std::string("no control named ") + name);
    return found;
}

} // namespace TestSupport

#define TALLYCLOCK_TEST(Class)                                                                               \
    static const int Class##_registered =                                                                    \
        TestSupport::registerTest(#Class, [] { return std::unique_ptr<QObject>(new Class); });
