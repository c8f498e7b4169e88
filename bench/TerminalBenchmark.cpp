#include "TerminalBenchmark.h"

#include "core/Globals.h"
#include "core/MainWindow.h"
#include "data/AttendanceDatabase.h"
#include "terminal/Banner.h"
#include "terminal/Keypad.h"
#include "terminal/TerminalSettings.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <cstdio>

namespace {

// Counts the banner's paint events: "painted" is the first one after the read.
class PaintWatch : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return QObject::eventFilter(watched, event);
    }
    int paints = 0;
};

QString badgeOf(int person) {
    return QStringLiteral("7%1").arg(person, 5, 10, QLatin1Char('0'));
}

// The keys of a reader set to US: the digit row's X keycodes, all at once, then Enter.
void typeBadge(const QString& code) {
    for (const QChar c : code) {
        const quint32 keycode = c == QLatin1Char('0') ? 19 : 9 + quint32(c.digitValue());
        QKeyEvent press(QEvent::KeyPress, Qt::Key_0 + c.digitValue(), Qt::NoModifier, keycode, 0, 0, c);
        QApplication::sendEvent(QApplication::focusWidget(), &press);
    }
}

// Milliseconds from `act` until the banner has painted after it.
double untilPainted(PaintWatch& watch, const std::function<void()>& act) {
    const int before = watch.paints;
    QElapsedTimer clock;
    clock.start();
    act();
    while (watch.paints == before && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

void pressEnter() {
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, 36, 0, 0, QStringLiteral("\r"));
    QApplication::sendEvent(QApplication::focusWidget(), &enter);
}

} // namespace

void measureTerminal(std::vector<Row>& rows, int persons, double hashMs) {
    constexpr int kReads = 1000;
    for (const bool withPassword : {false, true}) {
        Terminal::Settings settings;
        settings.kiosk = true;
        settings.repeatSeconds = 0; // every read punches: the figure is the punch's
        settings.badgeNeedsPassword = withPassword;
        Terminal::setCurrent(settings);
        MainWindow window;
        window.start();
        if (!withPassword) {
            std::fprintf(stderr, "giving %d persons a badge (not measured)...\n", persons);
            for (int p = 1; p <= persons; ++p)
                Globals::connection().setBadge(QStringLiteral("E%1").arg(p, 4, 10, QLatin1Char('0')),
                                               badgeOf(p));
        }
        window.present();
        QApplication::setActiveWindow(&window);
        window.findChild<QLineEdit*>(QStringLiteral("numberBox"))->setFocus();
        QCoreApplication::processEvents();
        auto* banner = window.findChild<Banner*>(QStringLiteral("banner"));
        PaintWatch watch;
        banner->installEventFilter(&watch);
        std::vector<double> reads;
        std::vector<double> prompts;
        for (int i = 0; i < (withPassword ? kReads / 10 : kReads); ++i) {
            const int person = 1 + i % persons;
            typeBadge(badgeOf(person));
            if (!withPassword) {
                reads.push_back(untilPainted(watch, pressEnter));
                continue;
            }
            prompts.push_back(untilPainted(watch, pressEnter));
            window.findChild<QLineEdit*>(QStringLiteral("passwordBox"))
                ->setText(QStringLiteral("pw%1").arg(person));
            reads.push_back(untilPainted(
                watch, [&] { window.findChild<QPushButton*>(QStringLiteral("keypadOK"))->click(); }));
        }
        if (banner->kind() != Banner::Kind::Done)
            std::fprintf(stderr, "terminal: the last read ended in \"%s\"\n", qPrintable(banner->message()));
        if (!withPassword) {
            rows.push_back(
                {QStringLiteral("badge read: Enter to banner painted, median (%1 reads)").arg(kReads),
                 ms(median(reads)), QStringLiteral("<= 50 ms"), median(reads) <= 50.0});
            rows.push_back({QStringLiteral("the same, 99th percentile"), ms(percentile(reads, 0.99)),
                            QStringLiteral("reference"), true});
        } else {
            const double target = 50.0 + hashMs;
            rows.push_back({QStringLiteral("badge read asking the password: Enter to prompt painted, median"),
                            ms(median(prompts)), QStringLiteral("<= 50 ms"), median(prompts) <= 50.0});
            rows.push_back(
                {QStringLiteral("the password's OK to banner painted, median (%1 reads)").arg(reads.size()),
                 ms(median(reads)), QStringLiteral("<= 50 ms + one hash (%1)").arg(ms(target)),
                 median(reads) <= target});
            rows.push_back({QStringLiteral("the same, 99th percentile"), ms(percentile(reads, 0.99)),
                            QStringLiteral("reference"), true});
        }
        Terminal::setCurrent({});
        // Without an administrator's number typed, a terminal would refuse to close.
        window.findChild<QLineEdit*>(QStringLiteral("numberBox"))->setText(QStringLiteral("E0001"));
        window.findChild<QLineEdit*>(QStringLiteral("passwordBox"))->setText(QStringLiteral("pw1"));
        window.close();
    }
}
