// One punch terminal without a screen: the real main window on the offscreen platform, punching
// persons in and out at random through its own punch handler, as a person at the clock would.
// Several of them run at once against one database in the concurrency tests and the benchmark.
//
//   tallyclock-punch-terminal --terminal W --persons N [--punches K] [--seconds S] [--random-start R]
//                             [--unique-times] [--kind in|out|random] [--pause MS]
//
// The database is the one the window opens (TALLYCLOCK_COMMON_APPDATA, TALLYCLOCK_DATABASE_URL).
// Persons P0 ... P(N-1), password "pw", must exist. The terminal prints READY once its window is
// loaded, waits for a line on standard input, then punches until K punches or S seconds are done.
// After each click returns it prints one line of TAB-separated fields, flushed at once, so that a
// punch it printed is one the terminal acknowledged:
//
//   <terminal> <person> <in|out> <date shown> <time shown> <microseconds> <outcome>
//
// outcome: written (no box), already-in, not-yet-in (the refusals), or "error " and the text of
// the error box. With --unique-times every punch of every terminal carries its own clock time
// (terminal W's punch i at minute W * K + i of Terminals::firstMinute()'s day), so a stored time
// tells which punch wrote it; K * terminals must stay within the 1440 minutes of a day. With --pause
// the terminal waits a random 0 to 2 x MS milliseconds before each punch, as people arrive one by one.

#include "Terminals.h"
#include "core/Globals.h"
#include "core/MainWindow.h"
#include "credentials/Credentials.h"
#include "journal/Journal.h"
#include "platform/MessageBox.h"
#include "platform/PushButton.h"
#include "platform/SystemClock.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QRadioButton>
#include <QThread>
#include <cstdio>
#include <iostream>
#include <random>
#include <string>
#include <vector>

namespace {

QString oneLine(QString text) {
    // The server's messages break their lines with tabs as well.
    for (const char c : {'\r', '\n', '\t'})
        text.replace(QLatin1Char(c), QLatin1Char(' '));
    return text;
}

// What the boxes of one click say about its outcome.
QString outcomeOf(const std::vector<MessageBox::Shown>& boxes) {
    for (const MessageBox::Shown& box : boxes)
        if (box.kind == MessageBox::Kind::Error)
            return QStringLiteral("error ") + oneLine(box.text);
    for (const MessageBox::Shown& box : boxes) {
        if (box.text == OfflinePunching::kSavedHere)
            return QStringLiteral("saved-here");
        if (box.text.endsWith(QLatin1String(" already logged in.")))
            return QStringLiteral("already-in");
        if (box.text.endsWith(QLatin1String(" has not yet logged in.")))
            return QStringLiteral("not-yet-in");
    }
    if (!boxes.empty())
        return QStringLiteral("error unexpected box: ") + oneLine(boxes.front().text);
    return QStringLiteral("written");
}

void printLine(const QString& line) {
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    Credentials::handToData();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Quillmark"));
    // Clock texts in a known form, whatever the machine's locale.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));

    QCommandLineParser parser;
    const QCommandLineOption terminalOption(QStringLiteral("terminal"), QStringLiteral("number"),
                                            QStringLiteral("W"));
    const QCommandLineOption personsOption(QStringLiteral("persons"), QStringLiteral("persons"),
                                           QStringLiteral("N"));
    const QCommandLineOption punchesOption(QStringLiteral("punches"), QStringLiteral("most punches"),
                                           QStringLiteral("K"), QStringLiteral("0"));
    const QCommandLineOption secondsOption(QStringLiteral("seconds"), QStringLiteral("most seconds"),
                                           QStringLiteral("S"), QStringLiteral("0"));
    const QCommandLineOption startOption(QStringLiteral("random-start"),
                                         QStringLiteral("where the random punches start"),
                                         QStringLiteral("R"), QStringLiteral("1"));
    const QCommandLineOption uniqueOption(QStringLiteral("unique-times"),
                                          QStringLiteral("own time per punch"));
    const QCommandLineOption kindOption(QStringLiteral("kind"), QStringLiteral("in, out or random"),
                                        QStringLiteral("KIND"), QStringLiteral("random"));
    const QCommandLineOption pauseOption(QStringLiteral("pause"), QStringLiteral("mean pause before a punch"),
                                         QStringLiteral("MS"), QStringLiteral("0"));
    parser.addOptions({terminalOption, personsOption, punchesOption, secondsOption, startOption, uniqueOption,
                       kindOption, pauseOption});
    parser.process(app);
    const int terminal = parser.value(terminalOption).toInt();
    const int persons = parser.value(personsOption).toInt();
    const int punches = parser.value(punchesOption).toInt();
    const double seconds = parser.value(secondsOption).toDouble();
    const bool uniqueTimes = parser.isSet(uniqueOption);
    const int pauseMs = parser.value(pauseOption).toInt();
    if (persons <= 0 || (punches <= 0 && seconds <= 0) ||
        (uniqueTimes && (punches <= 0 || (terminal + 1) * punches > 24 * 60))) {
        std::fputs(
            "tallyclock-punch-terminal: needs --persons, and --punches or --seconds; with --unique-times "
            "--punches, within one day's minutes\n",
            stderr);
        return 2;
    }

    std::vector<MessageBox::Shown> boxes;
    MessageBox::setResponder([&boxes](const MessageBox::Shown& shown) {
        boxes.push_back(shown);
        return false;
    });

    const QDateTime firstMinute = Terminals::firstMinute();
    if (uniqueTimes)
        SystemClock::setFixed(firstMinute);
    MainWindow form;
    form.start();
    if (!boxes.empty()) {
        printLine(QStringLiteral("LOAD-FAILED ") + oneLine(boxes.front().text));
        return 1;
    }
    printLine(QStringLiteral("READY"));
    std::string go;
    std::getline(std::cin, go);

    std::mt19937 random(
        static_cast<unsigned>(parser.value(startOption).toUInt() * 7919u + static_cast<unsigned>(terminal)));
    QElapsedTimer running;
    running.start();
    for (int i = 0; punches <= 0 || i < punches; ++i) {
        if (pauseMs > 0)
            QThread::msleep(random() % static_cast<unsigned>(2 * pauseMs + 1));
        if (seconds > 0 && static_cast<double>(running.elapsed()) >= seconds * 1000.0)
            break;
        if (uniqueTimes)
            SystemClock::setFixed(firstMinute.addSecs(60LL * (terminal * punches + i)));
        form.tick();
        const int person = static_cast<int>(random() % static_cast<unsigned>(persons));
        const QString kind = parser.value(kindOption);
        const bool in = kind == QLatin1String("random") ? random() % 2 == 0 : kind == QLatin1String("in");
        (in ? form.findChild<QRadioButton*>(QStringLiteral("timeInOption"))
            : form.findChild<QRadioButton*>(QStringLiteral("timeOutOption")))
            ->click();
        form.findChild<QLineEdit*>(QStringLiteral("numberBox"))->setText(QStringLiteral("P%1").arg(person));
        form.findChild<QLineEdit*>(QStringLiteral("passwordBox"))->setText(QStringLiteral("pw"));
        boxes.clear();
        QElapsedTimer click;
        click.start();
        form.findChild<PushButton*>(QStringLiteral("punchButton"))->click();
        const qint64 micros = click.nsecsElapsed() / 1000;
        const QStringList fields{QString::number(terminal),
                                 QStringLiteral("P%1").arg(person),
                                 in ? QStringLiteral("in") : QStringLiteral("out"),
                                 form.findChild<QLabel*>(QStringLiteral("dateLabel"))->text(),
                                 form.findChild<QLabel*>(QStringLiteral("timeLabel"))->text(),
                                 QString::number(micros),
                                 outcomeOf(boxes)};
        printLine(fields.join(QLatin1Char('\t')));
        // What the background delivery reports reaches the window between punches, as it would.
        QCoreApplication::processEvents();
    }
    // A terminal on a server stays until its journal is delivered (or half a minute has passed), as
    // one left running would; the offline line empties then.
    if (const auto* offline = form.findChild<QLabel*>(QStringLiteral("offlineLabel"))) {
        QElapsedTimer draining;
        draining.start();
        while (!offline->text().isEmpty() && draining.elapsed() < 30000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
            QThread::msleep(50);
        }
    }
    form.releaseDatabase();
    return 0;
}
