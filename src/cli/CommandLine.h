#pragma once

#include <QStringList>
#include <vector>

class QTextStream;

// The program without a window: `tallyclock-suite <verb> [options]`. Prints to standard output;
// exits 0 on success, 1 when the database fails (the description on standard error), 2 for a
// command line it cannot use (the message names the argument).
namespace CommandLine {

struct Verb;

// The program's verbs, in the order the help lists them.
const std::vector<Verb>& programVerbs();

// Runs the arguments that follow the program's name against a set of verbs (the program's own
// unless a test brings others). The caller owns the application object.
int run(const QStringList& arguments, QTextStream& out, QTextStream& err,
        const std::vector<Verb>& verbs = programVerbs());

// The program's entry when it was given arguments: a QCoreApplication, no display needed.
int main(int argc, char* argv[]);

} // namespace CommandLine
