#include "core/Where.h"

#include "core/Main.h"

namespace {

struct Tags {
    const char* window;
    const char* handler;
};

// Every case is listed, so that a new handler without a tag does not compile (-Wswitch).
Tags tags(Where where) {
    switch (where) {
    case Where::MainStart:
        return {"Form1", "Form_Load"};
    case Where::MainRelease:
        return {"Form1", "Form_QueryUnload"};
    case Where::MainTick:
        return {"Form1", "Timer1_Timer"};
    case Where::Punch:
        return {"Form1", "PushButton1_Click"};
    case Where::OpenPersons:
        return {"Form1", "PushButton2_Click"};
    case Where::OpenReports:
        return {"Form1", "PushButton3_Click"};
    case Where::OpenFormats:
        return {"Form1", "PushButton4_Click"};
    case Where::TerminalPunch:
        return {"Terminal", "punch"};
    case Where::BadgePunch:
        return {"Terminal", "badge"};
    case Where::TerminalClose:
        return {"Terminal", "close"};
    case Where::PersonsStart:
        return {"Form2", "Form_Load"};
    case Where::AddPerson:
        return {"Form2", "PushButton1_Click"};
    case Where::DeletePerson:
        return {"Form2", "PushButton2_Click"};
    case Where::UpdatePerson:
        return {"Form2", "PushButton3_Click"};
    case Where::ClosePersons:
        return {"Form2", "PushButton4_Click"};
    case Where::EditorStart:
        return {"Form3", "Form_Load"};
    case Where::EditorLoadPerson:
        return {"Form3", "loadEmployeeInfo"};
    case Where::EditorSave:
        return {"Form3", "PushButton1_Click"};
    case Where::EditorCancel:
        return {"Form3", "PushButton2_Click"};
    case Where::ReportsStart:
        return {"Form4", "Form_Load"};
    case Where::Search:
        return {"Form4", "PushButton1_Click"};
    case Where::CloseReports:
        return {"Form4", "PushButton2_Click"};
    case Where::ViewAll:
        return {"Form4", "PushButton3_Click"};
    case Where::ClearResults:
        return {"Form4", "PushButton5_Click"};
    case Where::DeleteRecord:
        return {"Form4", "PushButton6_Click"};
    case Where::SaveReportText:
        return {"Form4", "PushButton4_Click"};
    case Where::SaveReportWorkbook:
        return {"Form4", "PushButton11_Click"};
    case Where::SendReportToSpreadsheet:
        return {"Form4", "PushButton13_Click"};
    case Where::OpenHours:
        return {"Form4", "PushButton7_Click"};
    case Where::CorrectRecord:
        return {"Form4", "PushButton8_Click"};
    case Where::AddRecord:
        return {"Form4", "PushButton9_Click"};
    case Where::OpenAudit:
        return {"Form4", "PushButton10_Click"};
    case Where::FormatStart:
        return {"Form5", "Form_Load"};
    case Where::FormatSave:
        return {"Form5", "PushButton4_Click"};
    case Where::FormatCancel:
        return {"Form5", "PushButton1_Click"};
    case Where::RecordEditorStart:
        return {"RecordEditor", "Form_Load"};
    case Where::RecordEditorSave:
        return {"RecordEditor", "PushButton1_Click"};
    case Where::RecordEditorCancel:
        return {"RecordEditor", "PushButton2_Click"};
    case Where::AuditStart:
        return {"AuditWindow", "Form_Load"};
    case Where::AuditSearch:
        return {"AuditWindow", "PushButton1_Click"};
    case Where::AuditSaveText:
        return {"AuditWindow", "PushButton2_Click"};
    case Where::AuditClose:
        return {"AuditWindow", "PushButton3_Click"};
    case Where::AuditSpreadsheet:
        return {"AuditWindow", "PushButton4_Click"};
    case Where::HoursStart:
        return {"Hours", "load"};
    case Where::HoursShow:
        return {"Hours", "showTotals"};
    case Where::HoursOpenPerson:
        return {"Hours", "openPerson"};
    case Where::HoursSaveText:
        return {"Hours", "saveText"};
    case Where::HoursSaveCsv:
        return {"Hours", "saveCsv"};
    case Where::HoursSaveTimesheets:
        return {"Hours", "saveTimesheets"};
    case Where::HoursSpreadsheet:
        return {"Hours", "sendToSpreadsheet"};
    case Where::HoursSaveWorkbook:
        return {"Hours", "saveWorkbook"};
    case Where::HoursRules:
        return {"Hours", "showRules"};
    case Where::RulesSave:
        return {"Rules", "save"};
    }
    return {"", ""};
}

} // namespace

QString locationTag(Where where) {
    const Tags t = tags(where);
    return Main::kTagPrefix + QLatin1String(t.window) + QLatin1Char('.') + QLatin1String(t.handler);
}
