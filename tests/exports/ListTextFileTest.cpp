#include "reports/ListTextFile.h"
#include "ExportScene.h"
#include "common/TestSupport.h"
#include "platform/ListView.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <stdexcept>
#include <unistd.h>

using ExportScene::addRow;

namespace {
QByteArray readAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return file.readAll();
}

int openDescriptors() {
    return static_cast<int>(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files).size());
}
} // namespace

// The text file of the export: title choice, checked and unchecked rows, empty cells, encoding,
// replacing, and the failures.
class ListTextFileTest : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    ListView* m_list = nullptr;

    QString path(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void init() {
        m_list = new ListView;
        ExportScene::addColumns(*m_list);
    }
    void cleanup() { delete m_list; }

    void noRowCheckedGivesTitlesAndEmptyLines() {
        addRow(*m_list, {"7", "Ann", "Ops", "Clerk", "8/31/2021", "8:00 AM", "5:00 PM"}, false);
        addRow(*m_list, {"8", "Bob", "Ops", "Clerk", "8/31/2021", "9:00 AM", ""}, false);
        ListTextFile::save(*m_list, path("none.txt"));
        QCOMPARE(
            readAll(path("none.txt")),
            QByteArray("Person Number\tName\tDepartment\tPosition\tDate\tLogin\tLogout\t\r\n\r\n\r\n\r\n"));
    }

    void firstRowDecidesTitlesAndEmptyCellsAreSkipped() {
        // First row: no "Logout", so six titles; a checked row with an empty cell has six fields,
        // and a full row seven (its last field then stands under no title).
        addRow(*m_list, {"7", "Ann", "Ops", "Clerk", "8/31/2021", "8:00 AM", ""}, true);
        addRow(*m_list, {"8", "Bob", "", "Clerk", "8/31/2021", "9:00 AM", "5:00 PM"}, true);
        addRow(*m_list, {"9", "Cy", "Ops", "Clerk", "8/31/2021", "9:30 AM", "6:00 PM"}, false);
        addRow(*m_list, {"10", "Di", "Ops", "Clerk", "8/31/2021", "7:00 AM", "3:00 PM"}, true);
        ListTextFile::save(*m_list, path("some.txt"));
        QCOMPARE(readAll(path("some.txt")),
                 QByteArray("Person Number\tName\tDepartment\tPosition\tDate\tLogin\t\r\n"
                            "7\tAnn\tOps\tClerk\t8/31/2021\t8:00 AM\t\r\n"
                            "8\tBob\tClerk\t8/31/2021\t9:00 AM\t5:00 PM\t\r\n"
                            "\r\n"
                            "10\tDi\tOps\tClerk\t8/31/2021\t7:00 AM\t3:00 PM\t\r\n"
                            "\r\n"));
    }

    void textIsUtf8AndSavingAgainReplaces() {
        addRow(*m_list, {"Ø1", "Zoë Łukasz", "営業", "Clerk", "8/31/2021", "8:00 AM", "5:00 PM"}, true);
        addRow(*m_list, {"2", "Long", "Ops", "Clerk", "8/31/2021", "8:00 AM", "5:00 PM"}, true);
        ListTextFile::save(*m_list, path("twice"));
        const QByteArray first = readAll(path("twice"));
        QVERIFY(first.contains(QStringLiteral("Ø1\tZoë Łukasz\t営業\t").toUtf8()));
        m_list->removeRowAt(1);
        ListTextFile::save(*m_list, path("twice"));
        const QByteArray second = readAll(path("twice"));
        QVERIFY(!second.contains("Long"));
        QVERIFY(second.size() < first.size());
        QVERIFY(second.endsWith("5:00 PM\t\r\n\r\n"));
    }

    void emptyListFailsAndWritesNothing() {
        QVERIFY_THROWS_EXCEPTION(std::exception, ListTextFile::save(*m_list, path("empty.txt")));
        QVERIFY(!QFile::exists(path("empty.txt")));
    }

    void unwritableFilesFailAndLeaveNothingOpen() {
        const int before = openDescriptors();
        QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                                 ListTextFile::writeText(QStringLiteral("x"), path("no/such/folder.txt")));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                                 ListTextFile::writeText(QStringLiteral("x"), m_dir.path()));
        // A full disk: the file opens, the write fails.
        if (QFile::exists(QStringLiteral("/dev/full")))
            QVERIFY_THROWS_EXCEPTION(
                std::runtime_error,
                ListTextFile::writeText(QString(100000, u'x'), QStringLiteral("/dev/full")));
        if (geteuid() != 0) {
            QFile readOnly(path("readonly.txt"));
            QVERIFY(readOnly.open(QIODevice::WriteOnly));
            readOnly.close();
            readOnly.setPermissions(QFile::ReadOwner);
            QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                                     ListTextFile::writeText(QStringLiteral("x"), path("readonly.txt")));
        }
        QCOMPARE(openDescriptors(), before);
        try {
            ListTextFile::writeText(QStringLiteral("x"), path("no/such/folder.txt"));
        } catch (const std::runtime_error& e) {
            QVERIFY2(QString::fromUtf8(e.what()).contains(path("no/such/folder.txt")), e.what());
        }
    }

    // A million rows, every other one checked: built in one text and written in one go.
    void millionRows() {
        std::vector<QString> cells;
        cells.reserve(7 * 1000000);
        for (int row = 0; row < 1000000; ++row) {
            cells.push_back(QString::number(row));
            for (const char* text : {"Name", "Department", "Position", "8/31/2021", "8:00 AM", "5:00 PM"})
                cells.push_back(QString::fromLatin1(text));
        }
        m_list->appendRows(std::move(cells));
        for (int row = 0; row < 1000000; row += 2)
            m_list->setChecked(row, true);
        QElapsedTimer clock;
        clock.start();
        ListTextFile::save(*m_list, path("million.txt"));
        qInfo("1,000,000 rows written in %lld ms", clock.elapsed());
        const QByteArray text = readAll(path("million.txt"));
        QCOMPARE(text.count("\r\n"), 1000002);
        QVERIFY(text.contains(
            "\r\n999998\tName\tDepartment\tPosition\t8/31/2021\t8:00 AM\t5:00 PM\t\r\n\r\n\r\n"));
    }
};

TALLYCLOCK_TEST(ListTextFileTest)
#include "ListTextFileTest.moc"
