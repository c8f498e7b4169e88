#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <functional>

class ListView;
class SpreadsheetApplication;

// Writes a report-view list to a text file: the titles of the columns that the first row fills,
// then one line per row (the checked rows' non-empty cells, an empty line for the others), every
// field followed by a TAB, lines ended by CR LF, and a final empty line. The file is UTF-8.
namespace ListTextFile {

// Builds the text of the list and writes it with writeText. Throws std::runtime_error (an
// empty list fails at its first row; nothing is written then).
void save(ListView& list, const QString& fileName);
// The text save writes, before writeText adds the final CR LF.
QString listText(ListView& list);
// Creates or truncates the file and writes the text and a CR LF in one go. Throws
// std::runtime_error; the file is closed on every path.
void writeText(const QString& text, const QString& fileName);
// The same for bytes written exactly as given.
void writeBytes(const QByteArray& bytes, const QString& fileName);

// Any table written by the same rules as a list: the cells are read as the text is built, so a
// table that changes meanwhile (a list while the message loop runs) is read as it stands.
struct TextTable {
    int columns = 0;
    std::function<int()> rowCount;
    std::function<QString(int column)> title;
    std::function<QString(int row, int column)> cell;
    std::function<bool(int row)> checked;
};
// The text of the table by the list's rules, before writeText adds the final CR LF.
QString tableText(const TextTable& table);

// Fills the active sheet of a new workbook with the list by the same rules as the text (titles of
// the columns the first row fills, the checked rows' cells, an empty sheet row for the others),
// every cell kept exactly as a text. Throws what the spreadsheet throws.
void fillSheet(SpreadsheetApplication& sheet, ListView& list);

// Lets the message loop run during a long export, at most every few milliseconds: often enough
// for the window to stay responsive, rarely enough not to slow the export down.
class MessageLoop {
public:
    MessageLoop();
    // True when it let the loop run this time.
    bool run();

private:
    QElapsedTimer m_sinceLast;
};

} // namespace ListTextFile
