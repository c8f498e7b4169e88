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

// The person editor: adds a person (editedNumber "") or changes the person with number editedNumber.
class PersonEditor : public QDialog {
    Q_OBJECT
public:
    explicit PersonEditor(QWidget* parent = nullptr);

    // The person number the editor was opened for; "" for a new person. Set before showModal().
    QString editedNumber;

    // start, then the modal loop.
    int showModal();
    // Presets the administrator choice (the first person of a workplace must be one).
    void chooseAdministrator(bool administrator);

    void start();
    // Fills the boxes from the stored person editedNumber.
    void loadPerson();
    void save();   // Save
    void cancel(); // Cancel

    MousePointer* mousePointer() const { return m_pointer; }

public slots:
    // Esc and the title bar's close button press "Cancel".
    void reject() override;

signals:
    // A person was saved; an open persons window rebuilds its list. A failure of the receiver is
    // reported by the saving step (see ErrorTrap::relay).
    void personsChanged();

private:
    QLineEdit* numberBox;         // person number
    QLineEdit* passwordBox;       // password
    QLineEdit* nameBox;           // full name
    QLineEdit* departmentBox;     // department
    QLineEdit* positionBox;       // position
    QLineEdit* retypeBox;         // password, retyped
    QRadioButton* adminYesOption; // administrator: Yes
    QRadioButton* adminNoOption;  // administrator: No
    // Shown only while the person's number is refused after too many wrong passwords; ticked, the
    // save lets it log in again at once.
    QCheckBox* unlockCheck;
    // The person's badge code, shown as stars; empty for none. Never part of the persons list.
    QLabel* badgeCaption;
    QLineEdit* badgeBox;
    QString m_storedBadge;
    PushButton* saveButton;
    PushButton* cancelButton;
    // The caption array; index 5 is "Administrator:", 6 "Retype:".
    std::array<QLabel*, 7> labels{};

    void buildControls();

    MousePointer* m_pointer;
};
