#pragma once

#include <QDialog>
#include <QString>
#include <array>

class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class MousePointer;
class PushButton;

// The person editor: adds a person (mEmployeeID "") or changes the person with number mEmployeeID.
class Form3 : public QDialog {
    Q_OBJECT
public:
    explicit Form3(QWidget* parent = nullptr);

    // The person number the editor was opened for; "" for a new person. Set before showModal().
    QString mEmployeeID;

    // Form_Load, then the modal loop.
    int showModal();

    void Form_Load();
    // Fills the boxes from the stored person mEmployeeID.
    void loadEmployeeInfo();
    void PushButton1_Click(); // Save
    void PushButton2_Click(); // Cancel

    MousePointer* mousePointer() const { return m_pointer; }

    QLineEdit* Text1;      // person number
    QLineEdit* Text2;      // password
    QLineEdit* Text3;      // full name
    QLineEdit* Text4;      // department
    QLineEdit* Text5;      // position
    QLineEdit* Text6;      // password, retyped
    QRadioButton* Option1; // administrator: Yes
    QRadioButton* Option2; // administrator: No
    // Shown only while the person's number is refused after too many wrong passwords; ticked, the
    // save lets it log in again at once.
    QCheckBox* Check1;
    PushButton* PushButton1;
    PushButton* PushButton2;
    // The caption array; index 5 is "Administrator:", 6 "Retype:".
    std::array<QLabel*, 7> Label3{};

public slots:
    // Esc and the title bar's close button press "Cancel".
    void reject() override;

signals:
    // A person was saved; an open persons window rebuilds its list. A failure of the receiver is
    // reported by the saving step (see ErrorTrap::relay).
    void personsChanged();

private:
    void buildControls();

    MousePointer* m_pointer;
};
