// Measures the program's handlers on a large workplace and prints one table of medians beside
// their targets. Run through `make bench` (Release build, offscreen platform).

#include "Workplace.h"

#include "core/Form1.h"
#include "core/Globals.h"
#include "core/Main.h"
#include "data/AttendanceDatabase.h"
#include "platform/ListView.h"
#include "platform/MessageBox.h"
#include "platform/SystemClock.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProcess>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTextStream>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

double median(std::vector<double> values) {
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2.0;
}

double timeMs(const std::function<void()>& work) {
    QElapsedTimer timer;
    timer.start();
    work();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

std::vector<double> repeat(int times, const std::function<void()>& work) {
    std::vector<double> samples;
    for (int i = 0; i < times; ++i)
        samples.push_back(timeMs(work));
    return samples;
}

long residentKb(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(static_cast<int>(qstrlen(field))).trimmed().split(' ').first().toLong();
    }
    return 0;
}

void waitExposed(QWidget& window) {
    window.show();
    while (!window.windowHandle() || !window.windowHandle()->isExposed())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QCoreApplication::processEvents();
}

// Child processes for the start-up figures: each prints READY once its window is on screen.
int runChild(const QString& mode, int argc, char** argv) {
    QApplication app(argc, argv);
    if (mode == QLatin1String("--child-bare")) {
        QWidget window;
        window.resize(536, 541);
        waitExposed(window);
    } else {
        Form1 window;
        window.Form_Load();
        waitExposed(window);
        if (window.ListView1->columnCount() != 8)
            return 2;
    }
    std::fputs("READY\n", stdout);
    std::fflush(stdout);
    return 0;
}

double startProcessMs(const QString& program, const QStringList& arguments) {
    QProcess child;
    child.setProcessChannelMode(QProcess::SeparateChannels);
    QElapsedTimer timer;
    timer.start();
    child.start(program, arguments);
    while (child.state() != QProcess::NotRunning || child.bytesAvailable() > 0) {
        child.waitForReadyRead(50);
        if (child.readAll().contains("READY"))
            break;
        if (timer.elapsed() > 60000)
            break;
    }
    const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    child.waitForFinished(10000);
    return ms;
}

double toolMs(const QString& shellCommand) {
    QProcess shell;
    QElapsedTimer timer;
    timer.start();
    shell.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), shellCommand});
    shell.waitForFinished(-1);
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

struct Row {
    QString measure;
    QString value;
    QString target;
    bool met;
};

void printTable(const std::vector<Row>& rows) {
    QTextStream out(stdout);
    out << "\n| measure | median | target | met |\n|---|---|---|---|\n";
    for (const Row& row : rows)
        out << "| " << row.measure << " | " << row.value << " | " << row.target << " | "
            << (row.met ? "yes" : "NO") << " |\n";
    out.flush();
}

QString ms(double value) {
    return QString::number(value, 'f', value < 10 ? 2 : 0) + QStringLiteral(" ms");
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && (qstrcmp(argv[1], "--child-bare") == 0 || qstrcmp(argv[1], "--child-program") == 0))
        return runChild(QString::fromLatin1(argv[1]), argc, argv);

    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    MessageBox::setResponder([](const MessageBox::Shown& shown) {
        if (shown.kind == MessageBox::Kind::Error)
            std::fprintf(stderr, "error box: %s\n", qPrintable(shown.text));
        return false;
    });

    const QString workDir = QCoreApplication::applicationDirPath() + QStringLiteral("/bench-data");
    QDir().mkpath(workDir + QStringLiteral("/Quillmark/Tallyclock Suite"));
    qputenv("TALLYCLOCK_COMMON_APPDATA", workDir.toUtf8());
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    const QString database = workDir + QStringLiteral("/Quillmark/Tallyclock Suite/dbData.mdb");
    const QDate today = QDate::currentDate();

    std::fprintf(stderr, "generating the workplace (not measured)...\n");
    const WorkplaceSize size;
    QElapsedTimer generation;
    generation.start();
    const QString busiest =
        generateWorkplace(Main::programFolder() + QStringLiteral("/dbBlank.mdb"), database, size, today);
    std::fprintf(stderr, "workplace ready in %.1f s\n", static_cast<double>(generation.elapsed()) / 1000.0);

    std::vector<Row> rows;

    // Start-up, against a bare Qt window started the same way.
    const QString self = QCoreApplication::applicationFilePath();
    std::vector<double> bare;
    std::vector<double> program;
    for (int i = 0; i < 7; ++i) {
        bare.push_back(startProcessMs(self, {QStringLiteral("--child-bare")}));
        program.push_back(startProcessMs(self, {QStringLiteral("--child-program")}));
    }
    const double bareMs = median(bare);
    const double programMs = median(program);
    rows.push_back({QStringLiteral("bare Qt window start"), ms(bareMs), QStringLiteral("reference"), true});
    rows.push_back({QStringLiteral("start-up to window shown, today's list filled"), ms(programMs),
                    QStringLiteral("<= 1.5 x bare (%1)").arg(ms(1.5 * bareMs)), programMs <= 1.5 * bareMs});

    Form1 window;
    window.Form_Load();
    window.show();
    QCoreApplication::processEvents();

    const double refreshMs = median(repeat(50, [&] { window.listLogins(); }));
    rows.push_back({QStringLiteral("today's list refresh (%1 rows)").arg(window.ListView1->rowCount()),
                    ms(refreshMs), QStringLiteral("<= 2 ms"), refreshMs <= 2.0});

    std::vector<double> punches;
    for (int i = 0; i < 40; ++i) {
        (i % 2 == 0 ? window.Option1 : window.Option2)->click();
        window.Text1->setText(busiest);
        window.Text2->setText(QStringLiteral("pw1"));
        punches.push_back(timeMs([&] { window.PushButton1_Click(); }));
    }
    const double punchMs = median(punches);
    rows.push_back({QStringLiteral("punch in or out, click to list refreshed"), ms(punchMs),
                    QStringLiteral("<= 5 ms"), punchMs <= 5.0});

    printTable(rows);
    std::printf("\n(generated: %d persons, %d records over %d years, %d today; database %s)\n", size.persons,
                size.records, size.years, size.today, qPrintable(database));
    window.close();
    return 0;
}
