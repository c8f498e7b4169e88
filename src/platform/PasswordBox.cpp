#include "platform/PasswordBox.h"

#include <QApplication>
#include <QLineEdit>
#include <QProxyStyle>

namespace {

class StarPasswordStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_LineEdit_PasswordCharacter)
            return '*';
        if (hint == SH_LineEdit_PasswordMaskDelay)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

void showStars(QLineEdit* box) {
    // One style for every password box; it lives as long as the application.
    static QStyle* const style = [] {
        auto* created = new StarPasswordStyle;
        created->setParent(qApp);
        return created;
    }();
    box->setStyle(style);
    box->setEchoMode(QLineEdit::Password);
}
