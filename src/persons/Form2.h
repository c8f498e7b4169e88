#pragma once

#include <QDialog>

class ListView;
class MousePointer;
class PushButton;

// The persons window: everybody in the persons table, with Add, Delete and Update.
class Form2 : public QDialog {
    Q_OBJECT
public:
    explicit Form2(QWidget* parent = nullptr);

    // Form_Load, then the modal loop.
    int showModal();

    void Form_Load();
    // Rebuilds the list from the database; failures go to the calling handler.
    void listEmployees();

    void PushButton1_Click(); // Add
    void PushButton2_Click(); // Delete
    void PushButton3_Click(); // Update
    void PushButton4_Click(); // Close

    MousePointer* mousePointer() const { return m_pointer; }

    ListView* ListView1;
    PushButton* PushButton1;
    PushButton* PushButton2;
    PushButton* PushButton3;
    PushButton* PushButton4;

public slots:
    // Esc and the title bar's close button press "Close".
    void reject() override;

private:
    void buildControls();

    MousePointer* m_pointer;
};
