#include "core/Main.h"
#include "core/Form1.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Quillmark"));
    QApplication::setWindowIcon(Main::applicationIcon());

    Form1 window;
    window.Form_Load();
    window.show();
    return QApplication::exec();
}
