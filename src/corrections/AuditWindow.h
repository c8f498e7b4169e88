#pragma once

#include <QDialog>

class ListView;
class MousePointer;
class PushButton;
class QComboBox;
class QDateEdit;
class QLineEdit;
class SaveDialog;

// The audit trail for administrators: every change made to records and persons, newest first,
// filtered by period, person and kind of change; the checked rows are saved as text or sent to the
// spreadsheet program like the reports list.
class AuditWindow : public QDialog {
    Q_OBJECT
public:
    explicit AuditWindow(QWidget* parent = nullptr);

    // Loads the window (the last seven days), then shows it modally.
    int showModal();

    void start();
    void search();            // search
    void saveAsText();        // save the checked rows as text
    void closeWindow();       // close
    void sendToSpreadsheet(); // send the checked rows to the spreadsheet program

public slots:
    void reject() override;

private:
    QDateEdit* fromDate;
    QDateEdit* toDate;
    QLineEdit* numberBox;
    QComboBox* kindBox;
    PushButton* searchButton;
    ListView* auditList;
    PushButton* saveTextButton;
    PushButton* closeButton;
    PushButton* spreadsheetButton;

    void buildControls();

    MousePointer* m_pointer;
    SaveDialog* m_saveDialog;
};
