#include "cli/CommandLine.h"
#include "core/Form1.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[]) {
    // Any argument is a command line: it runs without a display and never opens the window.
    if (argc > 1)
        return CommandLine::main(argc, argv);
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Quillmark"));
    QIcon icon;
    for (const char* size : {"32", "64", "256"})
        icon.addFile(QStringLiteral(":/icons/tallyclock-%1.png").arg(QLatin1String(size)));
    QApplication::setWindowIcon(icon);

    Form1 window;
    window.Form_Load();
    window.show();
    return QApplication::exec();
}
