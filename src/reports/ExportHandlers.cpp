#include "reports/Form4.h"

void Form4::PushButton4_Click() {
    // The exports arrive with their own change.
}

void Form4::PushButton13_Click() {
    // The exports arrive with their own change.
}

bool Form4::SaveResultsAsExcelFileIsExcelInstalled() {
    // The exports arrive with their own change.
    return false;
}
