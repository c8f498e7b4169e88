#pragma once

#include <QString>
#include <functional>

class QWidget;

// Every message box of the program goes through here, so that tests can answer and record them.
namespace MessageBox {

enum class Kind { Ok, YesNo, Error };

struct Shown {
    Kind kind;
    QString title;
    QString text; // exactly as the program built it (CR and LF as they stand)
};

// Plain box with an OK button, no icon and the application title.
void ok(const QString& text);
// Yes/No question, no icon, the application title; true for Yes.
bool yesNo(const QString& text);
// Exclamation icon, one OK button, the given title.
void error(const QString& title, const QString& text);

// The title of every box that names none of its own.
void setApplicationTitle(const QString& title);
QString applicationTitle();

// Tests install a responder: it receives every box instead of the screen and answers the
// Yes/No questions with its return value (ignored for the other kinds).
using Responder = std::function<bool(const Shown&)>;
void setResponder(Responder responder);
void clearResponder();

// Converts the CR, CR LF and LF line ends of a text to the line breaks a Qt label shows.
QString screenText(const QString& text);

} // namespace MessageBox
