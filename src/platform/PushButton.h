#pragma once

#include <QPushButton>

// Stand-in for the vendor push button: Arial bold 11.25 pt, never a default button, and a
// mouse-move event of its own (the windows switch to the hand pointer on it).
class PushButton : public QPushButton {
    Q_OBJECT
public:
    explicit PushButton(const QString& caption, QWidget* parent = nullptr);

    // The vendor control's default property; kept for callers that write it, it changes nothing.
    void setDefaultValue(int value) { m_defaultValue = value; }
    int defaultValue() const { return m_defaultValue; }

signals:
    void mouseMoved();

protected:
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    int m_defaultValue = 0;
};
