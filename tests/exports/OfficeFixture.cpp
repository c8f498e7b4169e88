#include "OfficeFixture.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <memory>

namespace OfficeFixture {

namespace {
struct Office {
    QTemporaryDir profile{QDir::tempPath() + QStringLiteral("/tallyclock-office-XXXXXX")};
    std::unique_ptr<LibreOffice::Probe> probe;
};
std::unique_ptr<Office>& office() {
    static std::unique_ptr<Office> instance;
    return instance;
}
void shutDown() {
    // Runs as the test program ends: an office that went away already must not end it with an
    // uncaught exception, which would hide the test's own report.
    try {
        if (office() && office()->probe)
            office()->probe->terminate();
    } catch (const std::exception& e) {
        qWarning("The test office could not be ended: %s", e.what());
    }
    office().reset();
}
} // namespace

QString unavailableReason() {
    if (!LibreOffice::moduleBuilt())
        return QStringLiteral(
            "built without the LibreOffice SDK (libreoffice-dev): run scripts/install-deps");
    const LibreOffice::Settings previous = LibreOffice::settings();
    LibreOffice::setSettings({});
    const bool installed = !LibreOffice::programPath().isEmpty();
    LibreOffice::setSettings(previous);
    if (!installed)
        return QStringLiteral("LibreOffice is not installed (no soffice): run scripts/install-deps");
    return {};
}

LibreOffice::Settings settings() {
    if (!office())
        office() = std::make_unique<Office>();
    LibreOffice::Settings s;
    s.pipeName = QStringLiteral("tallyclock_test_%1").arg(QCoreApplication::applicationPid());
    s.extraArguments = {QStringLiteral("--headless"),
                        QStringLiteral("-env:UserInstallation=") +
                            QUrl::fromLocalFile(office()->profile.path()).toString()};
    // A first start with a new profile is slow on a busy machine.
    s.startTimeoutMs = 180000;
    return s;
}

LibreOffice::Probe& probe() {
    const LibreOffice::Settings s = settings();
    if (!office()->probe) {
        office()->probe = LibreOffice::Probe::launch(s);
        qAddPostRoutine(shutDown);
    }
    return *office()->probe;
}

void useForExports() {
    probe();
    LibreOffice::setSettings(settings());
}

bool withProbe(const std::function<void(LibreOffice::Probe&)>& read) {
    try {
        read(probe());
        return true;
    } catch (const std::exception& e) {
        QTest::qFail(qPrintable(QStringLiteral("the test office: %1").arg(QString::fromUtf8(e.what()))),
                     __FILE__, __LINE__);
        return false;
    }
}

} // namespace OfficeFixture
