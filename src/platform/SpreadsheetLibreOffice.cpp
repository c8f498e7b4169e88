#include "platform/SpreadsheetLibreOffice.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRandomGenerator>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <deque>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <tuple>
#include <vector>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <com/sun/star/awt/XTopWindow.hpp>
#include <com/sun/star/awt/XWindow2.hpp>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/bridge/BridgeFactory.hpp>
#include <com/sun/star/bridge/XBridge.hpp>
#include <com/sun/star/connection/Connector.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/container/XEnumeration.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/frame/XFrame.hpp>
#include <com/sun/star/frame/XLayoutManager.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/lang/Locale.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/lang/XMultiServiceFactory.hpp>
#include <com/sun/star/sheet/XCellRangeData.hpp>
#include <com/sun/star/sheet/XCellRangeFormula.hpp>
#include <com/sun/star/sheet/XSheetCellRangeContainer.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/table/CellRangeAddress.hpp>
#include <com/sun/star/table/XColumnRowRange.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <com/sun/star/util/XNumberFormats.hpp>
#include <com/sun/star/util/XNumberFormatsSupplier.hpp>
#include <cppuhelper/bootstrap.hxx>
#include <rtl/bootstrap.hxx>

namespace LibreOffice {

namespace {

namespace css = com::sun::star;
using css::uno::Reference;
using css::uno::Sequence;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;
using rtl::OUString;

const QString kProgramDir = QStringLiteral(TALLYCLOCK_LIBREOFFICE_PROGRAM_DIR);

[[noreturn]] void notInstalled(const QString& why) {
    throw std::runtime_error(("LibreOffice Calc could not be started: " + why).toStdString());
}

OUString toOU(const QString& text) {
    return OUString(reinterpret_cast<const sal_Unicode*>(text.utf16()), static_cast<sal_Int32>(text.size()));
}
QString fromOU(const OUString& text) {
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(text.getStr()), text.getLength());
}

// The process we started is gone (zombies count as gone: whoever reaps them may be slow).
bool processAlive(qint64 pid) {
    if (pid <= 0)
        return false;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    if (close < 0 || close + 2 >= line.size())
        return false;
    const char state = line.at(close + 2);
    return state != 'Z' && state != 'X';
}

QString newPipeName() {
    return QStringLiteral("tallyclock_%1_%2")
        .arg(QCoreApplication::applicationPid())
        .arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0'));
}

int seconds(int ms) {
    return std::max(1, (ms + 999) / 1000);
}

// The local UNO environment, set up once from the installed office's bootstrap file.
Reference<css::uno::XComponentContext> localContext() {
    static Reference<css::uno::XComponentContext> context;
    if (!context.is()) {
        const QString rc = kProgramDir + QStringLiteral("/fundamentalrc");
        if (!QFileInfo::exists(rc))
            notInstalled(QStringLiteral("%1 is missing.").arg(rc));
        // The bridge writes to the office's pipe: an office that went away must end the call with
        // an error, not the program with SIGPIPE.
        struct sigaction current {};
        if (::sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL)
            ::signal(SIGPIPE, SIG_IGN);
        rtl::Bootstrap::set(OUString("URE_BOOTSTRAP"), toOU(QStringLiteral("vnd.sun.star.pathname:") + rc));
        try {
            context = cppu::defaultBootstrap_InitialComponentContext();
        } catch (const css::uno::Exception& e) {
            notInstalled(QStringLiteral("its runtime did not start (%1).").arg(fromOU(e.Message)));
        }
    }
    return context;
}

// One piece of work for the connection's thread.
struct Job {
    std::function<void()> work;
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::exception_ptr error;
};

// The thread that makes a connection's calls, one job after the other.
class Worker {
public:
    Worker() : m_thread([this] { loop(); }) {}
    ~Worker() {
        {
            const std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_one();
        m_thread.join();
    }
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    std::shared_ptr<Job> post(std::function<void()> work) {
        auto job = std::make_shared<Job>();
        job->work = std::move(work);
        {
            const std::lock_guard lock(m_mutex);
            m_jobs.push_back(job);
        }
        m_wake.notify_one();
        return job;
    }

    // Waits for the job, letting the calling thread's events run meanwhile; false when the
    // deadline passed first.
    static bool wait(Job& job, QDeadlineTimer deadline) {
        QCoreApplication* app = QCoreApplication::instance();
        const bool ownEvents =
            app && QThread::currentThread() == app->thread() && !QCoreApplication::closingDown();
        for (;;) {
            {
                std::unique_lock lock(job.mutex);
                if (job.finished.wait_for(lock, std::chrono::milliseconds(10), [&] { return job.done; }))
                    return true;
            }
            if (deadline.hasExpired())
                return false;
            if (ownEvents)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
    }

private:
    void loop() {
        for (;;) {
            std::shared_ptr<Job> job;
            {
                std::unique_lock lock(m_mutex);
                m_wake.wait(lock, [&] { return m_stop || !m_jobs.empty(); });
                if (m_jobs.empty())
                    return;
                job = std::move(m_jobs.front());
                m_jobs.pop_front();
            }
            try {
                job->work();
            } catch (...) {
                job->error = std::current_exception();
            }
            {
                const std::lock_guard lock(job->mutex);
                job->done = true;
            }
            job->finished.notify_all();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::shared_ptr<Job>> m_jobs;
    bool m_stop = false;
    std::thread m_thread; // last: it starts running once the members above exist
};

} // namespace

struct Connection::Private {
    Worker worker;
    mutable std::mutex mutex; // guards what giveUp() touches from the calling thread
    bool givenUp = false;
    Reference<css::connection::XConnection> link;
    Reference<css::lang::XComponent> bridge;
    Reference<css::uno::XComponentContext> context;

    // Runs on the worker: asks until the office accepts, then sets up the bridge.
    void connect(const Reference<css::uno::XComponentContext>& local, const OUString& description,
                 int timeoutMs, qint64 pid) {
        const auto connector = css::connection::Connector::create(local);
        QDeadlineTimer deadline(timeoutMs);
        std::optional<QDeadlineTimer> grace;
        Reference<css::connection::XConnection> accepted;
        for (;;) {
            if (isGivenUp())
                return;
            try {
                accepted = connector->connect(description);
                break;
            } catch (const css::connection::NoConnectException&) {
            } catch (const css::uno::Exception& e) {
                notInstalled(QStringLiteral("the connection failed (%1).").arg(fromOU(e.Message)));
            }
            if (deadline.hasExpired())
                notInstalled(QStringLiteral("it did not answer within %1 seconds.").arg(seconds(timeoutMs)));
            if (pid > 0 && !grace && !processAlive(pid))
                grace = QDeadlineTimer(3000);
            if (grace && grace->hasExpired())
                notInstalled(QStringLiteral("the office program ended without accepting the connection."));
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        const auto created = css::bridge::BridgeFactory::create(local)->createBridge(
            OUString(), OUString("urp"), accepted, nullptr);
        {
            const std::lock_guard lock(mutex);
            link = accepted;
            bridge.set(created, UNO_QUERY_THROW);
            if (givenUp) {
                bridge->dispose();
                return;
            }
        }
        // An office that accepts but does not serve (stopped, or stuck) blocks here until the
        // caller's deadline disposes the bridge.
        context.set(created->getInstance(OUString("StarOffice.ComponentContext")), UNO_QUERY_THROW);
    }

    bool isGivenUp() const {
        const std::lock_guard lock(mutex);
        return givenUp;
    }

    void giveUp() {
        Reference<css::lang::XComponent> disposed;
        Reference<css::connection::XConnection> closed;
        {
            const std::lock_guard lock(mutex);
            if (givenUp)
                return;
            givenUp = true;
            disposed = bridge;
            closed = link;
        }
        // Disposing the bridge closes the pipe and ends every call waiting on it with an exception.
        try {
            if (disposed.is())
                disposed->dispose();
            else if (closed.is())
                closed->close();
        } catch (...) {
            // Already down.
        }
    }

    Private() = default;
    Private(const Private&) = delete;
    Private& operator=(const Private&) = delete;
    // The last user has gone: the worker ends after the bridge.
    ~Private() { giveUp(); }
};

Connection::Connection(std::shared_ptr<Private> bridge, int callTimeoutMs, qint64 pid, QString pipe)
    : d(std::move(bridge)), m_callTimeoutMs(callTimeoutMs), m_pid(pid), m_pipe(std::move(pipe)) {}

Connection::~Connection() = default;

std::shared_ptr<Connection> Connection::open(const QString& pipe, const Settings& settings, qint64 pid) {
    // One bridge per pipe in this process, shared by whoever connects to it. An office gives its
    // objects the same identities on every connection, and the UNO runtime keeps one proxy per
    // identity for the whole process: a second bridge to the same office would be handed the first
    // one's proxies, and, left holding none of its own, would end itself, in the middle of a call
    // if one was under way.
    static std::mutex mutex;
    // Never destroyed, like the parked office: nothing of UNO's may go after the program's end.
    static auto* bridges = new std::map<QString, std::weak_ptr<Private>>;
    {
        const std::lock_guard lock(mutex);
        if (const auto found = bridges->find(pipe); found != bridges->end()) {
            if (auto shared = found->second.lock(); shared && !shared->isGivenUp())
                return std::shared_ptr<Connection>(
                    new Connection(std::move(shared), settings.callTimeoutMs, pid, pipe));
        }
    }
    const auto local = localContext();
    std::shared_ptr<Connection> connection(
        new Connection(std::make_shared<Private>(), settings.callTimeoutMs, pid, pipe));
    const OUString description = toOU(QStringLiteral("pipe,name=%1").arg(pipe));
    Private& p = *connection->d;
    // The job watches the start deadline itself; the wait's own deadline, a little later, catches
    // an office that accepted and then never answered.
    connection->run([&] { p.connect(local, description, settings.startTimeoutMs, pid); },
                    settings.startTimeoutMs + 1000);
    if (!p.context.is())
        notInstalled(
            QStringLiteral("it did not answer within %1 seconds.").arg(seconds(settings.startTimeoutMs)));
    const std::lock_guard lock(mutex);
    (*bridges)[pipe] = connection->d;
    return connection;
}

const Reference<css::uno::XComponentContext>& Connection::context() const {
    return d->context;
}

bool Connection::givenUp() const {
    return d->isGivenUp();
}

void Connection::giveUp() {
    d->giveUp();
}

void Connection::run(const std::function<void()>& work, int timeoutMs) {
    if (givenUp())
        throw SpreadsheetLost("The connection to LibreOffice Calc was given up.");
    // Turns the office's exceptions into the descriptions the error box shows.
    const auto job = d->worker.post([&work] {
        try {
            work();
        } catch (const css::lang::DisposedException&) {
            throw SpreadsheetLost("The connection to LibreOffice Calc was lost.");
        } catch (const css::uno::Exception& e) {
            const QString message = fromOU(e.Message).trimmed();
            throw std::runtime_error(("LibreOffice Calc reported an error" +
                                      (message.isEmpty() ? QString() : ": " + message) + ".")
                                         .toStdString());
        }
    });
    if (!Worker::wait(*job, QDeadlineTimer(timeoutMs))) {
        giveUp();
        // The disposed bridge ends the call at once; the job uses the caller's objects, so it must
        // be over before the caller goes on.
        Worker::wait(*job, QDeadlineTimer(QDeadlineTimer::Forever));
        throw SpreadsheetLost(
            QStringLiteral("LibreOffice Calc did not answer within %1 seconds; the connection "
                           "to it was given up.")
                .arg(seconds(timeoutMs))
                .toStdString());
    }
    if (!job->error)
        return;
    try {
        std::rethrow_exception(job->error);
    } catch (const SpreadsheetLost&) {
        giveUp();
        throw;
    }
}

// Runs `program` as a process of its own: in a session of its own, a child of init rather than of
// us, with /dev/null as its input and outputs, none of our other files open and none of our
// signal settings. The office outlives us: a file it inherited would stay open as long as it runs
// (the output pipe of whoever started us, say), and what we ignore is none of its business.
// Returns its process id, or 0 when it could not be run.
qint64 startAlone(const QString& program, const QStringList& arguments) {
    // Everything the children need is made before the fork: between fork and exec a process with
    // threads may only make system calls.
    std::vector<QByteArray> texts{QFile::encodeName(program)};
    for (const QString& argument : arguments)
        texts.push_back(argument.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& text : texts)
        argv.push_back(text.data());
    argv.push_back(nullptr);
    // Nor our signals: what we ignore (a closed pipe, say) and what this thread blocks.
    struct sigaction plain {};
    plain.sa_handler = SIG_DFL;
    sigset_t none;
    sigemptyset(&none);
    // The middle child writes the office's id here, or nothing when the office's exec failed; the
    // office end closes on exec, so a read that ends without the id means no office ran.
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        return 0;
    const int nothing = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (nothing < 0) {
        ::close(report[0]);
        ::close(report[1]);
        return 0;
    }
    const pid_t middle = ::fork();
    if (middle == 0) {
        int failed[2];
        if (::pipe2(failed, O_CLOEXEC) != 0)
            ::_exit(1);
        const pid_t office = ::fork();
        if (office == 0) {
            ::setsid();
            for (int signal = 1; signal < NSIG; ++signal)
                ::sigaction(signal, &plain, nullptr);
            ::sigprocmask(SIG_SETMASK, &none, nullptr);
            ::dup2(nothing, 0);
            ::dup2(nothing, 1);
            ::dup2(nothing, 2);
            // Only the report of a failed exec stays open, as the descriptor after the outputs.
            if (failed[1] != 3 && ::dup3(failed[1], 3, O_CLOEXEC) < 0)
                ::_exit(1);
            ::close_range(4, ~0U, 0);
            ::execv(argv[0], argv.data());
            const char byte = 1;
            [[maybe_unused]] const ssize_t written = ::write(3, &byte, 1);
            ::_exit(127);
        }
        ::close(failed[1]);
        char byte = 0;
        ssize_t got = 0;
        do
            got = ::read(failed[0], &byte, 1);
        while (got < 0 && errno == EINTR);
        if (office > 0 && got == 0) {
            const pid_t id = office;
            [[maybe_unused]] const ssize_t written = ::write(report[1], &id, sizeof id);
        }
        ::_exit(0);
    }
    ::close(report[1]);
    ::close(nothing);
    pid_t office = 0;
    ssize_t got = 0;
    if (middle > 0) {
        do
            got = ::read(report[0], &office, sizeof office);
        while (got < 0 && errno == EINTR);
        while (::waitpid(middle, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    ::close(report[0]);
    return got == sizeof office ? office : 0;
}

qint64 startOffice(const Settings& settings, const QString& pipe) {
    const QString program =
        settings.program.isEmpty() ? kProgramDir + QStringLiteral("/soffice") : settings.program;
    // No start centre, no logo and no recovery dialog: a modal dialog in the office would hold
    // up every call into it.
    QStringList arguments{QStringLiteral("--nologo"), QStringLiteral("--nodefault"),
                          QStringLiteral("--norestore"),
                          QStringLiteral("--accept=pipe,name=%1;urp;").arg(pipe)};
    arguments += settings.extraArguments;
    const qint64 pid = startAlone(program, arguments);
    if (pid <= 0)
        notInstalled(QStringLiteral("%1 could not be run.").arg(program));
    return pid;
}

std::vector<qint64> processTree(qint64 root) {
    std::vector<qint64> found{root};
    const QStringList processes = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (size_t i = 0; i < found.size(); ++i) {
        for (const QString& entry : processes) {
            QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
            if (!stat.open(QIODevice::ReadOnly))
                continue;
            const QByteArray line = stat.readAll();
            const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
            if (fields.size() > 1 && fields.at(1).toLongLong() == found[i])
                found.push_back(entry.toLongLong());
        }
    }
    return found;
}

bool waitForExit(qint64 pid, int ms) {
    QDeadlineTimer until(ms);
    while (processAlive(pid)) {
        if (until.hasExpired())
            return false;
        QThread::msleep(25);
    }
    return true;
}

namespace {

Reference<css::awt::XWindow> containerWindow(const Reference<css::frame::XModel>& model) {
    if (!model.is())
        return {};
    const auto controller = model->getCurrentController();
    if (!controller.is())
        return {};
    const auto frame = controller->getFrame();
    return frame.is() ? frame->getContainerWindow() : Reference<css::awt::XWindow>();
}

// A document loaded hidden gets no menu bar and no tool bars when its window is shown later; the
// usual ones of a new spreadsheet are put up here.
void showBars(const Reference<css::frame::XFrame>& frame) {
    const Reference<css::beans::XPropertySet> properties(frame, UNO_QUERY);
    if (!properties.is())
        return;
    Reference<css::frame::XLayoutManager> layout;
    properties->getPropertyValue(OUString("LayoutManager")) >>= layout;
    if (!layout.is())
        return;
    for (const char* bar : {"private:resource/menubar/menubar", "private:resource/toolbar/standardbar",
                            "private:resource/toolbar/formatobjectbar", "private:resource/toolbar/formulabar",
                            "private:resource/statusbar/statusbar"}) {
        const OUString name = OUString::createFromAscii(bar);
        layout->createElement(name);
        layout->showElement(name);
    }
    layout->setVisible(true);
    layout->doLayout();
}

// What goes into the formula array for a cell text: Calc reads it as typing would, so numbers
// become values. A text Calc would take as a formula, or whose leading apostrophe it would eat,
// gets the apostrophe that marks a literal text: no cell text is ever evaluated.
OUString literalFormula(const QString& text) {
    if (text.isEmpty())
        return OUString();
    const QChar first = text.at(0);
    bool literal = first == u'=' || first == u'\'' || first == u'@';
    if (!literal && (first == u'+' || first == u'-') && text.size() > 1) {
        // A signed number stays a number; anything else after a sign Calc would evaluate.
        bool number = false;
        QString(text).remove(u',').toDouble(&number);
        literal = !number;
    }
    return toOU(literal ? QStringLiteral("'") + text : text);
}

// Calc's number format code, in its English keywords, for a QDate/QTime format. Every character
// that is no field is quoted, so that no locale reads it as a separator of its own.
struct NumberFormat {
    QString code;
    bool usesLocaleTexts = false; // AM/PM or day and month names
};
NumberFormat numberFormat(const QString& form) {
    NumberFormat result;
    const auto literal = [&](const QString& text) {
        const QStringList parts = text.split(u'"');
        for (qsizetype p = 0; p < parts.size(); ++p) {
            if (p > 0)
                result.code += QStringLiteral("\\\""); // a double quote is escaped, never quoted
            if (!parts.at(p).isEmpty())
                result.code += QLatin1Char('"') + parts.at(p) + QLatin1Char('"');
        }
    };
    qsizetype i = 0;
    while (i < form.size()) {
        const QChar c = form.at(i);
        if (c == u'\'') {
            const qsizetype end = form.indexOf(u'\'', i + 1);
            const QString quoted = end < 0 ? form.mid(i + 1) : form.mid(i + 1, end - i - 1);
            literal(quoted.isEmpty() && end == i + 1 ? QStringLiteral("'") : quoted);
            i = end < 0 ? form.size() : end + 1;
            continue;
        }
        qsizetype run = 1;
        while (i + run < form.size() && form.at(i + run) == c)
            ++run;
        const auto repeat = [](char letter, qsizetype count) { return QString(count, QLatin1Char(letter)); };
        switch (c.unicode()) {
        case 'd':
            result.code +=
                run <= 2 ? repeat('D', run) : (run == 3 ? QStringLiteral("NN") : QStringLiteral("NNN"));
            result.usesLocaleTexts |= run > 2;
            break;
        case 'M':
            result.code += repeat('M', std::min<qsizetype>(run, 4));
            result.usesLocaleTexts |= run > 2;
            break;
        case 'y':
            result.code += run == 2 ? QStringLiteral("YY") : QStringLiteral("YYYY");
            break;
        case 'h':
        case 'H':
            result.code += repeat('H', std::min<qsizetype>(run, 2));
            break;
        case 'm':
            result.code += repeat('M', std::min<qsizetype>(run, 2));
            break;
        case 's':
            result.code += repeat('S', std::min<qsizetype>(run, 2));
            break;
        case 'A':
        case 'a':
            result.code += QStringLiteral("AM/PM");
            result.usesLocaleTexts = true;
            // "AP" and "ap" are one field.
            if (i + 1 < form.size() && (form.at(i + 1) == u'P' || form.at(i + 1) == u'p'))
                run = 2;
            else
                run = 1;
            break;
        default:
            literal(form.mid(i, run));
            break;
        }
        i += run;
    }
    return result;
}

css::lang::Locale unoLocale(const QLocale& locale) {
    css::lang::Locale result;
    const QStringList parts = locale.name().split(u'_');
    if (locale.language() == QLocale::C || parts.size() < 2) {
        result.Language = OUString("en");
        result.Country = OUString("US");
    } else {
        result.Language = toOU(parts.at(0));
        result.Country = toOU(parts.at(1));
    }
    return result;
}

// True when the office serving `pipe` runs in the processes we started at `root`. The user's
// office takes over our start request and serves the pipe itself; our start program then ends,
// though not always at once.
bool servesPipe(qint64 root, const QString& pipe) {
    if (root <= 0 || !processAlive(root))
        return false;
    // The sockets bound to the pipe's path: the one that listens and those it accepted.
    const QByteArray path = QStringLiteral("/tmp/OSL_PIPE_%1_%2").arg(::getuid()).arg(pipe).toUtf8();
    QFile table(QStringLiteral("/proc/net/unix"));
    if (!table.open(QIODevice::ReadOnly))
        return false;
    std::vector<QByteArray> sockets;
    for (const QByteArray& line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() >= 8 && fields.at(7) == path)
            sockets.push_back("socket:[" + fields.at(6) + "]");
    }
    for (qint64 process : processTree(root)) {
        const QString folder = QStringLiteral("/proc/%1/fd").arg(process);
        for (const QString& fd : QDir(folder).entryList(QDir::Files | QDir::System)) {
            char target[64] = {};
            const QByteArray link = (folder + QLatin1Char('/') + fd).toLocal8Bit();
            const ssize_t size = ::readlink(link.constData(), target, sizeof target - 1);
            if (size > 0 &&
                std::find(sockets.begin(), sockets.end(), QByteArray(target, size)) != sockets.end())
                return true;
        }
    }
    return false;
}

// True when an office listens on `pipe` already.
bool pipeListening(const QString& pipe) {
    const QByteArray path = QStringLiteral("/tmp/OSL_PIPE_%1_%2").arg(::getuid()).arg(pipe).toUtf8();
    QFile table(QStringLiteral("/proc/net/unix"));
    if (!table.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        // Flags 00010000: a socket that accepts connections.
        if (fields.size() >= 8 && fields.at(7) == path && fields.at(3) == "00010000")
            return true;
    }
    return false;
}

// Why the office may be ended: only an office we started ourselves that holds nothing. The user's
// office, which took over our start request, is never ended.
void endIfOurs(Connection& connection) {
    if (!servesPipe(connection.pid(), connection.pipe()))
        return;
    connection.call([&] {
        const auto desktop = css::frame::Desktop::create(connection.context());
        if (!desktop->getComponents()->createEnumeration()->hasMoreElements())
            desktop->terminate();
    });
}

// The office that the availability check started, kept for the export that follows it.
struct ParkedOffice {
    std::shared_ptr<Connection> connection;
    QString startedWith; // the settings it was started with
    int generation = 0;
};
constexpr int kParkedMs = 20000;

std::optional<ParkedOffice>& parkedOffice() {
    // Never destroyed: a remote reference must not be released after the program's end.
    static auto* parked = new std::optional<ParkedOffice>;
    return *parked;
}

QString settingsKey(const Settings& settings) {
    return QStringList{settings.program, settings.extraArguments.join(QLatin1Char('\n')), settings.pipeName,
                       QString::number(settings.startTimeoutMs), QString::number(settings.callTimeoutMs)}
        .join(QLatin1Char('\n'));
}

void endParked() {
    if (!parkedOffice())
        return;
    const ParkedOffice office = std::move(*parkedOffice());
    parkedOffice().reset();
    try {
        endIfOurs(*office.connection);
    } catch (...) {
        // Already gone.
    }
}

void park(std::shared_ptr<Connection> connection, const QString& startedWith) {
    static int generations = 0;
    static bool hooked = false;
    endParked();
    const int generation = ++generations;
    parkedOffice() = ParkedOffice{std::move(connection), startedWith, generation};
    if (!qApp)
        return;
    if (!hooked) {
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, [] { endParked(); });
        hooked = true;
    }
    QTimer::singleShot(kParkedMs, qApp, [generation] {
        if (parkedOffice() && parkedOffice()->generation == generation)
            endParked();
    });
}

// The office the check left, when it was started the same way and still answers.
std::shared_ptr<Connection> takeParked(const QString& startedWith) {
    if (!parkedOffice())
        return {};
    ParkedOffice office = std::move(*parkedOffice());
    parkedOffice().reset();
    if (office.startedWith != startedWith) {
        parkedOffice() = std::move(office);
        endParked();
        return {};
    }
    try {
        office.connection->call([&] { css::frame::Desktop::create(office.connection->context()); });
    } catch (...) {
        return {};
    }
    return office.connection;
}

class CalcApplication : public SpreadsheetApplication {
public:
    CalcApplication(std::shared_ptr<Connection> connection, QString startedWith)
        : m_connection(std::move(connection)), m_startedWith(std::move(startedWith)) {
        m_desktop = m_connection->call([&] { return css::frame::Desktop::create(m_connection->context()); });
    }

    ~CalcApplication() override {
        try {
            release();
        } catch (...) {
            // Releasing never fails the handler; the office keeps what it has.
        }
    }

    void addWorkbook() override {
        m_connection->call([&] {
            Reference<css::frame::XComponentLoader> loader(m_desktop, UNO_QUERY_THROW);
            // Hidden while it fills: drawing each block would slow the export down.
            css::beans::PropertyValue hidden;
            hidden.Name = OUString("Hidden");
            hidden.Value <<= true;
            const auto component =
                loader->loadComponentFromURL(OUString("private:factory/scalc"), OUString("_blank"), 0,
                                             Sequence<css::beans::PropertyValue>(&hidden, 1));
            Reference<css::sheet::XSpreadsheetDocument> document(component, UNO_QUERY_THROW);
            Reference<css::container::XIndexAccess> sheets(document->getSheets(), UNO_QUERY_THROW);
            m_model.set(component, UNO_QUERY_THROW);
            m_sheet.set(sheets->getByIndex(0), UNO_QUERY_THROW);
        });
        m_block.clear();
        m_blockFormats.clear();
        m_blockTexts.clear();
        m_formatKeys.clear();
        m_blockFirstRow = 0;
        m_writtenThrough = 0;
        m_usedColumns = 0;
    }

    void setCell(int row, int column, const QString& text) override {
        put(row, column, literalFormula(text), {});
    }

    // A formula cell would be read as typed: text cells go in as data after their block.
    void setText(int row, int column, const QString& text) override {
        requireSheet();
        if (row >= 1 && row <= m_writtenThrough && column >= 1) {
            m_connection->call([&] { writeTexts({TextCell{row, column, toOU(text)}}); });
            return;
        }
        put(row, column, OUString(), {});
        m_blockTexts.push_back({row, column, toOU(text)});
    }

    // Dates and times go in as ISO texts: Calc reads what the API hands it with English (US) rules
    // whatever the locale, so a day-first date would turn into another day or stay text.
    void setDate(int row, int column, const QDate& date, const QString& form) override {
        put(row, column, toOU(date.toString(Qt::ISODate)), numberFormat(form));
    }
    void setTime(int row, int column, const QTime& time, const QString& form) override {
        put(row, column, toOU(time.toString(QStringLiteral("HH:mm:ss"))), numberFormat(form));
    }
    // A fraction of a day, as Calc keeps times; written with the English decimal point it reads.
    void setDuration(int row, int column, long long minutes) override {
        put(row, column, toOU(QString::number(static_cast<double>(minutes) / (24 * 60), 'g', 17)),
            NumberFormat{QStringLiteral("[HH]:MM"), false});
    }
    void setNumber(int row, int column, double value, int decimals) override {
        const QString places =
            decimals > 0 ? QStringLiteral(".") + QString(decimals, QLatin1Char('0')) : QString();
        // Converted to the list's locale, so that the sheet shows its decimal sign.
        put(row, column, toOU(QString::number(value, 'g', 17)),
            NumberFormat{QStringLiteral("0") + places, decimals > 0});
    }

    void autoFitColumns() override {
        requireSheet();
        flush();
        if (m_usedColumns == 0)
            return;
        m_connection->call([&] {
            Reference<css::table::XColumnRowRange> range(
                m_sheet->getCellRangeByPosition(0, 0, m_usedColumns - 1, 0), UNO_QUERY_THROW);
            Reference<css::beans::XPropertySet> columns(range->getColumns(), UNO_QUERY_THROW);
            columns->setPropertyValue(OUString("OptimalWidth"), css::uno::Any(true));
        });
    }

    void setVisible() override {
        if (!m_model.is())
            return; // nothing to show: the office has no window without a document
        flush();
        m_connection->call([&] {
            const auto window = containerWindow(m_model);
            if (!window.is())
                throw std::runtime_error("The workbook has no window.");
            window->setVisible(true);
            showBars(m_model->getCurrentController()->getFrame());
            const Reference<css::awt::XTopWindow> top(window, UNO_QUERY);
            if (top.is())
                top->toFront();
            m_model->getCurrentController()->getFrame()->activate();
        });
        m_shown = true;
    }

private:
    static constexpr int kBlockRows = 512;
    static constexpr sal_Int16 kFirstSheet = 0; // the sheet the cells go to

    struct TextCell {
        int row;
        int column;
        OUString text;
    };

    struct FormattedCell {
        int row;
        int column;
        NumberFormat format;
    };

    void requireSheet() const {
        if (!m_sheet.is())
            throw std::runtime_error("No workbook is open in LibreOffice Calc.");
    }

    // Rows go to the office in blocks of one array call each; a row whose block has gone out
    // already is written one cell at a time.
    void put(int row, int column, const OUString& formula, const NumberFormat& format) {
        requireSheet();
        if (row < 1 || column < 1)
            throw std::runtime_error("The cell address is outside the sheet.");
        if (row <= m_writtenThrough) {
            m_connection->call([&] {
                Reference<css::sheet::XCellRangeFormula> cell(
                    m_sheet->getCellRangeByPosition(column - 1, row - 1, column - 1, row - 1),
                    UNO_QUERY_THROW);
                const Sequence<OUString> line(&formula, 1);
                cell->setFormulaArray(Sequence<Sequence<OUString>>(&line, 1));
                if (!format.code.isEmpty())
                    applyFormats({FormattedCell{row, column, format}});
            });
            return;
        }
        if (m_blockFirstRow != 0 && row >= m_blockFirstRow + kBlockRows)
            flush();
        if (m_blockFirstRow == 0)
            m_blockFirstRow = row;
        const size_t index = static_cast<size_t>(row - m_blockFirstRow);
        if (m_block.size() <= index)
            m_block.resize(index + 1);
        auto& cells = m_block[index];
        if (cells.size() < static_cast<size_t>(column))
            cells.resize(static_cast<size_t>(column));
        cells[static_cast<size_t>(column - 1)] = formula;
        if (!format.code.isEmpty())
            m_blockFormats.push_back({row, column, format});
        m_usedColumns = std::max(m_usedColumns, column);
    }

    // One array call for the whole block of rows, then one call per number format.
    void flush() {
        if (m_block.empty())
            return;
        std::vector<std::vector<OUString>> block;
        block.swap(m_block);
        std::vector<FormattedCell> formats;
        formats.swap(m_blockFormats);
        std::vector<TextCell> texts;
        texts.swap(m_blockTexts);
        const int first = m_blockFirstRow;
        m_blockFirstRow = 0;
        m_writtenThrough = first + static_cast<int>(block.size()) - 1;
        size_t width = 0;
        for (const auto& cells : block)
            width = std::max(width, cells.size());
        if (width == 0)
            return;
        Sequence<Sequence<OUString>> data(static_cast<sal_Int32>(block.size()));
        auto* rows = data.getArray();
        for (size_t r = 0; r < block.size(); ++r) {
            Sequence<OUString> row(static_cast<sal_Int32>(width));
            auto* cells = row.getArray();
            for (size_t c = 0; c < block[r].size(); ++c)
                cells[c] = block[r][c];
            rows[r] = row;
        }
        m_connection->call([&] {
            Reference<css::sheet::XCellRangeFormula> range(
                m_sheet->getCellRangeByPosition(0, first - 1, static_cast<sal_Int32>(width) - 1,
                                                first - 1 + static_cast<sal_Int32>(block.size()) - 1),
                UNO_QUERY_THROW);
            range->setFormulaArray(data);
            applyFormats(formats);
            writeTexts(std::move(texts));
        });
    }

    // Runs inside a call. Cells of a column on consecutive rows go as one range; data cells never
    // turn a text into a value.
    void writeTexts(std::vector<TextCell> cells) {
        std::sort(cells.begin(), cells.end(), [](const TextCell& a, const TextCell& b) {
            return std::tie(a.column, a.row) < std::tie(b.column, b.row);
        });
        size_t i = 0;
        while (i < cells.size()) {
            size_t end = i + 1;
            while (end < cells.size() && cells[end].column == cells[i].column &&
                   cells[end].row == cells[end - 1].row + 1)
                ++end;
            Sequence<Sequence<css::uno::Any>> data(static_cast<sal_Int32>(end - i));
            auto* rows = data.getArray();
            for (size_t k = i; k < end; ++k) {
                const css::uno::Any text(cells[k].text);
                rows[k - i] = Sequence<css::uno::Any>(&text, 1);
            }
            Reference<css::sheet::XCellRangeData> range(
                m_sheet->getCellRangeByPosition(cells[i].column - 1, cells[i].row - 1, cells[i].column - 1,
                                                cells[end - 1].row - 1),
                UNO_QUERY_THROW);
            range->setDataArray(data);
            i = end;
        }
    }

    // Runs inside a call. Cells of one format are joined into column runs and formatted at once.
    void applyFormats(std::vector<FormattedCell> cells) {
        if (cells.empty())
            return;
        std::sort(cells.begin(), cells.end(), [](const FormattedCell& a, const FormattedCell& b) {
            return std::tie(a.format.code, a.column, a.row) < std::tie(b.format.code, b.column, b.row);
        });
        const Reference<css::lang::XMultiServiceFactory> factory(m_model, UNO_QUERY_THROW);
        size_t i = 0;
        while (i < cells.size()) {
            const NumberFormat format = cells[i].format;
            std::vector<css::table::CellRangeAddress> ranges;
            for (; i < cells.size() && cells[i].format.code == format.code; ++i) {
                const sal_Int32 column = cells[i].column - 1;
                const sal_Int32 row = cells[i].row - 1;
                if (!ranges.empty() && ranges.back().StartColumn == column &&
                    ranges.back().EndRow + 1 == row) {
                    ranges.back().EndRow = row;
                    continue;
                }
                ranges.push_back(css::table::CellRangeAddress(kFirstSheet, column, row, column, row));
            }
            Reference<css::sheet::XSheetCellRangeContainer> container(
                factory->createInstance(OUString("com.sun.star.sheet.SheetCellRanges")), UNO_QUERY_THROW);
            container->addRangeAddresses(
                Sequence<css::table::CellRangeAddress>(ranges.data(), static_cast<sal_Int32>(ranges.size())),
                false);
            Reference<css::beans::XPropertySet>(container, UNO_QUERY_THROW)
                ->setPropertyValue(OUString("NumberFormat"), css::uno::Any(formatKey(format)));
        }
    }

    // Runs inside a call. The key of the workbook's number format.
    sal_Int32 formatKey(const NumberFormat& format) {
        if (const auto found = m_formatKeys.find(format.code); found != m_formatKeys.end())
            return found->second;
        const Reference<css::util::XNumberFormatsSupplier> supplier(m_model, UNO_QUERY_THROW);
        const auto formats = supplier->getNumberFormats();
        css::lang::Locale english;
        english.Language = OUString("en");
        english.Country = OUString("US");
        const OUString code = toOU(format.code);
        sal_Int32 key = -1;
        // AM/PM and names in the language of the list; everything else reads the same anywhere.
        const css::lang::Locale local = unoLocale(QLocale());
        if (format.usesLocaleTexts && local.Language != english.Language) {
            try {
                key = formats->addNewConverted(code, english, local);
            } catch (const css::uno::Exception&) {
                key = -1; // a locale the office does not know: English texts then
            }
        }
        if (key < 0) {
            key = formats->queryKey(code, english, false);
            if (key < 0)
                key = formats->addNew(code, english);
        }
        m_formatKeys.emplace(format.code, key);
        return key;
    }

    // A workbook that never reached the screen is closed again, and an office started for us alone
    // that now holds nothing else is ended (see endIfOurs). An application that was only started,
    // as the availability check does, is kept for a moment instead: the export that follows the
    // check takes it over rather than waiting for a second start.
    void release() {
        if (m_shown || m_connection->givenUp())
            return;
        if (!m_model.is()) {
            m_desktop.clear();
            park(m_connection, m_startedWith);
            return;
        }
        m_connection->call([&] {
            const Reference<css::util::XCloseable> closeable(m_model, UNO_QUERY);
            if (closeable.is())
                closeable->close(true);
        });
        m_model.clear();
        m_sheet.clear();
        endIfOurs(*m_connection);
    }

    std::shared_ptr<Connection> m_connection;
    QString m_startedWith;
    Reference<css::frame::XDesktop2> m_desktop;
    Reference<css::frame::XModel> m_model;
    Reference<css::sheet::XSpreadsheet> m_sheet;
    bool m_shown = false;
    std::vector<std::vector<OUString>> m_block; // rows from m_blockFirstRow on, not yet sent
    std::vector<TextCell> m_blockTexts;         // its text cells, written after it
    std::vector<FormattedCell> m_blockFormats;  // their dates, times and numbers
    std::map<QString, sal_Int32> m_formatKeys;  // number formats made in this workbook, by code
    int m_blockFirstRow = 0;
    int m_writtenThrough = 0;
    int m_usedColumns = 0;
};

class OfficeModule final : public Module {
public:
    std::unique_ptr<SpreadsheetApplication> startCalc(const Settings& settings) override {
        const QString startedWith = settingsKey(settings);
        localContext();
        if (auto parked = takeParked(startedWith))
            return std::make_unique<CalcApplication>(std::move(parked), startedWith);
        const QString pipe = settings.pipeName.isEmpty() ? newPipeName() : settings.pipeName;
        // An office that serves a fixed pipe already is used as it is: started once more with the
        // same pipe, it would set up its acceptor anew, which can drop the connection just made.
        const qint64 pid = pipeListening(pipe) ? 0 : startOffice(settings, pipe);
        return std::make_unique<CalcApplication>(Connection::open(pipe, settings, pid), startedWith);
    }
};

} // namespace

} // namespace LibreOffice

extern "C" Q_DECL_EXPORT LibreOffice::Module* tallyclockOfficeModule(int version) {
    static LibreOffice::OfficeModule module;
    return version == LibreOffice::kModuleVersion ? &module : nullptr;
}
