#include "common/TestSupport.h"
#include "core/Main.h"
#include "core/MainWindow.h"
#include "formats/FormatWindow.h"
#include "persons/PersonEditor.h"
#include "persons/PersonsWindow.h"
#include "reports/ReportsWindow.h"

#include <QApplication>
#include <QTest>

// Every window the program opens shows the one application icon, set at start as the program does.
class WindowIconTest : public QObject {
    Q_OBJECT

    static void verifyApplicationIcon(const QWidget& window) {
        const QIcon icon = window.windowIcon();
        // A picture, not an icon made of file names that lead nowhere.
        QVERIFY2(!icon.pixmap(32).isNull(), qPrintable(window.objectName()));
        QCOMPARE(icon.cacheKey(), QApplication::windowIcon().cacheKey());
    }

private slots:
    void initTestCase() { QApplication::setWindowIcon(Main::applicationIcon()); }
    void cleanupTestCase() { QApplication::setWindowIcon(QIcon()); }

    void everyWindowShowsIt() {
        TestSupport::CommonFolder common;
        TestSupport::MessageRecorder boxes;
        MainWindow main;
        main.start();
        verifyApplicationIcon(main);

        PersonsWindow persons(&main);
        persons.start();
        verifyApplicationIcon(persons);
        PersonEditor editor(&main);
        editor.start();
        verifyApplicationIcon(editor);
        ReportsWindow reports(&main);
        reports.start();
        verifyApplicationIcon(reports);
        FormatWindow formats(&main);
        formats.start();
        verifyApplicationIcon(formats);

        QCOMPARE(boxes.texts(), std::vector<QString>{});
        main.releaseDatabase();
    }
};

TALLYCLOCK_TEST(WindowIconTest)
#include "WindowIconTest.moc"
