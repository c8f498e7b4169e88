#pragma once

#include <QFrame>
#include <QString>
#include <QTimer>

class QLabel;

// The outcome of a punch at a terminal, large across the main window instead of a box that someone
// must click away: a symbol and a word as well as a colour, and an alert for screen readers. A
// confirmation or a refusal clears itself after a few seconds; whatever comes next replaces it at
// once. A fault of the system stays until the next successful punch (a refusal shows over it for its
// few seconds, then the fault again).
class Banner : public QFrame {
    Q_OBJECT
public:
    enum class Kind { Empty, Done, Refused, Prompt, Fault };

    explicit Banner(QWidget* parent = nullptr);

    void setSeconds(int seconds) { m_timer.setInterval(seconds * 1000); }

    // A punch written: `headline` is "In" or "Out", `detail` the person, the time and the hours.
    void showDone(const QString& headline, const QString& detail);
    // A punch refused, with the reason.
    void showRefused(const QString& reason);
    // What the person is to do next (a badge read that still asks for the password).
    void showPrompt(const QString& text);
    // The system itself failed (database unreachable, disk full).
    void showFault(const QString& description);
    void clear();

    Kind kind() const { return m_kind; }
    // What the banner says, as a screen reader hears it; "" when empty.
    QString message() const;

private:
    void present(Kind kind, const QString& symbol, const QString& headline, const QString& detail);
    void expire();

    QLabel* m_symbol;
    QLabel* m_headline;
    QLabel* m_detail;
    QTimer m_timer;
    Kind m_kind = Kind::Empty;
    QString m_fault; // the fault that stands until the next successful punch
};
