#include "core/Main.h"
#include "cli/CommandLine.h"
#include "core/MainWindow.h"
#include "credentials/Credentials.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    Credentials::handToData();
    // Any argument is a command line: it runs without a display and never opens the window.
    if (argc > 1)
        return CommandLine::main(argc, argv);
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Quillmark"));
    QApplication::setWindowIcon(Main::applicationIcon());

    MainWindow window;
    window.start();
    window.show();
    return QApplication::exec();
}
