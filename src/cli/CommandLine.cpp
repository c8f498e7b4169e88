#include "cli/CommandLine.h"

#include "cli/Verb.h"
#include "core/Main.h"
#include "data/SettingsStore.h"

#include <QCoreApplication>
#include <QFileDevice>
#include <QTextStream>
#include <algorithm>
#include <cstdio>

namespace CommandLine {

namespace {

const QString kProgram = QStringLiteral("tallyclock-suite");

const Verb* findVerb(const std::vector<Verb>& verbs, const QString& name) {
    for (const Verb& verb : verbs)
        if (verb.name == name)
            return &verb;
    return nullptr;
}

bool isHelp(const QString& argument) {
    return argument == QLatin1String("--help") || argument == QLatin1String("-h");
}

QString synopsis(const Verb& verb) {
    QString line = verb.name;
    for (const QString& argument : verb.arguments)
        line += QLatin1Char(' ') + argument;
    if (!verb.options.empty())
        line += QStringLiteral(" [options]");
    return line;
}

// Two columns: the left one padded to the widest entry.
void printTable(QTextStream& out, const std::vector<std::pair<QString, QString>>& rows) {
    qsizetype width = 0;
    for (const auto& row : rows)
        width = std::max(width, row.first.size());
    for (const auto& [left, right] : rows)
        out << "  " << left.leftJustified(width) << "  " << right << '\n';
}

void printHelp(QTextStream& out, const std::vector<Verb>& verbs) {
    out << "Usage: " << kProgram << " [VERB [ARGUMENTS]]\n"
        << "Without arguments the punch clock window starts.\n\nVerbs:\n";
    std::vector<std::pair<QString, QString>> rows;
    for (const Verb& verb : verbs)
        rows.emplace_back(synopsis(verb), verb.summary);
    printTable(out, rows);
    out << "\nOptions:\n";
    printTable(
        out, {{QStringLiteral("-h, --help"), QStringLiteral("show this help, or a verb's own (VERB --help)")},
              {QStringLiteral("--version"), QStringLiteral("show the program's version")}});
}

void printVerbHelp(QTextStream& out, const Verb& verb) {
    out << "Usage: " << kProgram << ' ' << synopsis(verb) << "\n" << verb.summary << ".\n";
    if (!verb.description.isEmpty())
        out << '\n' << verb.description << '\n';
    std::vector<std::pair<QString, QString>> rows;
    for (const Option& option : verb.options)
        rows.emplace_back(QStringLiteral("--") + option.name +
                              (option.valueName.isEmpty() ? QString() : QLatin1Char(' ') + option.valueName),
                          option.help);
    rows.emplace_back(QStringLiteral("-h, --help"), QStringLiteral("show this help"));
    out << "\nOptions:\n";
    printTable(out, rows);
}

const Option* findOption(const Verb& verb, const QString& name) {
    for (const Option& option : verb.options)
        if (option.name == name)
            return &option;
    return nullptr;
}

// Checks the verb's arguments against its declaration; "--name=value" and "--name value" both
// work, and "--" ends the options. Returns false when help was asked for instead.
bool parseVerbArguments(const Verb& verb, const QStringList& arguments, QStringList& positional,
                        QHash<QString, QString>& options) {
    const QString who = verb.name + QStringLiteral(": ");
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (optionsEnded || !argument.startsWith(QLatin1Char('-')) || argument == QLatin1String("-")) {
            positional << argument;
            continue;
        }
        if (argument == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        if (isHelp(argument))
            return false;
        if (!argument.startsWith(QLatin1String("--")))
            throw UsageError(who + QStringLiteral("unknown option '%1'").arg(argument));
        const qsizetype equals = argument.indexOf(QLatin1Char('='));
        const QString name = argument.mid(2, equals < 0 ? -1 : equals - 2);
        const Option* option = findOption(verb, name);
        if (!option)
            throw UsageError(who + QStringLiteral("unknown option '--%1'").arg(name));
        if (options.contains(name))
            throw UsageError(who + QStringLiteral("option '--%1' given twice").arg(name));
        if (option->valueName.isEmpty()) {
            if (equals >= 0)
                throw UsageError(who + QStringLiteral("option '--%1' takes no value").arg(name));
            options.insert(name, QString());
        } else if (equals >= 0) {
            options.insert(name, argument.mid(equals + 1));
        } else if (i + 1 < arguments.size()) {
            options.insert(name, arguments.at(++i));
        } else {
            throw UsageError(who +
                             QStringLiteral("option '--%1' needs a value (%2)").arg(name, option->valueName));
        }
    }
    const auto required =
        std::count_if(verb.arguments.begin(), verb.arguments.end(),
                      [](const QString& name) { return !name.startsWith(QLatin1Char('[')); });
    if (positional.size() < required)
        throw UsageError(who +
                         QStringLiteral("missing argument %1").arg(verb.arguments.at(positional.size())));
    if (positional.size() > verb.arguments.size())
        throw UsageError(
            who + QStringLiteral("unexpected argument '%1'").arg(positional.at(verb.arguments.size())));
    return true;
}

int runVerb(const Verb& verb, const QStringList& arguments, QTextStream& out, QTextStream& err) {
    QStringList positional;
    QHash<QString, QString> options;
    if (!parseVerbArguments(verb, arguments, positional, options)) {
        printVerbHelp(out, verb);
        return Success;
    }
    return verb.run(Invocation(verb.name, positional, options, out, err));
}

} // namespace

const std::vector<Verb>& programVerbs() {
    static const std::vector<Verb> verbs{backupVerb(), restoreVerb(), hoursVerb(),  recordsVerb(),
                                         rulesVerb(),  copyToVerb(),  journalVerb()};
    return verbs;
}

int run(const QStringList& arguments, QTextStream& out, QTextStream& err, const std::vector<Verb>& verbs) {
    int code = Success;
    try {
        if (arguments.isEmpty())
            throw UsageError(QStringLiteral("a verb is missing"));
        const QString& first = arguments.first();
        if (isHelp(first)) {
            printHelp(out, verbs);
        } else if (first == QLatin1String("--version")) {
            out << Main::kProductName << ' ' << QStringLiteral(TALLYCLOCK_VERSION) << '\n';
        } else if (first.startsWith(QLatin1Char('-'))) {
            throw UsageError(QStringLiteral("unknown option '%1'").arg(first));
        } else if (const Verb* verb = findVerb(verbs, first)) {
            code = runVerb(*verb, arguments.mid(1), out, err);
        } else {
            throw UsageError(QStringLiteral("unknown verb '%1'").arg(first));
        }
    } catch (const UsageError& error) {
        err << kProgram << ": " << error.what() << "\nTry '" << kProgram << " --help'.\n";
        code = BadArguments;
    } catch (const std::exception& error) {
        err << kProgram << ": " << error.what() << '\n';
        code = DatabaseFailure;
    }
    // A full disk or a closed pipe shows only when the output is flushed: a verb whose output did
    // not arrive whole has failed, whatever it printed.
    out.flush();
    if (out.status() != QTextStream::Ok) {
        const auto* file = qobject_cast<const QFileDevice*>(out.device());
        err << kProgram << ": the output could not be written"
            << (file && file->error() != QFileDevice::NoError ? QStringLiteral(": ") + file->errorString()
                                                              : QString())
            << '\n';
        if (code == Success)
            code = DatabaseFailure;
    }
    err.flush();
    return code;
}

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(SettingsStore::kApplication);
    QTextStream out(stdout);
    QTextStream err(stderr);
    return run(QCoreApplication::arguments().mid(1), out, err);
}

} // namespace CommandLine
