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

    void Form_Load();
    void PushButton1_Click(); // search
    void PushButton2_Click(); // save the checked rows as text
    void PushButton3_Click(); // close
    void PushButton4_Click(); // send the checked rows to the spreadsheet program

    QDateEdit* fromDate;
    QDateEdit* toDate;
    QLineEdit* txtNumber;
    QComboBox* cmbWhat;
    PushButton* PushButton1;
    ListView* ListView1;
    PushButton* PushButton2;
    PushButton* PushButton3;
    PushButton* PushButton4;

public slots:
    void reject() override;

private:
    void buildControls();

    MousePointer* m_pointer;
    SaveDialog* m_saveDialog;
};
