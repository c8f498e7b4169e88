#pragma once

#include "platform/Spreadsheet.h"

#include <QString>
#include <QStringList>
#include <memory>

// LibreOffice Calc as the spreadsheet program. The program itself does not link the office: the
// UNO bridge lives in a module of its own (libtallyclock-office.so beside the program) that is
// loaded on the first spreadsheet export. Without the module, or without the office runtime it
// needs, the export finds the spreadsheet program missing and everything else works.
namespace LibreOffice {

struct Settings {
    QString program;            // the office's start program; empty: soffice of the installed office
    QStringList extraArguments; // tests add --headless and a private -env:UserInstallation=…
    QString pipeName;           // the pipe the office accepts on; empty: a new name for every start
    int startTimeoutMs = 60000; // a first start with a new profile takes a while
    int callTimeoutMs = 30000;  // any one call into the office, e.g. while a dialog of its own is open
};
Settings settings();
void setSettings(const Settings& settings);

// The start program that settings() leads to; "" when none is installed.
QString programPath();

// Where the module is looked for: $TALLYCLOCK_OFFICE_MODULE when set, else beside the program.
QString modulePath();
// Why the module cannot be used, or "" when it loads.
QString moduleError();

// The "create object" of the export: loads the module, starts (or joins) the office. Throws
// std::runtime_error.
std::unique_ptr<SpreadsheetApplication> startCalc();

// What the module offers the program. Only Qt and standard types cross the boundary.
class Module {
public:
    // Starts (or joins) the office described by `settings`, whose program is already resolved.
    virtual std::unique_ptr<SpreadsheetApplication> startCalc(const Settings& settings) = 0;

protected:
    ~Module() = default;
};

// The module exports `extern "C" Module* tallyclockOfficeModule(int version)`, which answers
// nullptr when it was built for another version of this interface.
inline constexpr int kModuleVersion = 2;
inline constexpr char kModuleEntry[] = "tallyclockOfficeModule";
using ModuleEntry = Module* (*)(int version);

} // namespace LibreOffice
