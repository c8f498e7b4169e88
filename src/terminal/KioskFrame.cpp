#include "terminal/KioskFrame.h"

#include "data/SettingsStore.h"
#include "terminal/BadgeReader.h"
#include "terminal/Banner.h"
#include "terminal/Keypad.h"

#include <QEvent>
#include <QLineEdit>
#include <QScreen>
#include <QSettings>
#include <QShortcut>
#include <QVBoxLayout>
#include <QWidget>
#include <algorithm>

KioskFrame::KioskFrame(QWidget* window, QLineEdit* numberBox, QLineEdit* passwordBox,
                       const Terminal::Settings& settings)
    : QObject(window), m_window(window) {
    setObjectName(QStringLiteral("kioskFrame"));
    m_content = QRect(QPoint(0, 0), window->size()); // the fixed size it was drawn at
    m_side = new QWidget(window);
    m_side->setObjectName(QStringLiteral("kioskSide"));
    m_banner = new Banner(m_side);
    m_banner->setSeconds(settings.bannerSeconds);
    m_keypad = new Keypad(numberBox, passwordBox, m_side);
    auto* column = new QVBoxLayout(m_side);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(m_banner, 1);
    column->addStretch();
    column->addWidget(m_keypad, 0, Qt::AlignHCenter | Qt::AlignBottom);
    m_reader = new BadgeReader(window, settings.badgeKeyGapMs, this);
    connect(m_reader, &BadgeReader::badgeRead, this, &KioskFrame::badgeRead);
    connect(m_keypad, &Keypad::submitted, this, &KioskFrame::submitted);
    auto* quit = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), window);
    quit->setContext(Qt::WindowShortcut);
    connect(quit, &QShortcut::activated, this, &KioskFrame::closeAsked);
    // The window was drawn at a fixed size; as a terminal it takes the whole screen.
    window->setMinimumSize(0, 0);
    window->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    window->installEventFilter(this);
    arrange();
}

void KioskFrame::showFullScreen() {
    m_window->setWindowFlags(m_window->windowFlags() | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    // Also where no window manager takes the full-screen request (a bare X server).
    if (const QScreen* screen = m_window->screen())
        m_window->setGeometry(screen->geometry());
    m_window->showFullScreen();
}

void KioskFrame::applyScale() {
    if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR"))
        return;
    const QSettings file(QSettings::IniFormat, QSettings::SystemScope, SettingsStore::kApplication,
                         SettingsStore::kApplication);
    bool isNumber = false;
    double scale = file.value(SettingsStore::kSection + QStringLiteral("/TerminalScale"), 1.5)
                       .toString()
                       .toDouble(&isNumber);
    if (!isNumber || scale < 1.0 || scale > 4.0)
        scale = 1.5;
    qputenv("QT_SCALE_FACTOR", QByteArray::number(scale));
}

bool KioskFrame::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_window && event->type() == QEvent::Resize)
        arrange();
    return QObject::eventFilter(watched, event);
}

void KioskFrame::arrange() {
    if (!m_window)
        return;
    // The window's controls keep their places relative to each other, moved as one block so that the
    // block and the side column sit centred on the screen.
    constexpr int kGap = 24;
    const int sideWidth = std::max(m_keypad->sizeHint().width(), 360);
    const int total = m_content.width() + kGap + sideWidth;
    const int left = std::max(kGap, (m_window->width() - total) / 2);
    const int top = std::max(kGap, (m_window->height() - m_content.height()) / 2);
    const QPoint shift = QPoint(left, top) - m_content.topLeft();
    if (!shift.isNull()) {
        for (QObject* child : m_window->children()) {
            auto* widget = qobject_cast<QWidget*>(child);
            if (widget && widget != m_side && !widget->isWindow())
                widget->move(widget->pos() + shift);
        }
        m_content.translate(shift);
    }
    m_side->setGeometry(m_content.right() + kGap, m_content.top(), sideWidth, m_content.height());
}
