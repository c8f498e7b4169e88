#pragma once

#include <QFileDialog>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

// Stand-in for the classic common dialog used as a save dialog. It keeps the last chosen file name
// for its own life (the window's, as its child) and offers it again at the next showing; a
// cancelled showing gives "".
class SaveDialog : public QObject {
    Q_OBJECT
public:
    // Classic flag bits the window may pass; only the overwrite prompt has a meaning here.
    static constexpr int OverwritePrompt = 0x2;

    explicit SaveDialog(QWidget* parent);

    void setFlags(int flags) { m_flags = flags; }
    void setDialogTitle(const QString& title) { m_title = title; }
    // Pairs of description and pattern, each part followed by a bar: "Text Files (*.txt)|*.txt|".
    void setFilter(const QString& filter);
    // Shows the dialog modally as a save dialog; fileName() then holds the choice, "" for cancel.
    void showSave();
    QString fileName() const { return m_fileName; }

    // What a showing asks for, as the tests see it.
    struct Request {
        QString title;
        QStringList nameFilters;
        QString initialFile; // the last chosen name
        QFileDialog::Options options;
    };
    // Tests answer every showing with a file name ("" cancels) instead of the screen.
    using Responder = std::function<QString(const Request&)>;
    static void setResponder(Responder responder);

private:
    QPointer<QWidget> m_window;
    int m_flags = 0;
    QString m_title;
    QStringList m_nameFilters;
    QString m_lastChosen;
    QString m_fileName;
};
