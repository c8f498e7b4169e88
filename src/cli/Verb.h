#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <stdexcept>
#include <vector>

class QTextStream;

namespace CommandLine {

enum ExitCode { Success = 0, DatabaseFailure = 1, BadArguments = 2 };

// A command line the program cannot act on; the text names the argument at fault. Exit code 2.
class UsageError : public std::runtime_error {
public:
    explicit UsageError(const QString& text) : std::runtime_error(text.toStdString()) {}
};

struct Option {
    QString name;      // without the leading "--"
    QString valueName; // empty for a switch
    QString help;
};

// One verb as its function sees it: the arguments after the verb, checked against its declaration.
class Invocation {
public:
    Invocation(QString verb, QStringList positional, QHash<QString, QString> options, QTextStream& out,
               QTextStream& err)
        : m_verb(std::move(verb)), m_positional(std::move(positional)), m_options(std::move(options)),
          m_out(out), m_err(err) {}

    const QString& verb() const { return m_verb; }
    // The n-th positional argument, in the order the verb declares them.
    const QString& argument(int n) const { return m_positional.at(n); }
    // How many were given (optional ones may be missing).
    qsizetype argumentCount() const { return m_positional.size(); }
    bool has(const QString& option) const { return m_options.contains(option); }
    QString value(const QString& option, const QString& fallback = QString()) const {
        return m_options.value(option, fallback);
    }
    QTextStream& out() const { return m_out; }
    QTextStream& err() const { return m_err; }

private:
    QString m_verb;
    QStringList m_positional;
    QHash<QString, QString> m_options;
    QTextStream& m_out;
    QTextStream& m_err;
};

// A verb of the command line: its name, what it takes, and the one function that carries it out.
// The function returns an exit code, throws UsageError for arguments it cannot use, and lets any
// other failure (the database layer's) travel: it is reported with exit code 1.
struct Verb {
    QString name;
    // Names of the positional arguments, as the help shows them; the last ones may be optional,
    // written in brackets ("[FILE]").
    QStringList arguments;
    std::vector<Option> options;
    QString summary;
    QString description; // further lines of the verb's own help; may be empty
    std::function<int(const Invocation&)> run;
};

// The program's verbs, each from its own file; programVerbs() lists them.
Verb backupVerb();
Verb restoreVerb();
Verb hoursVerb();
Verb recordsVerb();
Verb rulesVerb();
Verb copyToVerb();
Verb journalVerb();

} // namespace CommandLine
