#include "platform/SpreadsheetOffice.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibrary>
#include <QStandardPaths>
#include <map>

namespace LibreOffice {

namespace {

#ifdef TALLYCLOCK_LIBREOFFICE_PROGRAM_DIR
const QString kProgramDir = QStringLiteral(TALLYCLOCK_LIBREOFFICE_PROGRAM_DIR);
#else
const QString kProgramDir = QStringLiteral("/usr/lib/libreoffice/program");
#endif

// The file name CMake gives the module (target tallyclock-office).
const QString kModuleFile = QStringLiteral("libtallyclock-office.so");

Settings& currentSettings() {
    static Settings settings;
    return settings;
}

[[noreturn]] void notInstalled(const QString& why) {
    throw std::runtime_error(("LibreOffice Calc could not be started: " + why).toStdString());
}

// The module links the office's UNO runtime. That runtime lives in the office's program folder
// beside private libraries of its own, which it finds relative to where it was loaded from; the
// installed module carries no search path into another package's folder, so the runtime is loaded
// from that folder first, and the module then finds it loaded already. A runtime that is missing
// there is left to the module's own load, which names what it lacks.
void loadOfficeRuntime() {
    for (const char* name : {"libuno_sal.so.3", "libuno_cppu.so.3", "libuno_cppuhelpergcc3.so.3"}) {
        const QString path = kProgramDir + QLatin1Char('/') + QLatin1String(name);
        if (QFileInfo::exists(path))
            QLibrary(path).load(); // stays loaded: a QLibrary unloads only when asked
    }
}

// The module of `path`, loaded once and never unloaded (objects it made may outlive any caller).
// Throws with the loader's reason.
Module& loadModule(const QString& path) {
    static std::map<QString, Module*> loaded;
    if (const auto found = loaded.find(path); found != loaded.end())
        return *found->second;
    if (!QFileInfo::exists(path))
        notInstalled(QStringLiteral("its bridge module %1 is missing.").arg(path));
    loadOfficeRuntime();
    auto* library = new QLibrary(path);
    const auto entry = reinterpret_cast<ModuleEntry>(library->resolve(kModuleEntry));
    if (!entry) {
        const QString error = library->errorString();
        delete library;
        notInstalled(QStringLiteral("its bridge module could not be loaded (%1).").arg(error));
    }
    Module* module = entry(kModuleVersion);
    if (!module)
        notInstalled(
            QStringLiteral("its bridge module %1 belongs to another version of the program.").arg(path));
    loaded.emplace(path, module);
    return *module;
}

} // namespace

Settings settings() {
    return currentSettings();
}
void setSettings(const Settings& settings) {
    currentSettings() = settings;
}

QString programPath() {
    const QString configured = currentSettings().program;
    if (!configured.isEmpty())
        return QFileInfo(configured).isExecutable() ? configured : QStandardPaths::findExecutable(configured);
    const QString installed = kProgramDir + QStringLiteral("/soffice");
    if (QFileInfo(installed).isExecutable())
        return installed;
    return QStandardPaths::findExecutable(QStringLiteral("soffice"));
}

QString modulePath() {
    const QString configured = qEnvironmentVariable("TALLYCLOCK_OFFICE_MODULE");
    if (!configured.isEmpty())
        return configured;
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + kModuleFile;
}

QString moduleError() {
    try {
        loadModule(modulePath());
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    }
    return {};
}

std::unique_ptr<SpreadsheetApplication> startCalc() {
    Settings resolved = currentSettings();
    resolved.program = programPath();
    if (resolved.program.isEmpty())
        notInstalled(QStringLiteral("the office program was not found."));
    return loadModule(modulePath()).startCalc(resolved);
}

} // namespace LibreOffice
