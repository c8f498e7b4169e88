#include "terminal/Keypad.h"

#include <QGridLayout>
#include <QLineEdit>
#include <QPushButton>

Keypad::Keypad(QLineEdit* first, QLineEdit* second, QWidget* parent)
    : QWidget(parent), m_first(first), m_second(second) {
    setObjectName(QStringLiteral("keypad"));
    auto* grid = new QGridLayout(this);
    const auto key = [&](const QString& caption, const QString& name, int row, int column) {
        auto* button = new QPushButton(caption, this);
        button->setObjectName(QStringLiteral("keypad") + name);
        button->setAccessibleName(name);
        button->setFocusPolicy(Qt::NoFocus);
        button->setMinimumSize(64, 64);
        QFont big = button->font();
        big.setPointSizeF(big.pointSizeF() * 1.8);
        button->setFont(big);
        grid->addWidget(button, row, column);
        return button;
    };
    for (int digit = 1; digit <= 9; ++digit) {
        const QString text = QString::number(digit);
        connect(key(text, text, (digit - 1) / 3, (digit - 1) % 3), &QPushButton::clicked, this,
                [this, text] { type(text); });
    }
    connect(key(QStringLiteral("\u232B"), QStringLiteral("Backspace"), 3, 0), &QPushButton::clicked, this,
            &Keypad::backspace);
    connect(key(QStringLiteral("0"), QStringLiteral("0"), 3, 1), &QPushButton::clicked, this,
            [this] { type(QStringLiteral("0")); });
    connect(key(QStringLiteral("OK"), QStringLiteral("OK"), 3, 2), &QPushButton::clicked, this,
            &Keypad::submitted);
}

QLineEdit* Keypad::target() const {
    if (m_second && m_second->hasFocus())
        return m_second;
    return m_first;
}

void Keypad::type(const QString& digit) {
    if (QLineEdit* box = target())
        box->insert(digit);
}

void Keypad::backspace() {
    if (QLineEdit* box = target())
        box->backspace();
}
