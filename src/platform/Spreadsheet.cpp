#include "platform/Spreadsheet.h"

#include "platform/SpreadsheetOffice.h"

namespace {
Spreadsheet::Starter& starter() {
    static Spreadsheet::Starter current;
    return current;
}
} // namespace

namespace Spreadsheet {

std::unique_ptr<SpreadsheetApplication> start() {
    if (starter())
        return starter()();
    return LibreOffice::startCalc();
}

void setStarter(Starter newStarter) {
    starter() = std::move(newStarter);
}

} // namespace Spreadsheet
