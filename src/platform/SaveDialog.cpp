#include "platform/SaveDialog.h"

namespace {
SaveDialog::Responder& responder() {
    static SaveDialog::Responder current;
    return current;
}
} // namespace

SaveDialog::SaveDialog(QWidget* parent) : QObject(parent), m_window(parent) {}

void SaveDialog::setResponder(Responder newResponder) {
    responder() = std::move(newResponder);
}

void SaveDialog::setFilter(const QString& filter) {
    // The description normally names its patterns already, "Text Files (*.txt)"; when it does not,
    // the pattern is added in the form the dialog reads.
    m_nameFilters.clear();
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts.at(i);
        const QString& pattern = parts.at(i + 1);
        if (description.isEmpty() && pattern.isEmpty())
            continue;
        m_nameFilters << (description.trimmed().endsWith(QLatin1Char(')'))
                              ? description
                              : QStringLiteral("%1 (%2)").arg(description, pattern.split(u';').join(u' ')));
    }
}

void SaveDialog::showSave() {
    Request request{m_title, m_nameFilters, m_lastChosen, {}};
    if (!(m_flags & OverwritePrompt))
        request.options |= QFileDialog::DontConfirmOverwrite;

    QString chosen;
    if (responder()) {
        chosen = responder()(request);
    } else {
        // No default suffix: a name typed without extension is saved exactly as typed.
        QFileDialog dialog(m_window, request.title);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOptions(request.options);
        dialog.setNameFilters(request.nameFilters);
        if (!request.initialFile.isEmpty())
            dialog.selectFile(request.initialFile);
        if (dialog.exec() == QDialog::Accepted)
            chosen = dialog.selectedFiles().value(0);
    }
    m_fileName = chosen;
    if (!chosen.isEmpty())
        m_lastChosen = chosen;
}
