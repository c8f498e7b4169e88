#include "platform/MessageBox.h"

#include <QApplication>
#include <QMessageBox>

namespace MessageBox {

namespace {
QString& titleStore() {
    static QString title;
    return title;
}
Responder& responderStore() {
    static Responder responder;
    return responder;
}

QWidget* parentWindow() {
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return QApplication::activeWindow();
}

QMessageBox::StandardButton showBox(QMessageBox::Icon icon, const QString& title, const QString& text,
                                    QMessageBox::StandardButtons buttons) {
    QMessageBox box(icon, title, screenText(text), buttons, parentWindow());
    box.setTextFormat(Qt::PlainText);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}
} // namespace

void setApplicationTitle(const QString& title) {
    titleStore() = title;
}
QString applicationTitle() {
    return titleStore();
}

void setResponder(Responder responder) {
    responderStore() = std::move(responder);
}
void clearResponder() {
    responderStore() = nullptr;
}

QString screenText(const QString& text) {
    QString result = text;
    result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    result.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return result;
}

void ok(const QString& text) {
    if (const auto& responder = responderStore()) {
        responder({Kind::Ok, applicationTitle(), text});
        return;
    }
    showBox(QMessageBox::NoIcon, applicationTitle(), text, QMessageBox::Ok);
}

bool yesNo(const QString& text) {
    if (const auto& responder = responderStore())
        return responder({Kind::YesNo, applicationTitle(), text});
    return showBox(QMessageBox::NoIcon, applicationTitle(), text, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

void error(const QString& title, const QString& text) {
    if (const auto& responder = responderStore()) {
        responder({Kind::Error, title, text});
        return;
    }
    showBox(QMessageBox::Warning, title, text, QMessageBox::Ok);
}

} // namespace MessageBox
