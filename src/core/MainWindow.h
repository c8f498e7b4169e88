#pragma once

#include <QDate>
#include <QWidget>
#include <memory>
#include <optional>

class InstanceLock;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QThread;
class QTimer;
class ListView;
class MousePointer;
class PushButton;
class SkinFramework;
class KioskFrame;
class TerminalJournal;
namespace TerminalPunch {
class RecentPunches;
}
enum class PunchKind;
class ErrorTrap;

// The main window: the clock, the punch panel, the administrator buttons and today's list.
// Its handlers live with the subsystem that owns them (clock/ for the punch, the list, the
// clock tick and the administrator gate, formats/ for the Format button).
class MainWindow : public QWidget {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Start-up: folders, template copy, dressing, connection, first tick, today's list.
    void start();
    // Closing: close and release the connection.
    void releaseDatabase();
    // Ends the program.
    void endProgram();

    // Today's records, by the day the date label shows.
    void listLogins();
    // Today's records again; on a terminal whose server has gone away the list stays as it was.
    void listLoginsUnlessAway();
    // Redraws the date and time labels from the current settings.
    void tick();

    void punch();       // punch in or out
    void openPersons(); // persons, behind the administrator gate
    void openReports(); // reports, behind the administrator gate
    void openFormats(); // the format window

    void chooseTimeIn();
    void chooseTimeOut();

    // The calendar day the date label was made from; invalid while the label is empty.
    QDate shownDate() const { return m_shownDate; }
    // The texts the clock labels show, as punches store them.
    QString shownDateText() const;
    QString shownTimeText() const;

    MousePointer* mousePointer() const { return m_pointer; }

    // Paths of the data folder and its files, from the shared common folder.
    static QString makerFolder();
    static QString dataFolder();
    static QString liveDatabasePath();

    // Shows the window: as a terminal, full screen, in terminal mode; otherwise as it was drawn.
    void present();

signals:
    // The start-up check of the file (and the day's backup) has finished; a damaged file's box has
    // been shown.
    void fileChecked();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QGroupBox* clockFrame;
    QLabel* dateLabel;
    QLabel* timeLabel;
    PushButton* formatButton;
    QTimer* clockTimer;
    QGroupBox* loginFrame;
    QRadioButton* timeInOption;
    QRadioButton* timeOutOption;
    QLabel* numberCaption;
    QLineEdit* numberBox;
    QLabel* passwordCaption;
    QLineEdit* passwordBox;
    PushButton* punchButton;
    PushButton* personsButton;
    PushButton* reportsButton;
    ListView* todayList;
    SkinFramework* skin;

    void buildControls();
    void checkFileLater(const QString& database);
    // Whether a restore held the database at start and the window still waits for it.
    bool waitingForRestore() const;

    // Terminal mode (terminal/TerminalPunch.cpp): a punch answered in the banner, never in a box.
    void punchAtTerminal();
    void punchBadge(const QString& code);
    // The punch of a person whose number (and password, where asked) passed: the direction given, or
    // none for the one the latest record calls for.
    void punchPerson(ErrorTrap& trap, int firstStep, const QString& number, const QString& name,
                     std::optional<PunchKind> kind);
    // Whether the boxes hold an administrator's number and password, or no administrator exists
    // (clock/AdminGate.cpp). A terminal closes only then.
    bool mayCloseTerminal();
    // A refusal of the administrator gate: in a box, or at a terminal in its banner.
    void refuse(const QString& text);
    // An administrator window opened at a terminal closes when left untouched.
    void closeWhenIdle(QWidget* window);

    KioskFrame* m_kiosk = nullptr;
    std::unique_ptr<TerminalPunch::RecentPunches> m_recentPunches;
    // The number a badge filled in when a password is still asked; its punch takes its direction from
    // the latest record.
    QString m_badgeNumber;

    MousePointer* m_pointer;
    QDate m_shownDate;
    bool m_tickFailing = false;
    std::unique_ptr<InstanceLock> m_instanceLock;
    std::unique_ptr<QThread> m_fileCheck;
    // On a server: the journal every punch goes through first; none on the embedded file.
    QLabel* offlineLabel;
    std::unique_ptr<TerminalJournal> m_journal;
    void startJournal();
};
