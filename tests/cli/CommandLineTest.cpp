#include "cli/CommandLine.h"
#include "cli/Verb.h"
#include "common/TestSupport.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

namespace {

using Run = TestSupport::CommandLineRun;

// A verb of our own that prints what it was given, so the parser is tested apart from the
// program's verbs; "fail" as its name makes it fail the way the database layer does.
const std::vector<CommandLine::Verb>& testVerbs() {
    static const std::vector<CommandLine::Verb> verbs{
        {QStringLiteral("greet"),
         {QStringLiteral("NAME")},
         {{QStringLiteral("times"), QStringLiteral("N"), QStringLiteral("how often")},
          {QStringLiteral("loud"), QString(), QStringLiteral("shout")}},
         QStringLiteral("Greet someone"),
         QString(),
         [](const CommandLine::Invocation& call) {
             if (call.argument(0) == QLatin1String("fail"))
                 throw std::runtime_error("The attendance database could not be read: gone");
             call.out() << call.argument(0)
                        << " times=" << call.value(QStringLiteral("times"), QStringLiteral("1"))
                        << (call.has(QStringLiteral("loud")) ? " loud" : "") << '\n';
             return 0;
         }}};
    return verbs;
}

Run runCommandLine(const QStringList& arguments) {
    return TestSupport::runCommandLine(arguments, testVerbs());
}

} // namespace

class CommandLineTest : public QObject {
    Q_OBJECT

private slots:
    void arguments_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        const auto row = [](const char* name, const QStringList& arguments, int code, const char* out,
                            const char* err) {
            QTest::newRow(name) << arguments << code << QString::fromUtf8(out) << QString::fromUtf8(err);
        };
        row("help", {"--help"}, 0, "  greet NAME [options]  Greet someone\n", "");
        row("short help", {"-h"}, 0, "Without arguments the punch clock window starts.", "");
        row("verb help", {"greet", "--help"}, 0, "Usage: tallyclock-suite greet NAME [options]", "");
        row("verb help lists options", {"greet", "-h"}, 0, "--times N", "");
        row("plain", {"greet", "Ann"}, 0, "Ann times=1\n", "");
        row("value after =", {"greet", "--times=3", "Ann"}, 0, "Ann times=3\n", "");
        row("value as next argument", {"greet", "Ann", "--times", "3", "--loud"}, 0, "Ann times=3 loud\n",
            "");
        row("empty value", {"greet", "Ann", "--times="}, 0, "Ann times=\n", "");
        row("after --, dashes are arguments", {"greet", "--", "--loud"}, 0, "--loud times=1\n", "");
        row("lone dash is an argument", {"greet", "-"}, 0, "- times=1\n", "");
        row("no verb", {}, 2, "", "tallyclock-suite: a verb is missing\n");
        row("unknown verb", {"frobnicate"}, 2, "", "tallyclock-suite: unknown verb 'frobnicate'\n");
        row("unknown option", {"--frob"}, 2, "", "unknown option '--frob'");
        row("missing argument", {"greet"}, 2, "", "greet: missing argument NAME");
        row("extra argument", {"greet", "Ann", "Bob"}, 2, "", "greet: unexpected argument 'Bob'");
        row("unknown verb option", {"greet", "--nope", "Ann"}, 2, "", "greet: unknown option '--nope'");
        row("unknown short option", {"greet", "-x", "Ann"}, 2, "", "greet: unknown option '-x'");
        row("option without its value", {"greet", "Ann", "--times"}, 2, "",
            "greet: option '--times' needs a value (N)");
        row("switch with a value", {"greet", "Ann", "--loud=yes"}, 2, "",
            "greet: option '--loud' takes no value");
        row("option twice", {"greet", "--times=1", "--times", "2", "Ann"}, 2, "",
            "greet: option '--times' given twice");
        row("database failure", {"greet", "fail"}, 1, "",
            "tallyclock-suite: The attendance database could not be read: gone\n");
    }

    // Exit code 0 / 1 / 2, the help and results on standard output, the message on standard error
    // naming the argument at fault; nothing of a failed run on standard output.
    void arguments() {
        QFETCH(QStringList, arguments);
        QFETCH(int, code);
        QFETCH(QString, out);
        QFETCH(QString, err);
        const Run run = runCommandLine(arguments);
        QCOMPARE(run.code, code);
        QVERIFY2(run.out.contains(out), qPrintable(run.out));
        QVERIFY2(run.err.contains(err), qPrintable(run.err));
        if (code == 0)
            QVERIFY(run.err.isEmpty());
        else
            QVERIFY(run.out.isEmpty());
        QCOMPARE(run.err.contains(QLatin1String("Try 'tallyclock-suite --help'.")), code == 2);
    }

    // The program itself takes a command line without any display to talk to.
    void programRunsWithoutDisplay() {
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(QString::fromLatin1(name));
        program.setProcessEnvironment(environment);
        const QString path = QCoreApplication::applicationDirPath() + QStringLiteral("/tallyclock-suite");
        program.start(path, {QStringLiteral("--version")});
        QVERIFY(program.waitForFinished(30000));
        QCOMPARE(program.exitCode(), 0);
        const QString version = QString::fromUtf8(program.readAllStandardOutput());
        QVERIFY2(QRegularExpression(QStringLiteral("^Tallyclock Suite \\d+\\.\\d+\\.\\d+\n$"))
                     .match(version)
                     .hasMatch(),
                 qPrintable(version));
        program.start(path, {QStringLiteral("no-such-verb")});
        QVERIFY(program.waitForFinished(30000));
        QCOMPARE(program.exitCode(), 2);
    }

    // Output that could not be written (a full disk) fails the verb, with the reason on standard error.
    void fullDiskFailsTheVerb_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("hours") << QStringList{QStringLiteral("hours")};
        QTest::newRow("records as CSV") << QStringList{QStringLiteral("records"), QStringLiteral("--csv")};
        QTest::newRow("backup") << QStringList{QStringLiteral("backup")};
    }

    void fullDiskFailsTheVerb() {
        QFETCH(QStringList, arguments);
        TestSupport::CommonFolder common;
        TestSupport::copyTemplateTo(common.database());
        QProcess program;
        program.setStandardOutputFile(QStringLiteral("/dev/full"));
        program.start(QCoreApplication::applicationDirPath() + QStringLiteral("/tallyclock-suite"),
                      arguments);
        QVERIFY(program.waitForFinished(30000));
        const QString err = QString::fromUtf8(program.readAllStandardError());
        QCOMPARE(program.exitCode(), 1);
        QVERIFY2(err.contains(QStringLiteral("tallyclock-suite: the output could not be written: ")),
                 qPrintable(err));
    }
};

TALLYCLOCK_TEST(CommandLineTest)
#include "CommandLineTest.moc"
