#pragma once

#include "data/DatabaseEngine.h"

#include <QDialog>
#include <optional>

class MousePointer;
class PushButton;
class QLineEdit;

// An administrator's record editor: corrects the date and times of one record, or adds a record a
// person forgot to punch. Times are typed as the clock shows them and stored in that form.
class RecordEditor : public QDialog {
    Q_OBJECT
public:
    explicit RecordEditor(QWidget* parent = nullptr);

    // Before showing: the record to correct, or none for a new record.
    std::optional<qint64> recordId;
    // The record as the list that chose it shows it (texts of its columns). The editor opens only
    // when the record is still that one, and saves only when it has not changed since it opened.
    struct Listed {
        QString number;
        QString day;
        QString timeIn;
        QString timeOut;
    };
    std::optional<Listed> listed;

    // Loads the window (the record's values when correcting), then shows it modally.
    int showModal();

    void start();
    void save();   // save
    void cancel(); // cancel

public slots:
    void reject() override;

private:
    QLineEdit* numberBox;
    QLineEdit* dateBox;
    QLineEdit* timeInBox;
    QLineEdit* timeOutBox;
    PushButton* saveButton;
    PushButton* cancelButton;

    void buildControls();

    MousePointer* m_pointer;
    // The record as it was when the editor opened it; none when it could not be opened.
    std::optional<RecordFields> m_opened;
    bool m_openFailed = false;
};
