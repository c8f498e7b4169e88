#include "platform/SkinFramework.h"

#include <QApplication>
#include <QFile>
#include <QWidget>
#include <stdexcept>

void SkinFramework::loadSkin(const QString& path, const QString& iniFileName) {
    Q_UNUSED(iniFileName);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        throw std::runtime_error(
            QStringLiteral("Cannot load the skin %1: %2").arg(path, file.errorString()).toStdString());
    m_styleSheet = QString::fromUtf8(file.readAll());
    m_loaded = true;
}

void SkinFramework::applyWindow(QWidget* window) {
    if (!m_loaded)
        throw std::runtime_error("No skin is loaded.");
    // Auto-apply to new windows means every window the program opens later wears the skin too.
    if (m_autoApplyNewWindows && qApp)
        qApp->setStyleSheet(m_styleSheet);
    else
        window->setStyleSheet(m_styleSheet);
}
