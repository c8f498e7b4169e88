#include "common/TestSupport.h"
#include "platform/SpreadsheetOffice.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// The installed bridge module has no library search path of its own (the package's checker allows
// none into another package's folder), yet it must load. This process links nothing of the office,
// so the module's copy below finds the office's runtime only as the installed program would.
class OfficeModuleTest : public QObject {
    Q_OBJECT
private slots:
    void loadsWithoutASearchPath() {
        const QString built =
            QCoreApplication::applicationDirPath() + QStringLiteral("/libtallyclock-office.so");
        if (!QFileInfo::exists(built))
            QSKIP("no office module beside the test (built without libreoffice-dev, or not built yet)");
        const QString cmake = QStandardPaths::findExecutable(QStringLiteral("cmake"));
        if (cmake.isEmpty())
            QSKIP("cmake, which removes the search path from the copy, is not on PATH");

        QTemporaryDir dir;
        const QString module = dir.filePath(QStringLiteral("libtallyclock-office.so"));
        QVERIFY(QFile::copy(built, module));
        const QString script = dir.filePath(QStringLiteral("strip.cmake"));
        QFile file(script);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("file(RPATH_REMOVE FILE \"${MODULE}\")\n");
        file.close();
        QCOMPARE(
            QProcess::execute(cmake, {QStringLiteral("-DMODULE=") + module, QStringLiteral("-P"), script}),
            0);
        QFile copy(module);
        QVERIFY(copy.open(QIODevice::ReadOnly));
        QVERIFY2(!copy.readAll().contains("libreoffice/program"), "the copy still names the office's folder");

        qputenv("TALLYCLOCK_OFFICE_MODULE", QFile::encodeName(module));
        const QString error = LibreOffice::moduleError();
        qunsetenv("TALLYCLOCK_OFFICE_MODULE");
        QCOMPARE(error, QString());
    }
};

TALLYCLOCK_TEST(OfficeModuleTest)
#include "OfficeModuleTest.moc"
