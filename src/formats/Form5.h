#pragma once

#include <QDialog>

class QButtonGroup;
class QGroupBox;
class QRadioButton;
class MousePointer;
class PushButton;

// "Format": chooses the clock's date and time formats. The choice lives only in the settings
// store; the clock reads it again at its next tick.
class Form5 : public QDialog {
    Q_OBJECT
public:
    explicit Form5(QWidget* parent = nullptr);

    // Loads the stored choices and shows the window modally until it closes.
    int showModal();

    void Form_Load();
    void PushButton4_Click(); // Save
    void PushButton1_Click(); // Cancel

    MousePointer* mousePointer() const { return m_pointer; }

    QGroupBox* Frame1;
    QRadioButton* Option1;
    QRadioButton* Option2;
    QGroupBox* Frame2;
    QRadioButton* Option4;
    QRadioButton* Option3;
    PushButton* PushButton4;
    PushButton* PushButton1;

    // Esc and the window's close box run Cancel.
    void reject() override;

private:
    void buildControls();

    MousePointer* m_pointer;
    QButtonGroup* m_dateGroup;
    QButtonGroup* m_timeGroup;
};
