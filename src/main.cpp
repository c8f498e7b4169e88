#include "cli/CommandLine.h"
#include "core/Form1.h"
#include "core/Main.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    // Any argument is a command line: it runs without a display and never opens the window.
    if (argc > 1)
        return CommandLine::main(argc, argv);
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Quillmark"));
    QApplication::setWindowIcon(Main::applicationIcon());

    Form1 window;
    window.Form_Load();
    window.show();
    return QApplication::exec();
}
