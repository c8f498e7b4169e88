#include "reports/ListTextFile.h"

#include "platform/ListView.h"
#include "platform/Spreadsheet.h"

#include <QCoreApplication>
#include <QFile>
#include <stdexcept>

namespace ListTextFile {

namespace {
constexpr qint64 kMessageLoopIntervalMs = 15;
const QString kTab = QStringLiteral("\t");
const QString kLineEnd = QStringLiteral("\r\n");
} // namespace

MessageLoop::MessageLoop() {
    m_sinceLast.start();
}

bool MessageLoop::run() {
    if (m_sinceLast.elapsed() < kMessageLoopIntervalMs)
        return false;
    QCoreApplication::processEvents();
    m_sinceLast.restart();
    return true;
}

QString tableText(const TextTable& table) {
    MessageLoop loop;
    const int columns = table.columns;
    QString text;

    // The first row decides the titles; an empty table fails here, at its first cell.
    for (int column = 0; column < columns; ++column) {
        loop.run();
        if (!table.cell(0, column).isEmpty()) {
            text += table.title(column);
            text += kTab;
        }
    }
    text += kLineEnd;

    // One pass to size the text: a checked row takes about as much as the first row.
    qsizetype checked = 0;
    for (int row = 0; row < table.rowCount(); ++row)
        checked += table.checked(row) ? 1 : 0;
    qsizetype firstRowLength = columns;
    for (int column = 0; column < columns; ++column)
        firstRowLength += table.cell(0, column).size();
    text.reserve(text.size() + checked * (firstRowLength + 2) + (table.rowCount() - checked) * 2);

    // The loop bound is read again each time: the message loop may let the list change.
    for (int row = 0; row < table.rowCount(); ++row) {
        loop.run();
        if (table.checked(row)) {
            for (int column = 0; column < columns; ++column) {
                const QString cell = table.cell(row, column);
                if (!cell.isEmpty()) {
                    text += cell;
                    text += kTab;
                }
            }
        }
        text += kLineEnd;
    }
    return text;
}

QString listText(ListView& list) {
    return tableText({list.columnCount(), [&] { return list.rowCount(); },
                      [&](int column) { return list.columnHeader(column); },
                      [&](int row, int column) { return list.itemText(row, column); },
                      [&](int row) { return list.isChecked(row); }});
}

void save(ListView& list, const QString& fileName) {
    writeText(listText(list), fileName);
}

void fillSheet(SpreadsheetApplication& sheet, ListView& list) {
    MessageLoop loop;
    sheet.addWorkbook();
    const int columns = list.columnCount();
    int title = 1;
    for (int k = 0; k < columns && list.rowCount() > 0; ++k) {
        if (!list.itemText(0, k).isEmpty())
            sheet.setText(1, title++, list.columnHeader(k));
    }
    // The loop bound is read again each time: the message loop may let the list change.
    for (int row = 0; row < list.rowCount(); ++row) {
        loop.run();
        if (!list.isChecked(row))
            continue;
        int column = 1;
        for (int k = 0; k < columns; ++k) {
            const QString cell = list.itemText(row, k);
            if (!cell.isEmpty())
                sheet.setText(row + 2, column++, cell);
        }
    }
    sheet.autoFitColumns();
}

void writeText(const QString& text, const QString& fileName) {
    // UTF-8 keeps every name as typed; an 8-bit code page would lose what it cannot encode.
    writeBytes((text + kLineEnd).toUtf8(), fileName);
}

void writeBytes(const QByteArray& bytes, const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error(
            QStringLiteral("Cannot write the file %1: %2").arg(fileName, file.errorString()).toStdString());
    const qint64 written = file.write(bytes);
    const bool flushed = file.flush();
    if (written != bytes.size() || !flushed) {
        const QString error = file.errorString();
        file.close();
        throw std::runtime_error(
            QStringLiteral("Cannot write the file %1: %2").arg(fileName, error).toStdString());
    }
    file.close();
}

} // namespace ListTextFile
