#include "terminal/Banner.h"

#include "platform/Accessibility.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

// Colour backs up the symbol and the word; it is never the only sign.
QString styleFor(Banner::Kind kind) {
    switch (kind) {
    case Banner::Kind::Done:
        return QStringLiteral("Banner { background: #1b5e20; } QLabel { color: white; background: "
                              "transparent; border: none; }");
    case Banner::Kind::Refused:
        return QStringLiteral("Banner { background: #b71c1c; } QLabel { color: white; background: "
                              "transparent; border: none; }");
    case Banner::Kind::Prompt:
        return QStringLiteral("Banner { background: #0d47a1; } QLabel { color: white; background: "
                              "transparent; border: none; }");
    case Banner::Kind::Fault:
        return QStringLiteral("Banner { background: #f9a825; } QLabel { color: black; background: "
                              "transparent; border: none; }");
    case Banner::Kind::Empty:
        break;
    }
    return QString();
}

} // namespace

Banner::Banner(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("banner"));
    setAccessibleName(QStringLiteral("Punch outcome"));
    m_symbol = new QLabel(this);
    m_headline = new QLabel(this);
    m_detail = new QLabel(this);
    m_detail->setWordWrap(true);
    QFont big = font();
    big.setPointSizeF(big.pointSizeF() * 3);
    big.setBold(true);
    m_symbol->setFont(big);
    m_headline->setFont(big);
    QFont middle = font();
    middle.setPointSizeF(middle.pointSizeF() * 1.6);
    m_detail->setFont(middle);
    auto* text = new QVBoxLayout;
    text->addWidget(m_headline);
    text->addWidget(m_detail);
    auto* row = new QHBoxLayout(this);
    row->addWidget(m_symbol, 0, Qt::AlignTop);
    row->addLayout(text, 1);
    m_timer.setSingleShot(true);
    setSeconds(4);
    connect(&m_timer, &QTimer::timeout, this, &Banner::expire);
    hide();
}

void Banner::showDone(const QString& headline, const QString& detail) {
    m_fault.clear();
    present(Kind::Done, QStringLiteral("\u2714"), headline, detail);
    m_timer.start();
}

void Banner::showRefused(const QString& reason) {
    present(Kind::Refused, QStringLiteral("\u2716"), QStringLiteral("Not punched"), reason);
    m_timer.start();
}

void Banner::showPrompt(const QString& text) {
    present(Kind::Prompt, QStringLiteral("\u25B6"), QStringLiteral("Password"), text);
    m_timer.start();
}

void Banner::showFault(const QString& description) {
    m_fault = description;
    m_timer.stop();
    present(Kind::Fault, QStringLiteral("\u26A0"), QStringLiteral("Out of order"), description);
}

void Banner::clear() {
    m_timer.stop();
    m_fault.clear();
    m_kind = Kind::Empty;
    hide();
}

void Banner::expire() {
    if (!m_fault.isEmpty()) {
        present(Kind::Fault, QStringLiteral("\u26A0"), QStringLiteral("Out of order"), m_fault);
        return;
    }
    m_kind = Kind::Empty;
    hide();
}

QString Banner::message() const {
    if (m_kind == Kind::Empty)
        return QString();
    return m_headline->text() + QStringLiteral(": ") + m_detail->text();
}

void Banner::present(Kind kind, const QString& symbol, const QString& headline, const QString& detail) {
    m_kind = kind;
    m_symbol->setText(symbol);
    m_headline->setText(headline);
    m_detail->setText(detail);
    setStyleSheet(styleFor(kind));
    setAccessibleDescription(message());
    show();
    raise();
    Accessibility::alert(this);
}
