#pragma once

#include <QIcon>
#include <QString>
#include <QVariant>
#include <functional>

class ErrorTrap;
class MousePointer;
class QWidget;
class SkinFramework;

// The routines several windows share.
namespace Main {

inline const QString kTagPrefix = QStringLiteral("Tallyclock2021/08/31.");
inline const QString kProductName = QStringLiteral("Tallyclock Suite");

// The address the error box asks screenshots to be sent to. The workplace sets it as SupportAddress
// in the program's section of the system-wide settings (/etc/xdg/Quillmark/Quillmark.ini, or the
// folders of $XDG_CONFIG_DIRS); without it, the address the program was built with. Empty when
// neither names one.
QString supportAddress();

// The text of the error box for a failure at `step` of the handler with location `tag`.
QString errorReportText(const QString& description, const QString& tag, int step);
// Shows the error box ("Application Error", exclamation icon, OK) and returns when it is closed.
// While a FaultsElsewhere is alive, the failure goes to its receiver instead and no box is shown.
void ErrorReport(const QString& description, const QString& tag, int step);

// Sends the failures reported meanwhile to `receiver` (with the error box's text) rather than to a box
// that someone must click away: a terminal shows them in its banner. Scopes nest; the innermost wins.
class FaultsElsewhere {
public:
    using Receiver = std::function<void(const QString& description, const QString& boxText)>;
    explicit FaultsElsewhere(Receiver receiver);
    ~FaultsElsewhere();
    FaultsElsewhere(const FaultsElsewhere&) = delete;
    FaultsElsewhere& operator=(const FaultsElsewhere&) = delete;

private:
    Receiver m_receiver;
    FaultsElsewhere* m_outer;
    friend void ErrorReport(const QString&, const QString&, int);
};

// Path of a shell special folder; "" when it cannot be resolved. Never ends in a blank or NUL.
QString GetSpecialFolderPath(int csidl);
// True when the path's time stamp can be read (files and folders alike); never fails.
bool FileExists(const QString& path);
// The default for a Null (invalid) value, otherwise the value itself.
QVariant NullToDefault(const QVariant& value, const QVariant& defaultValue);

// The system button-face colour on the window and on its option buttons, check boxes, frames
// and labels.
void ApplyFormColors(QWidget* window);
// The first steps of every secondary window's load, under the window's trap with its own step
// numbers: the window colours, the application icon, then the hand pointer when its file exists.
struct DressSteps {
    int colours;
    int icon;
    int cursorTest;
    int cursorLoad;
};
void dressWindow(ErrorTrap& trap, QWidget* window, MousePointer& pointer, const DressSteps& steps);

// Skins the main window from the program folder's "x/o.cjs" when that file exists.
void ApplySkin(QWidget* mainWindow, SkinFramework& skin);

// The one application icon, in the sizes the window managers ask for. Every window uses it as its
// own; the program sets it as the application's window icon at start.
QIcon applicationIcon();

// The application title: the product name cut before its last blank until 40 characters or fewer.
QString appTitleFor(const QString& productName);
void SetAppTitle();

// The folder that holds the program file; tests may point it elsewhere.
QString programFolder();
void setProgramFolder(const QString& folder);

// Loads the program folder's "HAND-M.CUR" as the window's custom pointer when the file exists.
// Kept for the load handlers, which test and load in two numbered steps.
QString handCursorPath();
QString skinFilePath();

} // namespace Main
