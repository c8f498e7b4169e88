#pragma once

#include <QKeyEvent>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <functional>
#include <optional>
#include <vector>

class QWidget;

// Recognises a badge reader that types like a keyboard: a burst of characters, each key within the
// gap of the one before, ended by Enter. Installed on the application, it sees the keys meant for any
// widget of one window before they arrive, so that a read is never lost to whatever box has focus.
// The keys of a burst are held back until it is clear what they are: a read leaves no character in
// any box, while keys that turn out to be typing (a pause longer than the gap, too few characters, or
// another key) reach their widget as they were pressed, only a gap later.
class BadgeReader : public QObject {
    Q_OBJECT
public:
    // The fewest characters a read has; fewer ended by Enter are typing.
    static constexpr int kShortestCode = 3;

    BadgeReader(QWidget* window, int gapMs, QObject* parent = nullptr);
    ~BadgeReader() override;

    // The character of a key of the digit row or a letter, from the key's physical position (the
    // keycode of X11 and Wayland, evdev + 8), as a US layout gives it: so a reader on an AZERTY or QWERTZ
    // computer reads the same code. Letters are capitals with Shift. Where the platform gives no
    // keycode (0), the key's text when it is one ASCII letter or digit. None for any other key.
    static std::optional<QChar> decode(quint32 nativeScanCode, Qt::KeyboardModifiers modifiers,
                                       const QString& text);

    // Milliseconds from a steady clock; tests step their own.
    void setClock(std::function<qint64()> clock) { m_clock = std::move(clock); }
    // Hands the held keys to their widgets now when the last came longer than the gap ago.
    void flushIfOverdue();

signals:
    void badgeRead(const QString& code);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct HeldKey {
        QPointer<QObject> target;
        int key;
        Qt::KeyboardModifiers modifiers;
        QString text;
        quint32 scanCode;
        quint32 virtualKey;
        quint32 nativeModifiers;
    };

    bool inWindow(QObject* watched) const;
    void hold(QObject* target, const QKeyEvent& key, QChar decoded);
    // Sends the held keys, press and release, to the widgets they were meant for.
    void release();

    QPointer<QWidget> m_window;
    int m_gapMs;
    std::function<qint64()> m_clock;
    QTimer m_overdue;
    std::vector<HeldKey> m_held;
    QString m_code;
    qint64 m_lastKeyAt = 0;
    bool m_replaying = false;
};
