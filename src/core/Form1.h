#pragma once

#include <QDate>
#include <QWidget>
#include <memory>

class InstanceLock;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QTimer;
class ListView;
class MousePointer;
class PushButton;
class SkinFramework;

// The main window: the clock, the punch panel, the administrator buttons and today's list.
// Its handlers live with the subsystem that owns them (clock/ for the punch, the list, the
// clock tick and the administrator gate, formats/ for the Format button).
class Form1 : public QWidget {
    Q_OBJECT
public:
    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

    // Start-up: folders, template copy, dressing, connection, first tick, today's list.
    void Form_Load();
    // Closing: close and release the connection.
    void Form_QueryUnload();
    // Ends the program.
    void Form_Unload();

    // Today's records, by the day the date label shows.
    void listLogins();
    // Redraws the date and time labels from the current settings.
    void Timer1_Timer();

    void PushButton1_Click(); // punch in or out
    void PushButton2_Click(); // persons, behind the administrator gate
    void PushButton3_Click(); // reports, behind the administrator gate
    void PushButton4_Click(); // the format window

    void Option1_Click();
    void Option2_Click();

    // The calendar day the date label was made from; invalid while the label is empty.
    QDate shownDate() const { return m_shownDate; }

    MousePointer* mousePointer() const { return m_pointer; }

    // Paths of the data folder and its files, from the shared common folder.
    static QString makerFolder();
    static QString dataFolder();
    static QString liveDatabasePath();

    QGroupBox* Frame1;
    QLabel* lblDate;
    QLabel* lblTime;
    PushButton* PushButton4;
    QTimer* Timer1;
    QGroupBox* Frame2;
    QRadioButton* Option1;
    QRadioButton* Option2;
    QLabel* Label3_0;
    QLineEdit* Text1;
    QLabel* Label3_1;
    QLineEdit* Text2;
    PushButton* PushButton1;
    PushButton* PushButton2;
    PushButton* PushButton3;
    ListView* ListView1;
    SkinFramework* SkinFramework1;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();

    MousePointer* m_pointer;
    QDate m_shownDate;
    bool m_tickFailing = false;
    std::unique_ptr<InstanceLock> m_instanceLock;
};
