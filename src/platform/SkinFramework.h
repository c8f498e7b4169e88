#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QWidget;

// Stand-in for the vendor skin engine. A skin file is a Qt style sheet; applying the skin to a
// window gives that window (and, with new-window auto-apply, its whole application) the sheet.
class SkinFramework : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Reads the skin; throws std::runtime_error with a description when the file cannot be read.
    void loadSkin(const QString& path, const QString& iniFileName);
    int applyOptions() const { return m_applyOptions; }
    void setApplyOptions(int options) { m_applyOptions = options; }
    bool autoApplyNewWindows() const { return m_autoApplyNewWindows; }
    void setAutoApplyNewWindows(bool on) { m_autoApplyNewWindows = on; }
    bool autoApplyNewThreads() const { return m_autoApplyNewThreads; }
    void setAutoApplyNewThreads(bool on) { m_autoApplyNewThreads = on; }
    // Applies the loaded skin; throws when no skin was loaded.
    void applyWindow(QWidget* window);

    QString styleSheet() const { return m_styleSheet; }

private:
    QString m_styleSheet;
    bool m_loaded = false;
    int m_applyOptions = 0;
    bool m_autoApplyNewWindows = false;
    bool m_autoApplyNewThreads = false;
};
