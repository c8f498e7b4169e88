#pragma once

#include <QString>
#include <memory>

class QWidget;

// A small window that says what the program is busy with while it does work that holds up the
// screen for seconds (nothing is drawn meanwhile, so the text is painted once, before the work).
// Shows nothing without a screen (the command line) and closes when it goes out of scope.
class BusyNotice {
public:
    explicit BusyNotice(const QString& text);
    ~BusyNotice();
    BusyNotice(const BusyNotice&) = delete;
    BusyNotice& operator=(const BusyNotice&) = delete;

private:
    std::unique_ptr<QWidget> m_window;
};
