#pragma once

#include <QDateTime>
#include <QProcess>
#include <QString>
#include <memory>
#include <vector>

// Several punch terminals (tallyclock-punch-terminal, beside the calling program) punching persons
// P0 ... P(n-1) at random against one database: the concurrency tests and the benchmark run them.
class Terminals {
public:
    struct Run {
        int terminals = 4;
        int persons = 3;
        int punchesEach = 0; // 0: no limit
        double seconds = 0;  // 0: no limit
        // Each punch of each terminal with a clock time of its own (needs punchesEach).
        bool uniqueTimes = false;
        // Between two punches a terminal waits a random 0 to 2 x pauseMs milliseconds, as people
        // come to the clock one after the other; 0: punches back to back.
        int pauseMs = 0;
        // On a server: terminal W keeps its journal under this folder's terminal-W (as its own
        // $XDG_DATA_HOME), so that each has its own, as on separate computers; "" leaves it alone.
        QString journalHomes = {};
    };

    struct Punch {
        int terminal = 0;
        QString person;
        bool in = false;
        QString time;
        double milliseconds = 0;
        // written, saved-here (in the terminal's journal, the server away), already-in, not-yet-in, or
        // "error " and the box's text
        QString outcome;
        bool failed() const { return outcome.startsWith(QLatin1String("error")); }
        bool written() const { return outcome == QLatin1String("written"); }
        bool savedHere() const { return outcome == QLatin1String("saved-here"); }
    };

    Terminals(const Run& run, const QProcessEnvironment& environment);
    ~Terminals();
    Terminals(const Terminals&) = delete;
    Terminals& operator=(const Terminals&) = delete;

    // Starts every terminal, waits until each has loaded its window, then lets them all go at once.
    // False (with the reason in error()) when one did not get ready.
    bool start();
    // Reads what the terminals print until `punches` punches were acknowledged in all, or all have
    // ended. False when the time ran out first.
    bool waitForPunches(int punches, int timeoutMs);
    // False when the time ran out, a terminal did not end normally or printed what is no punch.
    bool waitForEnd(int timeoutMs);
    // kill -9 on every terminal, in the middle of whatever it does.
    void killAll();

    const std::vector<Punch>& punches() const { return m_punches; }
    // With unique times: the clock time of the punch a terminal had begun and not acknowledged.
    QString timeOfPunchInFlight(int terminal) const;
    QString error() const { return m_error; }

    // With unique times, terminal W's punch i shows minute W * punchesEach + i of this day.
    static QDateTime firstMinute() { return QDateTime(QDate(2026, 3, 5), QTime(0, 0)); }

private:
    void readOutput();
    bool anyRunning() const;

    Run m_run;
    std::vector<std::unique_ptr<QProcess>> m_processes;
    std::vector<QByteArray> m_partial;
    std::vector<int> m_acknowledged;
    std::vector<Punch> m_punches;
    QString m_error;
};
