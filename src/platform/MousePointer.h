#pragma once

#include <QByteArray>
#include <QCursor>
#include <QObject>
#include <QPointer>
#include <QString>
#include <optional>

class QWidget;

// A cursor file in the Windows .cur format, read and checked but not yet decoded.
struct CursorFile {
    QByteArray data;
    int hotX = 0;
    int hotY = 0;
    QString path;
};

// A window's mouse pointer with the classic values: 0 default arrow, 11 hourglass, 99 the window's
// custom pointer. The value doubles as the window's busy flag, so it is kept here rather than read
// back from Qt.
class MousePointer : public QObject {
    Q_OBJECT
public:
    static constexpr int Default = 0;
    static constexpr int Hourglass = 11;
    static constexpr int Custom = 99;

    explicit MousePointer(QWidget* window);

    int value() const { return m_value; }
    void setValue(int value);
    bool isBusy() const { return m_value == Hourglass; }

    // Loads a Windows .cur file as the custom pointer; throws std::runtime_error when it is
    // missing or no cursor file.
    void loadMouseIcon(const QString& path);
    bool hasMouseIcon() const { return m_iconFile.has_value(); }

    // Moving the mouse over `widget` selects the custom pointer (push buttons) or the default one
    // (the window, frames, lists, text boxes); neither happens while the hourglass shows.
    void handOver(QWidget* widget);
    void arrowOver(QWidget* widget);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void moveOver(int value);

    QPointer<QWidget> m_window;
    int m_value = Default;
    std::optional<CursorFile> m_iconFile;
    std::optional<QCursor> m_icon;
};

// Each throws std::runtime_error with a description when the file is missing or no cursor.
CursorFile readCursorFile(const QString& path);
QCursor decodeCursor(const CursorFile& file);
// Reads and decodes a cursor with its hotspot.
QCursor loadCursorFile(const QString& path);
