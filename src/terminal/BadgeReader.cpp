#include "terminal/BadgeReader.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QWidget>
#include <array>
#include <cstring>
#include <memory>

namespace {

// The digit row and the three letter rows of a keyboard, by X keycode (evdev code + 8).
struct KeyRow {
    quint32 first;
    const char* characters;
};
constexpr std::array<KeyRow, 4> kRows = {{
    {10, "1234567890"},
    {24, "qwertyuiop"},
    {38, "asdfghjkl"},
    {52, "zxcvbnm"},
}};

} // namespace

BadgeReader::BadgeReader(QWidget* window, int gapMs, QObject* parent)
    : QObject(parent), m_window(window), m_gapMs(gapMs) {
    auto steady = std::make_shared<QElapsedTimer>();
    steady->start();
    m_clock = [steady] { return steady->elapsed(); };
    m_overdue.setSingleShot(true);
    m_overdue.setInterval(gapMs + 1);
    connect(&m_overdue, &QTimer::timeout, this, &BadgeReader::flushIfOverdue);
    qApp->installEventFilter(this);
}

BadgeReader::~BadgeReader() {
    qApp->removeEventFilter(this);
}

std::optional<QChar> BadgeReader::decode(quint32 nativeScanCode, Qt::KeyboardModifiers modifiers,
                                         const QString& text) {
    if (modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return std::nullopt;
    if (nativeScanCode == 0) {
        if (text.size() == 1 && text[0].unicode() < 128 && text[0].isLetterOrNumber())
            return text[0];
        return std::nullopt;
    }
    for (const KeyRow& row : kRows) {
        const quint32 length = static_cast<quint32>(std::strlen(row.characters));
        if (nativeScanCode >= row.first && nativeScanCode < row.first + length) {
            const QChar c = QLatin1Char(row.characters[nativeScanCode - row.first]);
            return c.isLetter() && (modifiers & Qt::ShiftModifier) ? c.toUpper() : c;
        }
    }
    return std::nullopt;
}

bool BadgeReader::inWindow(QObject* watched) const {
    const auto* widget = qobject_cast<QWidget*>(watched);
    return widget && m_window && widget->window() == m_window;
}

bool BadgeReader::eventFilter(QObject* watched, QEvent* event) {
    if (m_replaying || event->type() != QEvent::KeyPress || !inWindow(watched))
        return QObject::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    const qint64 now = m_clock();
    if (!m_held.empty() && now - m_lastKeyAt > m_gapMs)
        release(); // the pause was a person's: what came before was typing
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    if (enter && !m_held.empty()) {
        if (m_code.size() >= kShortestCode) {
            const QString code = m_code;
            m_held.clear();
            m_code.clear();
            m_overdue.stop();
            emit badgeRead(code);
            return true;
        }
        release();
        return QObject::eventFilter(watched, event);
    }
    const std::optional<QChar> decoded =
        key->isAutoRepeat() ? std::nullopt : decode(key->nativeScanCode(), key->modifiers(), key->text());
    if (!decoded) {
        release();
        return QObject::eventFilter(watched, event);
    }
    hold(watched, *key, *decoded);
    m_lastKeyAt = now;
    return true;
}

void BadgeReader::hold(QObject* target, const QKeyEvent& key, QChar decoded) {
    m_held.push_back({target, key.key(), key.modifiers(), key.text(), key.nativeScanCode(),
                      key.nativeVirtualKey(), key.nativeModifiers()});
    m_code.append(decoded);
    m_overdue.start();
}

void BadgeReader::flushIfOverdue() {
    if (m_held.empty())
        return;
    if (m_clock() - m_lastKeyAt > m_gapMs)
        release();
    else
        m_overdue.start();
}

void BadgeReader::release() {
    m_overdue.stop();
    std::vector<HeldKey> held;
    held.swap(m_held);
    m_code.clear();
    m_replaying = true;
    for (const HeldKey& k : held) {
        if (!k.target)
            continue;
        QKeyEvent press(QEvent::KeyPress, k.key, k.modifiers, k.scanCode, k.virtualKey, k.nativeModifiers,
                        k.text);
        QApplication::sendEvent(k.target, &press);
        if (!k.target)
            continue;
        QKeyEvent up(QEvent::KeyRelease, k.key, k.modifiers, k.scanCode, k.virtualKey, k.nativeModifiers,
                     k.text);
        QApplication::sendEvent(k.target, &up);
    }
    m_replaying = false;
}
