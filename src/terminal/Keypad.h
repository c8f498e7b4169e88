#pragma once

#include <QPointer>
#include <QWidget>

class QLineEdit;

// The on-screen keypad of a terminal without a keyboard: digits, backspace and OK. The keys take no
// focus, so they type into whichever of the boxes has it (the first box when neither has).
class Keypad : public QWidget {
    Q_OBJECT
public:
    Keypad(QLineEdit* first, QLineEdit* second, QWidget* parent = nullptr);

signals:
    // OK was pressed.
    void submitted();

private:
    QLineEdit* target() const;
    void type(const QString& digit);
    void backspace();

    QPointer<QLineEdit> m_first;
    QPointer<QLineEdit> m_second;
};
