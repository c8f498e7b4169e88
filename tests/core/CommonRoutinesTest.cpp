#include "common/TestSupport.h"
#include "core/Main.h"
#include "platform/ListView.h"
#include "platform/PushButton.h"
#include "platform/SkinFramework.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

void paintRed(QWidget* widget) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, Qt::red);
    widget->setPalette(palette);
}

QColor background(const QWidget* widget) {
    return widget->palette().color(QPalette::Window);
}

} // namespace

class CommonRoutinesTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() {
        qputenv("TALLYCLOCK_COMMON_APPDATA", QByteArray());
        Main::setProgramFolder(QString());
        qApp->setStyleSheet(QString());
    }

    void specialFolderPath() {
        qputenv("TALLYCLOCK_COMMON_APPDATA", "/srv/shared data");
        QCOMPARE(Main::GetSpecialFolderPath(35), QStringLiteral("/srv/shared data"));
        // Blanks around the path go, inner ones stay.
        qputenv("TALLYCLOCK_COMMON_APPDATA", "  /srv/shared data   ");
        QCOMPARE(Main::GetSpecialFolderPath(35), QStringLiteral("/srv/shared data"));
        qputenv("TALLYCLOCK_COMMON_APPDATA", QByteArray());
        QCOMPARE(Main::GetSpecialFolderPath(35), QStringLiteral("/var/lib"));
        qunsetenv("TALLYCLOCK_COMMON_APPDATA");
        QCOMPARE(Main::GetSpecialFolderPath(35), QStringLiteral("/var/lib"));
        // Other folders cannot be resolved.
        QCOMPARE(Main::GetSpecialFolderPath(26), QString());
    }

    void fileExists() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("a file"));
        QFile(file).open(QIODevice::WriteOnly);
        QVERIFY(Main::FileExists(file));
        QVERIFY(Main::FileExists(dir.path()));
        QVERIFY(!Main::FileExists(dir.filePath(QStringLiteral("missing"))));
        QVERIFY(!Main::FileExists(QString()));
        QVERIFY(!Main::FileExists(file + QStringLiteral("/below a file")));
        QVERIFY(
            QFile::link(dir.filePath(QStringLiteral("missing")), dir.filePath(QStringLiteral("dangling"))));
        QVERIFY(!Main::FileExists(dir.filePath(QStringLiteral("dangling"))));
    }

    void nullToDefault() {
        QCOMPARE(Main::NullToDefault(QVariant(), QString()).toString(), QString());
        QCOMPARE(Main::NullToDefault(QVariant(), QStringLiteral("x")).toString(), QStringLiteral("x"));
        // An empty text is a value, not Null.
        QCOMPARE(Main::NullToDefault(QString(), QStringLiteral("x")).toString(), QString());
        QCOMPARE(Main::NullToDefault(QStringLiteral(""), QStringLiteral("x")).toString(), QString());
        // A number stays a number.
        const QVariant number = Main::NullToDefault(QVariant(0), QStringLiteral("x"));
        QCOMPARE(number.typeId(), QMetaType::Int);
        QCOMPARE(number.toInt(), 0);
    }

    void applicationTitle() {
        QCOMPARE(Main::appTitleFor(QStringLiteral("Tallyclock Suite")), QStringLiteral("Tallyclock"));
        // Cut at blanks until 40 characters or fewer remain.
        QCOMPARE(Main::appTitleFor(QStringLiteral("Quillmark Tallyclock Suite for Small Workplaces Edition")),
                 QStringLiteral("Quillmark Tallyclock Suite for Small"));
        QCOMPARE(Main::appTitleFor(QStringLiteral("Quillmark Tallyclock Suite for the Small Office")),
                 QStringLiteral("Quillmark Tallyclock Suite for the Small"));
        QCOMPARE(Main::appTitleFor(QStringLiteral("Tallyclock")), QStringLiteral("Tallyclock"));
        const QString oneWord(50, QLatin1Char('T'));
        QCOMPARE(Main::appTitleFor(oneWord), oneWord);
        QCOMPARE(MessageBox::applicationTitle(), QStringLiteral("Tallyclock"));
    }

    void formColorsOnlyOnTheirKinds() {
        QWidget window;
        auto* frame = new QGroupBox(QStringLiteral("Frame"), &window);
        auto* option = new QRadioButton(QStringLiteral("Option"), frame);
        auto* check = new QCheckBox(QStringLiteral("Check"), frame);
        auto* label = new QLabel(QStringLiteral("Label"), frame);
        auto* text = new QLineEdit(&window);
        auto* list = new ListView(&window);
        auto* button = new PushButton(QStringLiteral("Button"), &window);
        auto* plain = new QWidget(&window);
        for (QWidget* widget :
             std::initializer_list<QWidget*>{&window, frame, option, check, label, text, list, button, plain})
            paintRed(widget);

        Main::ApplyFormColors(&window);

        const QColor buttonFace = QApplication::palette().color(QPalette::Button);
        QVERIFY(buttonFace != QColor(Qt::red));
        for (QWidget* widget : std::initializer_list<QWidget*>{&window, frame, option, check, label})
            QCOMPARE(background(widget), buttonFace);
        for (QWidget* widget : std::initializer_list<QWidget*>{text, list, button, plain})
            QCOMPARE(background(widget), QColor(Qt::red));
    }

    void formColorsOnABareWindow() {
        QWidget window;
        auto* text = new QLineEdit(&window);
        paintRed(text);
        const QPalette textPalette = text->palette();
        Main::ApplyFormColors(&window);
        QCOMPARE(background(&window), QApplication::palette().color(QPalette::Button));
        QCOMPARE(text->palette(), textPalette);
    }

    void skinOnlyWithItsFile() {
        QTemporaryDir program;
        Main::setProgramFolder(program.path());
        QWidget window;
        paintRed(&window);
        SkinFramework skin;
        Main::ApplySkin(&window, skin);
        QCOMPARE(background(&window), QColor(Qt::red));
        QCOMPARE(skin.styleSheet(), QString());
        QCOMPARE(skin.applyOptions(), 0);

        // A folder by that name does not count.
        QVERIFY(QDir().mkpath(program.filePath(QStringLiteral("x/o.cjs"))));
        Main::ApplySkin(&window, skin);
        QCOMPARE(background(&window), QColor(Qt::red));
        QCOMPARE(qApp->styleSheet(), QString());

        // The skin shipped beside the program.
        Main::setProgramFolder(QString());
        QFile shipped(Main::skinFilePath());
        QVERIFY(shipped.open(QIODevice::ReadOnly | QIODevice::Text));
        const QString sheet = QString::fromUtf8(shipped.readAll());
        QVERIFY(!sheet.isEmpty());
        Main::ApplySkin(&window, skin);
        QCOMPARE(background(&window), QApplication::palette().color(QPalette::Button));
        QCOMPARE(skin.styleSheet(), sheet);
        QCOMPARE(skin.applyOptions() & 1, 1);
        QVERIFY(skin.autoApplyNewWindows());
        QVERIFY(skin.autoApplyNewThreads());
        QCOMPARE(qApp->styleSheet(), sheet);
    }
};

TALLYCLOCK_TEST(CommonRoutinesTest)
#include "CommonRoutinesTest.moc"
