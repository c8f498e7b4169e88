#include "OfficeFixture.h"
#include "OfficeProbe.h"
#include "common/TestSupport.h"
#include "platform/Spreadsheet.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <stdexcept>

using LibreOffice::Cell;

// The LibreOffice stand-in against a real (headless) office: what lands in the cells, the blocks,
// releasing, and the start deadline.
class LibreOfficeTest : public QObject {
    Q_OBJECT
private:
    LibreOffice::SheetContent onlySheet() {
        const auto sheets = OfficeFixture::probe().spreadsheets();
        if (sheets.size() != 1)
            throw std::runtime_error("expected one open spreadsheet, found " + std::to_string(sheets.size()));
        return sheets.front();
    }

private slots:
    void init() {
        LibreOffice::setSettings({});
        Spreadsheet::setStarter({});
    }
    void cleanup() {
        LibreOffice::setSettings({});
        if (OfficeFixture::unavailableReason().isEmpty())
            OfficeFixture::withProbe([](LibreOffice::Probe& office) { office.closeDocuments(); });
    }

    void textsConvertAsTypedButNeverAsFormulas() {
        REQUIRE_OFFICE();
        OfficeFixture::useForExports();
        {
            auto calc = Spreadsheet::start();
            calc->addWorkbook();
            const QStringList texts{
                QStringLiteral("=1+1"),      QStringLiteral("+5"),      QStringLiteral("-5"),
                QStringLiteral("-a"),        QStringLiteral("@SUM"),    QStringLiteral("'quoted"),
                QStringLiteral("8/31/2021"), QStringLiteral("8:05 AM"), QStringLiteral("007"),
                QStringLiteral("plain"),     QStringLiteral("+1-2"),    QStringLiteral("Ünïcode ✓")};
            for (int i = 0; i < texts.size(); ++i)
                calc->setCell(1, i + 1, texts.at(i));
            calc->autoFitColumns();
            calc->setVisible();
        }
        const auto sheet = onlySheet();
        auto expectText = [&](int column, const QString& text) {
            QCOMPARE(sheet.at(1, column).type, Cell::Type::Text);
            QCOMPARE(sheet.at(1, column).string, text);
        };
        auto expectValue = [&](int column, const QString& shown) {
            QCOMPARE(sheet.at(1, column).type, Cell::Type::Value);
            QCOMPARE(sheet.at(1, column).string, shown);
        };
        expectText(1, QStringLiteral("=1+1"));
        expectValue(2, QStringLiteral("5"));
        expectValue(3, QStringLiteral("-5"));
        expectText(4, QStringLiteral("-a"));
        expectText(5, QStringLiteral("@SUM"));
        expectText(6, QStringLiteral("'quoted"));
        QCOMPARE(sheet.at(1, 7).type, Cell::Type::Value); // a date, as typing it would give
        QCOMPARE(sheet.at(1, 8).type, Cell::Type::Value); // a time
        expectValue(9, QStringLiteral("7"));
        expectText(10, QStringLiteral("plain"));
        expectText(11, QStringLiteral("+1-2"));
        expectText(12, QStringLiteral("Ünïcode ✓"));
        for (const auto& cell : sheet.rows.front())
            QVERIFY(cell.type != Cell::Type::Formula);
    }

    // Texts that look like numbers, dates or formulas stay exactly those texts, in a block and
    // after it went out.
    void textCellsStayTexts() {
        REQUIRE_OFFICE();
        OfficeFixture::useForExports();
        const QStringList texts{QStringLiteral("007"),       QStringLiteral("-5"),
                                QStringLiteral("8/31/2021"), QStringLiteral("=1+1"),
                                QStringLiteral("'quoted"),   QStringLiteral("1e3")};
        {
            auto calc = Spreadsheet::start();
            calc->addWorkbook();
            for (int i = 0; i < texts.size(); ++i) {
                calc->setText(i + 1, 1, texts.at(i));
                calc->setCell(i + 1, 2, QStringLiteral("x"));
            }
            calc->setText(600, 1, QStringLiteral("0042")); // sends the first block out
            calc->setText(2, 3, QStringLiteral("007"));    // a row whose block went out already
            calc->setVisible();
        }
        const auto sheet = onlySheet();
        for (int i = 0; i < texts.size(); ++i) {
            QCOMPARE(sheet.at(i + 1, 1).type, Cell::Type::Text);
            QCOMPARE(sheet.at(i + 1, 1).string, texts.at(i));
            QCOMPARE(sheet.at(i + 1, 2).string, QStringLiteral("x"));
        }
        QCOMPARE(sheet.at(600, 1).string, QStringLiteral("0042"));
        QCOMPARE(sheet.at(2, 3).type, Cell::Type::Text);
        QCOMPARE(sheet.at(2, 3).string, QStringLiteral("007"));
    }

    // Rows go out in blocks: gaps, block borders and a row revisited after its block was sent.
    void blocksKeepEveryCellInPlace() {
        REQUIRE_OFFICE();
        OfficeFixture::useForExports();
        {
            auto calc = Spreadsheet::start();
            calc->addWorkbook();
            for (int row = 1; row <= 1300; ++row) {
                if (row % 3 == 0)
                    continue; // left empty
                calc->setCell(row, 1, QStringLiteral("r%1").arg(row));
                if (row % 2 == 0)
                    calc->setCell(row, 4, QStringLiteral("d%1").arg(row));
            }
            calc->setCell(2, 2, QStringLiteral("late")); // its block has gone out already
            calc->autoFitColumns();
            calc->setVisible();
        }
        const auto sheet = onlySheet();
        QCOMPARE(sheet.rows.size(), size_t(1300));
        for (int row = 1; row <= 1300; ++row) {
            QCOMPARE(sheet.at(row, 1).string, row % 3 == 0 ? QString() : QStringLiteral("r%1").arg(row));
            QCOMPARE(sheet.at(row, 4).string,
                     row % 3 != 0 && row % 2 == 0 ? QStringLiteral("d%1").arg(row) : QString());
        }
        QCOMPARE(sheet.at(2, 2).string, QStringLiteral("late"));
        QCOMPARE(sheet.at(4, 2).type, Cell::Type::Empty);
    }

    // Durations past a day stay hours; numbers show the locale's decimal sign; both are values.
    void durationsAndNumbersAreValues_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("decimal");
        QTest::newRow("en_US") << QLocale(QLocale::English, QLocale::UnitedStates) << "38.42";
        QTest::newRow("de_DE") << QLocale(QLocale::German, QLocale::Germany) << "38,42";
    }
    void durationsAndNumbersAreValues() {
        REQUIRE_OFFICE();
        QFETCH(QLocale, locale);
        QFETCH(QString, decimal);
        const QLocale before;
        QLocale::setDefault(locale);
        OfficeFixture::useForExports();
        {
            auto calc = Spreadsheet::start();
            calc->addWorkbook();
            calc->setDuration(1, 1, 38 * 60 + 25);
            calc->setDuration(1, 2, 5);
            calc->setNumber(1, 3, 38.42, 2);
            calc->setNumber(1, 4, 3, 0);
            calc->setVisible();
        }
        QLocale::setDefault(before);
        const auto sheet = onlySheet();
        const QStringList shown{QStringLiteral("38:25"), QStringLiteral("00:05"), decimal,
                                QStringLiteral("3")};
        for (int column = 1; column <= 4; ++column) {
            QCOMPARE(sheet.at(1, column).type, Cell::Type::Value);
            QCOMPARE(sheet.at(1, column).string, shown.at(column - 1));
        }
    }

    // A workbook that was never shown is closed on release; the running office (the user's) stays.
    void releasingUnshownClosesTheWorkbookOnly() {
        REQUIRE_OFFICE();
        OfficeFixture::useForExports();
        {
            auto calc = Spreadsheet::start();
            calc->addWorkbook();
            calc->setCell(1, 1, QStringLiteral("x"));
            QCOMPARE(OfficeFixture::probe().spreadsheets().size(), size_t(1));
        }
        QCOMPARE(OfficeFixture::probe().spreadsheets().size(), size_t(0));
        QVERIFY(OfficeFixture::probe().isAlive());
        // Showing hands the workbook to the user: it stays open.
        {
            auto calc = Spreadsheet::start();
            calc->addWorkbook();
            calc->setVisible();
        }
        QCOMPARE(OfficeFixture::probe().spreadsheets().size(), size_t(1));
        QVERIFY(OfficeFixture::probe().isAlive());
    }

    // Two exports into one office at once, the first released while the second goes on: the
    // second goes on. The office names its objects alike on every connection: a second connection
    // of ours to it must not be handed the first one's objects and lose them with it.
    void exportsSideBySide() {
        REQUIRE_OFFICE();
        OfficeFixture::useForExports();
        OfficeFixture::probe().disconnect();
        std::unique_ptr<SpreadsheetApplication> second;
        {
            auto first = Spreadsheet::start();
            first->addWorkbook();
            first->setCell(1, 1, QStringLiteral("first"));
            second = Spreadsheet::start();
            second->addWorkbook();
        }
        second->setCell(1, 1, QStringLiteral("second"));
        second->setVisible();
        second.reset();
        const auto sheet = onlySheet();
        QCOMPARE(sheet.at(1, 1).string, QStringLiteral("second"));
    }

    void cellsNeedAWorkbook() {
        REQUIRE_OFFICE();
        OfficeFixture::useForExports();
        auto calc = Spreadsheet::start();
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, calc->setCell(1, 1, QStringLiteral("x")));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, calc->autoFitColumns());
    }

    // The headless office cannot show windows: on a display (TALLYCLOCK_TEST_OFFICE_DISPLAY, e.g. an
    // Xvfb) a desktop office of its own is started, and the shown workbook must be visible and
    // active. Started for this test alone, so releasing the check's object ends it again.
    void showsTheWorkbookOnADesktop() {
        REQUIRE_OFFICE();
        const QByteArray display = qgetenv("TALLYCLOCK_TEST_OFFICE_DISPLAY");
        if (display.isEmpty())
            QSKIP("set TALLYCLOCK_TEST_OFFICE_DISPLAY to an X display to check the shown window");
        const QByteArray previousDisplay = qgetenv("DISPLAY");
        qputenv("DISPLAY", display);
        QTemporaryDir profile;
        LibreOffice::Settings desktop;
        desktop.pipeName = QStringLiteral("tallyclock_desktop_%1").arg(QCoreApplication::applicationPid());
        desktop.extraArguments = {QStringLiteral("-env:UserInstallation=") +
                                  QUrl::fromLocalFile(profile.path()).toString()};
        desktop.startTimeoutMs = 180000;
        LibreOffice::setSettings(desktop);
        // Started, released unshown: an office of our own holding nothing is ended.
        { auto check = Spreadsheet::start(); }
        QTRY_VERIFY_WITH_TIMEOUT(
            QDir(QStringLiteral("/tmp")).entryList({"OSL_PIPE_*" + desktop.pipeName}).isEmpty(), 30000);
        auto probe = LibreOffice::Probe::launch(desktop);
        {
            auto calc = Spreadsheet::start();
            calc->addWorkbook();
            calc->setCell(1, 1, QStringLiteral("Person Number"));
            calc->setCell(2, 1, QStringLiteral("7"));
            calc->autoFitColumns();
            calc->setVisible();
        }
        const auto sheets = probe->spreadsheets();
        QCOMPARE(sheets.size(), size_t(1));
        QVERIFY(sheets.front().windowVisible);
        QTRY_VERIFY_WITH_TIMEOUT(probe->spreadsheets().front().windowActive, 10000);
        if (!qEnvironmentVariableIsEmpty("TALLYCLOCK_TEST_OFFICE_SCREENSHOT"))
            QProcess::execute(QStringLiteral("import"),
                              {QStringLiteral("-display"), QString::fromLatin1(display),
                               QStringLiteral("-window"), QStringLiteral("root"),
                               qEnvironmentVariable("TALLYCLOCK_TEST_OFFICE_SCREENSHOT")});
        probe->closeDocuments();
        probe->terminate();
        qputenv("DISPLAY", previousDisplay);
    }

    // A missing program fails at once; one that never accepts fails at the deadline, not later.
    void startFailsWithinItsDeadline() {
        if (!LibreOffice::moduleBuilt())
            QSKIP("built without the LibreOffice SDK (libreoffice-dev): run scripts/install-deps");
        LibreOffice::Settings missing;
        missing.program = QStringLiteral("/nonexistent/soffice");
        LibreOffice::setSettings(missing);
        QElapsedTimer clock;
        clock.start();
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, Spreadsheet::start());
        QVERIFY(clock.elapsed() < 2000);

        QTemporaryDir dir;
        const QString silent = dir.filePath(QStringLiteral("silent-office"));
        QFile script(silent);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nexec sleep 6\n");
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        LibreOffice::Settings stuck;
        stuck.program = silent;
        stuck.startTimeoutMs = 1500;
        LibreOffice::setSettings(stuck);
        clock.restart();
        try {
            Spreadsheet::start();
            QFAIL("a program that never accepts must not count as started");
        } catch (const std::runtime_error& e) {
            QVERIFY2(QString::fromUtf8(e.what()).contains(QStringLiteral("did not answer")), e.what());
        }
        QVERIFY(clock.elapsed() >= 1500 && clock.elapsed() < 5000);
    }
};

// The program starts where no office is installed: it links nothing of it.
class ProgramWithoutOfficeTest : public QObject {
    Q_OBJECT
private slots:
    void programLinksNoOffice() {
        const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/tallyclock-suite");
        QVERIFY2(QFileInfo::exists(program), qPrintable(program));
        QProcess ldd;
        ldd.start(QStringLiteral("ldd"), {program});
        if (!ldd.waitForFinished(30000) || ldd.exitCode() != 0)
            QSKIP("ldd cannot list the program's libraries here");
        const QString libraries = QString::fromLocal8Bit(ldd.readAllStandardOutput());
        QVERIFY(libraries.contains(QStringLiteral("libQt6Core")));
        QVERIFY2(!libraries.contains(QStringLiteral("uno"), Qt::CaseInsensitive), qPrintable(libraries));
        QVERIFY2(!libraries.contains(QStringLiteral("libreoffice"), Qt::CaseInsensitive),
                 qPrintable(libraries));
    }
};

TALLYCLOCK_TEST(LibreOfficeTest)
TALLYCLOCK_TEST(ProgramWithoutOfficeTest)
#include "LibreOfficeTest.moc"
