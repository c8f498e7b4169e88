#pragma once

#include <QString>

// The handler a failure happened in, as the error box names it: "in Tallyclock2021/08/31.Form1.Form_Load
// at line 110". Support staff read these tags and users keep screenshots of them, so they are data
// (the table in Where.cpp), never made from the code's own names: renaming a window or a handler can
// never change a box.
enum class Where {
    // The main window.
    MainStart,
    MainRelease,
    MainTick,
    Punch,
    OpenPersons,
    OpenReports,
    OpenFormats,
    // The main window as a terminal.
    TerminalPunch,
    BadgePunch,
    TerminalClose,
    // The persons window and the person editor.
    PersonsStart,
    AddPerson,
    DeletePerson,
    UpdatePerson,
    ClosePersons,
    EditorStart,
    EditorLoadPerson,
    EditorSave,
    EditorCancel,
    // The reports window.
    ReportsStart,
    Search,
    CloseReports,
    ViewAll,
    ClearResults,
    DeleteRecord,
    SaveReportText,
    SaveReportWorkbook,
    SendReportToSpreadsheet,
    OpenHours,
    CorrectRecord,
    AddRecord,
    OpenAudit,
    // The format window.
    FormatStart,
    FormatSave,
    FormatCancel,
    // The record editor and the audit window.
    RecordEditorStart,
    RecordEditorSave,
    RecordEditorCancel,
    AuditStart,
    AuditSearch,
    AuditSaveText,
    AuditClose,
    AuditSpreadsheet,
    // The hours window.
    HoursStart,
    HoursShow,
    HoursOpenPerson,
    HoursSaveText,
    HoursSaveCsv,
    HoursSaveTimesheets,
    HoursSpreadsheet,
    HoursSaveWorkbook,
    HoursRules,
    // The pay rules window.
    RulesSave,
};

// "Tallyclock2021/08/31." followed by the window's and the handler's tags.
QString locationTag(Where where);
