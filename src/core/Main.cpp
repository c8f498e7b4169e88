#include "core/Main.h"

#include "core/ErrorTrap.h"
#include "data/SettingsStore.h"
#include "platform/MessageBox.h"
#include "platform/MousePointer.h"
#include "platform/SkinFramework.h"
#include "platform/SpecialFolders.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPalette>
#include <QRadioButton>
#include <QSettings>
#include <QWidget>
#include <utility>

// The icons are compiled into the static library; nothing refers to them by symbol, so the linker
// leaves them out of the program unless they are registered explicitly (and outside any namespace).
static void registerResources() {
    Q_INIT_RESOURCE(resources);
}

namespace Main {

QString supportAddress() {
    // Only the system-wide file: the address is the workplace's, not each user's.
    const QSettings settings(QSettings::IniFormat, QSettings::SystemScope, SettingsStore::kApplication,
                             SettingsStore::kApplication);
    const QVariant value = settings.value(SettingsStore::kSection + QStringLiteral("/SupportAddress"));
    // An unquoted value with a comma reads as a list.
    const QString configured =
        (value.typeId() == QMetaType::QStringList ? value.toStringList().join(QStringLiteral(", "))
                                                  : value.toString())
            .trimmed();
    return configured.isEmpty() ? QStringLiteral(TALLYCLOCK_SUPPORT_ADDRESS).trimmed() : configured;
}

QString errorReportText(const QString& description, const QString& tag, int step) {
    const QString address = supportAddress();
    return description + QStringLiteral("\r\n") + QStringLiteral("in ") + tag + QStringLiteral(" ") +
           QStringLiteral("at line ") + QString::number(step) + QStringLiteral("\r\r") +
           QStringLiteral("Please email screenshot of this message to ") +
           (address.isEmpty() ? QStringLiteral("the person who looks after this computer") : address);
}

namespace {
FaultsElsewhere* s_faultsElsewhere = nullptr;
} // namespace

FaultsElsewhere::FaultsElsewhere(Receiver receiver)
    : m_receiver(std::move(receiver)), m_outer(std::exchange(s_faultsElsewhere, this)) {}

FaultsElsewhere::~FaultsElsewhere() {
    s_faultsElsewhere = m_outer;
}

void ErrorReport(const QString& description, const QString& tag, int step) {
    if (s_faultsElsewhere) {
        s_faultsElsewhere->m_receiver(description, errorReportText(description, tag, step));
        return;
    }
    MessageBox::error(QStringLiteral("Application Error"), errorReportText(description, tag, step));
}

QString GetSpecialFolderPath(int csidl) {
    QString path = SpecialFolders::path(csidl);
    path.remove(QChar(u'\0'));
    // Trim blanks only (not other white space), as the shell's fixed-size buffer needed.
    qsizetype begin = 0;
    qsizetype end = path.size();
    while (begin < end && path.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && path.at(end - 1) == QLatin1Char(' '))
        --end;
    return path.mid(begin, end - begin);
}

bool FileExists(const QString& path) {
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && info.lastModified().isValid();
}

QVariant NullToDefault(const QVariant& value, const QVariant& defaultValue) {
    return value.isValid() && !value.isNull() ? value : defaultValue;
}

void ApplyFormColors(QWidget* window) {
    const QColor buttonFace = window->palette().color(QPalette::Button);
    const auto recolour = [&](QWidget* widget) {
        QPalette palette = widget->palette();
        palette.setColor(QPalette::Window, buttonFace);
        widget->setPalette(palette);
        widget->setAutoFillBackground(true);
    };
    recolour(window);
    for (QWidget* child : window->findChildren<QWidget*>()) {
        if (qobject_cast<QRadioButton*>(child) || qobject_cast<QCheckBox*>(child) ||
            qobject_cast<QGroupBox*>(child) || qobject_cast<QLabel*>(child))
            recolour(child);
    }
}

void dressWindow(ErrorTrap& trap, QWidget* window, MousePointer& pointer, const DressSteps& steps) {
    trap.step(steps.colours, [&] { ApplyFormColors(window); });
    trap.step(steps.icon, [&] { window->setWindowIcon(QApplication::windowIcon()); });
    if (trap.test(steps.cursorTest, [] { return FileExists(handCursorPath()); }))
        trap.step(steps.cursorLoad, [&] { pointer.loadMouseIcon(handCursorPath()); });
}

void ApplySkin(QWidget* mainWindow, SkinFramework& skin) {
    const QString path = skinFilePath();
    if (!QFileInfo(path).isFile())
        return;
    ApplyFormColors(mainWindow);
    skin.loadSkin(path, QString());
    skin.setApplyOptions(skin.applyOptions() | 1);
    skin.setAutoApplyNewWindows(true);
    skin.setAutoApplyNewThreads(true);
    skin.applyWindow(mainWindow);
}

QIcon applicationIcon() {
    registerResources();
    QIcon icon;
    for (const char* size : {"32", "64", "256"})
        icon.addFile(QStringLiteral(":/icons/tallyclock-%1.png").arg(QLatin1String(size)));
    return icon;
}

QString appTitleFor(const QString& productName) {
    QString title = productName;
    do {
        const qsizetype blank = title.lastIndexOf(QLatin1Char(' '));
        if (blank < 0)
            break;
        title = title.left(blank);
    } while (title.size() > 40);
    return title;
}

void SetAppTitle() {
    const QString title = appTitleFor(kProductName);
    MessageBox::setApplicationTitle(title);
    QCoreApplication::setApplicationName(title);
}

namespace {
QString& programFolderOverride() {
    static QString folder;
    return folder;
}
} // namespace

QString programFolder() {
    if (!programFolderOverride().isEmpty())
        return programFolderOverride();
    return QCoreApplication::applicationDirPath();
}

void setProgramFolder(const QString& folder) {
    programFolderOverride() = folder;
}

QString handCursorPath() {
    return programFolder() + QStringLiteral("/HAND-M.CUR");
}

QString skinFilePath() {
    return programFolder() + QStringLiteral("/x/o.cjs");
}

} // namespace Main
