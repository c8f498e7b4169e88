#pragma once

#include "terminal/TerminalSettings.h"

#include <QObject>
#include <QPointer>
#include <QRect>

class Banner;
class BadgeReader;
class Keypad;
class QLineEdit;
class QWidget;

// The main window as a terminal: full screen without decorations and in front of other windows, its
// own controls where they always are (centred), the banner and the on-screen keypad beside them, and
// badge reads recognised wherever the focus is. The window's own handlers decide what a read or the
// keypad's OK does.
class KioskFrame : public QObject {
    Q_OBJECT
public:
    KioskFrame(QWidget* window, QLineEdit* numberBox, QLineEdit* passwordBox,
               const Terminal::Settings& settings);

    Banner* banner() const { return m_banner; }
    Keypad* keypad() const { return m_keypad; }
    BadgeReader* badgeReader() const { return m_reader; }

    // Fills the screen without decorations and stays in front.
    void showFullScreen();

    // The scale that makes the window readable from a metre away: "TerminalScale" in the system-wide
    // settings, 1.5 without it. Applied before the application starts (QT_SCALE_FACTOR), unless the
    // environment names a scale already.
    static void applyScale();

signals:
    void badgeRead(const QString& code);
    // The keypad's OK.
    void submitted();
    // Ctrl+Q.
    void closeAsked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void arrange();

    QPointer<QWidget> m_window;
    QWidget* m_side;
    Banner* m_banner;
    Keypad* m_keypad;
    BadgeReader* m_reader;
    QRect m_content; // the window's own controls, as they were drawn
};
