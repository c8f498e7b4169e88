#include "ExportScene.h"
#include "common/TestSupport.h"
#include "platform/MousePointer.h"
#include "platform/SaveDialog.h"
#include "reports/ReportsWindow.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using TestSupport::control;

using ExportScene::addRow;

// "Save Results As Text": the dialog's request, cancel, names as typed, the pointer on every path.
class TextExportTest : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    std::vector<SaveDialog::Request> m_requests;
    QStringList m_answers;

    void answerWith(const QStringList& answers) {
        m_answers = answers;
        SaveDialog::setResponder([this](const SaveDialog::Request& request) {
            m_requests.push_back(request);
            return m_answers.isEmpty() ? QString() : m_answers.takeFirst();
        });
    }
    static QByteArray readAll(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

private slots:
    void init() { m_requests.clear(); }
    void cleanup() { SaveDialog::setResponder({}); }

    void savesUnderTheNameAsTypedAndOffersItAgain() {
        TestSupport::MessageRecorder boxes;
        ReportsWindow form;
        ExportScene::addColumns(*control<ListView>(form, "resultsList"));
        addRow(*control<ListView>(form, "resultsList"),
               {"7", "Ann", "Ops", "Clerk", "9/14/2021", "8:00 AM", ""}, true);
        const QString name = m_dir.filePath(QStringLiteral("report"));
        answerWith({name, name});
        form.saveAsText();
        control<ListView>(form, "resultsList")->setSubItem(0, 1, QStringLiteral("Anne"));
        form.saveAsText();

        QCOMPARE(m_requests.size(), size_t(2));
        const SaveDialog::Request& first = m_requests.front();
        QCOMPARE(first.title, QStringLiteral("Save"));
        QCOMPARE(first.nameFilters, (QStringList{"Text Files (*.txt)", "All Files (*.*)"}));
        QVERIFY(first.options.testFlag(QFileDialog::DontConfirmOverwrite));
        QCOMPARE(first.initialFile, QString());
        QCOMPARE(m_requests.back().initialFile, name); // kept for the life of the window
        QVERIFY(!QFile::exists(name + QStringLiteral(".txt")));
        QCOMPARE(readAll(name), QByteArray("Person Number\tName\tDepartment\tPosition\tDate\tLogin\t\r\n"
                                           "7\tAnne\tOps\tClerk\t9/14/2021\t8:00 AM\t\r\n\r\n"));
        QVERIFY(boxes.shown().empty());
        QCOMPARE(form.mousePointer()->value(), MousePointer::Default);
    }

    // A cancelled dialog writes nothing, not even to the name chosen the time before.
    void cancelWritesNothing() {
        TestSupport::MessageRecorder boxes;
        ReportsWindow form;
        ExportScene::addColumns(*control<ListView>(form, "resultsList"));
        addRow(*control<ListView>(form, "resultsList"),
               {"7", "Ann", "Ops", "Clerk", "9/14/2021", "8:00 AM", ""}, true);
        const QString name = m_dir.filePath(QStringLiteral("kept.txt"));
        answerWith({name});
        form.saveAsText();
        const QByteArray saved = readAll(name);
        control<ListView>(form, "resultsList")->setSubItem(0, 1, QStringLiteral("Changed"));
        answerWith({QString()});
        form.saveAsText();
        QCOMPARE(m_requests.size(), size_t(2));
        QCOMPARE(m_requests.back().initialFile, name);
        QCOMPARE(readAll(name), saved);
        QVERIFY(boxes.shown().empty());
        QCOMPARE(form.mousePointer()->value(), MousePointer::Default);
    }

    // Failures are reported at step 120 while the hourglass shows; the pointer comes back after.
    void failuresReportAndRestoreThePointer() {
        ReportsWindow form;
        ExportScene::addColumns(*control<ListView>(form, "resultsList"));
        std::vector<int> pointerAtBox;
        QStringList texts;
        MessageBox::setResponder([&](const MessageBox::Shown& shown) {
            pointerAtBox.push_back(form.mousePointer()->value());
            texts << shown.text;
            return false;
        });
        const QString empty = m_dir.filePath(QStringLiteral("empty.txt"));
        const QString unwritable = m_dir.filePath(QStringLiteral("missing/folder.txt"));
        answerWith({empty, unwritable});
        form.saveAsText(); // empty list
        QVERIFY(!QFile::exists(empty));
        QCOMPARE(form.mousePointer()->value(), MousePointer::Default);
        addRow(*control<ListView>(form, "resultsList"),
               {"7", "Ann", "Ops", "Clerk", "9/14/2021", "8:00 AM", ""}, true);
        form.saveAsText(); // missing folder
        QCOMPARE(form.mousePointer()->value(), MousePointer::Default);
        QCOMPARE(pointerAtBox, (std::vector<int>{MousePointer::Hourglass, MousePointer::Hourglass}));
        for (const QString& text : texts)
            QVERIFY2(text.contains(QStringLiteral("Form4.PushButton4_Click at line 120")), qPrintable(text));
        QVERIFY(texts.at(1).contains(unwritable));

        TestSupport::MessageRecorder recorder; // replaces the capturing responder
        const QString good = m_dir.filePath(QStringLiteral("good.txt"));
        answerWith({good});
        form.saveAsText();
        QVERIFY(recorder.shown().empty());
        QVERIFY(readAll(good).startsWith("Person Number\t"));
    }
};

TALLYCLOCK_TEST(TextExportTest)
#include "TextExportTest.moc"
#include "platform/ListView.h"
