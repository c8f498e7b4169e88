#pragma once

#include <QDialog>

class ListView;
class MousePointer;
class PushButton;

// The persons window: everybody in the persons table, with Add, Delete and Update.
class PersonsWindow : public QDialog {
    Q_OBJECT
public:
    explicit PersonsWindow(QWidget* parent = nullptr);

    // start, then the modal loop.
    int showModal();

    void start();
    // Rebuilds the list from the database; failures go to the calling handler.
    void listEmployees();

    void addPerson();    // Add
    void deletePerson(); // Delete
    void updatePerson(); // Update
    void closeWindow();  // Close

    MousePointer* mousePointer() const { return m_pointer; }

public slots:
    // Esc and the title bar's close button press "Close".
    void reject() override;

private:
    ListView* personsList;
    PushButton* addButton;
    PushButton* deleteButton;
    PushButton* updateButton;
    PushButton* closeButton;

    void buildControls();

    MousePointer* m_pointer;
};
