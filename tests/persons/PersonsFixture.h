#pragma once

#include "common/TestSupport.h"
#include "core/Globals.h"
#include "data/AttendanceDatabase.h"

#include <QDialog>
#include <QPointer>
#include <QTemporaryDir>
#include <functional>

// A real database file copied from the template, opened as the shared connection.
class PersonsDatabase {
public:
    PersonsDatabase() : m_path(m_dir.path() + QStringLiteral("/dbData.mdb")) {
        TestSupport::copyTemplateTo(m_path);
        Globals::createConnection().open(m_path);
    }
    ~PersonsDatabase() { Globals::releaseConnection(); }
    PersonsDatabase(const PersonsDatabase&) = delete;
    PersonsDatabase& operator=(const PersonsDatabase&) = delete;

    QString path() const { return m_path; }
    AttendanceDatabase& db() { return Globals::connection(); }

    int personCount() {
        RecordSet rs = db().personsByName();
        return rs.rowCount();
    }
    int recordCount(const QString& number) {
        RecordSet rs = db().recordsOfPerson(number);
        return rs.rowCount();
    }

private:
    QTemporaryDir m_dir;
    QString m_path;
};

// Acts on the next modal window of type W once it shows. A window the action leaves open is
// closed with result -1, so a failed check never leaves the test blocked in exec().
template <typename W> void onModal(std::function<void(W*)> action) {
    TestSupport::whenModalShows([action](QWidget* shown) {
        QPointer<QWidget> window(shown);
        if (auto* typed = qobject_cast<W*>(shown))
            action(typed);
        else
            qWarning("an unexpected modal window showed: %s", shown->metaObject()->className());
        if (window && window->isVisible())
            static_cast<QDialog*>(window.data())->done(-1);
    });
}
