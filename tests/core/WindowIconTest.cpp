#include "common/TestSupport.h"
#include "core/Form1.h"
#include "core/Main.h"
#include "formats/Form5.h"
#include "persons/Form2.h"
#include "persons/Form3.h"
#include "reports/Form4.h"

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
        Form1 main;
        main.Form_Load();
        verifyApplicationIcon(main);

        Form2 persons(&main);
        persons.Form_Load();
        verifyApplicationIcon(persons);
        Form3 editor(&main);
        editor.Form_Load();
        verifyApplicationIcon(editor);
        Form4 reports(&main);
        reports.Form_Load();
        verifyApplicationIcon(reports);
        Form5 formats(&main);
        formats.Form_Load();
        verifyApplicationIcon(formats);

        QCOMPARE(boxes.texts(), std::vector<QString>{});
        main.Form_QueryUnload();
    }
};

TALLYCLOCK_TEST(WindowIconTest)
#include "WindowIconTest.moc"
