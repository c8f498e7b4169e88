#include "core/Main.h"
#include "cli/CommandLine.h"
#include "core/MainWindow.h"
#include "credentials/Credentials.h"
#include "terminal/KioskFrame.h"
#include "terminal/TerminalSettings.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    Credentials::handToData();
    // Any argument but --kiosk is a command line: it runs without a display and never opens the window.
    const bool kioskArgument = Terminal::kioskArgument(argc, argv);
    if (argc > 1 && !kioskArgument)
        return CommandLine::main(argc, argv);
    const Terminal::Settings terminal = Terminal::fromSystemSettings(kioskArgument);
    if (terminal.kiosk)
        KioskFrame::applyScale(); // before the application reads it
    QApplication app(argc, argv);
    Terminal::setCurrent(terminal);
    QApplication::setOrganizationName(QStringLiteral("Quillmark"));
    QApplication::setWindowIcon(Main::applicationIcon());

    MainWindow window;
    window.start();
    window.present();
    return QApplication::exec();
}
