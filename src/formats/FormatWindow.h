#pragma once

#include <QDialog>

class QButtonGroup;
class QGroupBox;
class QRadioButton;
class MousePointer;
class PushButton;

// "Format": chooses the clock's date and time formats. The choice lives only in the settings
// store; the clock reads it again at its next tick.
class FormatWindow : public QDialog {
    Q_OBJECT
public:
    explicit FormatWindow(QWidget* parent = nullptr);

    // Loads the stored choices and shows the window modally until it closes.
    int showModal();

    void start();
    void save();   // Save
    void cancel(); // Cancel

    MousePointer* mousePointer() const { return m_pointer; }

    // Esc and the window's close box run Cancel.
    void reject() override;

private:
    QGroupBox* dateFrame;
    QRadioButton* monthFirstOption;
    QRadioButton* dayFirstOption;
    QGroupBox* timeFrame;
    QRadioButton* militaryOption;
    QRadioButton* twelveHourOption;
    PushButton* saveButton;
    PushButton* cancelButton;

    void buildControls();

    MousePointer* m_pointer;
    QButtonGroup* m_dateGroup;
    QButtonGroup* m_timeGroup;
};
