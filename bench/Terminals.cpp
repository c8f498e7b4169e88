#include "Terminals.h"

#include "platform/DateTexts.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>

Terminals::Terminals(const Run& run, const QProcessEnvironment& environment)
    : m_run(run), m_partial(static_cast<size_t>(run.terminals)),
      m_acknowledged(static_cast<size_t>(run.terminals), 0) {
    const QString program =
        QCoreApplication::applicationDirPath() + QStringLiteral("/tallyclock-punch-terminal");
    for (int t = 0; t < run.terminals; ++t) {
        QStringList arguments{
            QStringLiteral("--terminal"),     QString::number(t),
            QStringLiteral("--persons"),      QString::number(run.persons),
            QStringLiteral("--punches"),      QString::number(run.punchesEach),
            QStringLiteral("--seconds"),      QString::number(run.seconds),
            QStringLiteral("--random-start"), QString::number(QDateTime::currentSecsSinceEpoch())};
        if (run.uniqueTimes)
            arguments << QStringLiteral("--unique-times");
        if (run.pauseMs > 0)
            arguments << QStringLiteral("--pause") << QString::number(run.pauseMs);
        auto process = std::make_unique<QProcess>();
        process->setProgram(program);
        process->setArguments(arguments);
        QProcessEnvironment own = environment;
        if (!run.journalHomes.isEmpty())
            own.insert(QStringLiteral("XDG_DATA_HOME"),
                       run.journalHomes + QStringLiteral("/terminal-%1").arg(t));
        process->setProcessEnvironment(own);
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_processes.push_back(std::move(process));
    }
}

Terminals::~Terminals() {
    for (auto& process : m_processes) {
        if (process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished(5000);
        }
    }
}

bool Terminals::start() {
    for (auto& process : m_processes)
        process->start();
    for (size_t t = 0; t < m_processes.size(); ++t) {
        QProcess& process = *m_processes[t];
        QElapsedTimer waited;
        waited.start();
        while (!m_partial[t].contains("READY\n")) {
            if (process.state() == QProcess::NotRunning && process.bytesAvailable() == 0) {
                m_error = QStringLiteral("terminal %1 ended before it was ready: %2")
                              .arg(t)
                              .arg(QString::fromUtf8(m_partial[t]));
                return false;
            }
            if (waited.elapsed() > 60000) {
                m_error = QStringLiteral("terminal %1 did not get ready in a minute").arg(t);
                return false;
            }
            process.waitForReadyRead(100);
            m_partial[t] += process.readAllStandardOutput();
        }
        m_partial[t].remove(0, m_partial[t].indexOf("READY\n") + 6);
    }
    // QProcess writes when its event loop or a wait runs: push the word out to all of them now,
    // or they would start one after the other.
    for (auto& process : m_processes)
        process->write("go\n");
    for (auto& process : m_processes)
        process->waitForBytesWritten(5000);
    return true;
}

void Terminals::readOutput() {
    for (size_t t = 0; t < m_processes.size(); ++t) {
        m_partial[t] += m_processes[t]->readAllStandardOutput();
        qsizetype end = 0;
        while ((end = m_partial[t].indexOf('\n')) >= 0) {
            const QStringList fields = QString::fromUtf8(m_partial[t].left(end)).split(QLatin1Char('\t'));
            m_partial[t].remove(0, end + 1);
            if (fields.size() < 7) {
                m_error = QStringLiteral("terminal %1 printed a line that is no punch: %2")
                              .arg(t)
                              .arg(fields.join(' '));
                continue;
            }
            m_punches.push_back({fields[0].toInt(), fields[1], fields[2] == QLatin1String("in"), fields[4],
                                 fields[5].toDouble() / 1000.0, fields.mid(6).join(QLatin1Char(' '))});
            ++m_acknowledged[t];
        }
    }
}

bool Terminals::anyRunning() const {
    for (const auto& process : m_processes)
        if (process->state() != QProcess::NotRunning)
            return true;
    return false;
}

bool Terminals::waitForPunches(int punches, int timeoutMs) {
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        readOutput();
        if (static_cast<int>(m_punches.size()) >= punches || !anyRunning())
            return true;
        if (waited.elapsed() > timeoutMs)
            return false;
        for (auto& process : m_processes) {
            if (process->state() != QProcess::NotRunning) {
                process->waitForReadyRead(20);
                break;
            }
        }
    }
}

bool Terminals::waitForEnd(int timeoutMs) {
    QElapsedTimer waited;
    waited.start();
    for (auto& process : m_processes) {
        while (process->state() != QProcess::NotRunning) {
            readOutput();
            if (waited.elapsed() > timeoutMs) {
                m_error = QStringLiteral("the terminals did not end in %1 s").arg(timeoutMs / 1000);
                return false;
            }
            process->waitForFinished(50);
        }
    }
    readOutput();
    for (size_t t = 0; t < m_processes.size(); ++t) {
        if (m_processes[t]->exitStatus() != QProcess::NormalExit || m_processes[t]->exitCode() != 0) {
            m_error =
                QStringLiteral("terminal %1 ended with status %2").arg(t).arg(m_processes[t]->exitCode());
            return false;
        }
    }
    return m_error.isEmpty();
}

void Terminals::killAll() {
    for (auto& process : m_processes)
        process->kill();
    for (auto& process : m_processes)
        process->waitForFinished(10000);
    readOutput();
}

QString Terminals::timeOfPunchInFlight(int terminal) const {
    const int minute = terminal * m_run.punchesEach + m_acknowledged[static_cast<size_t>(terminal)];
    // The terminal's clock shows the 12-hour time of the English locale the terminal sets.
    return DateTexts::clockTime(firstMinute().addSecs(60LL * minute).time(), DateTexts::HourCycle::TwelveHour,
                                QLocale(QLocale::English, QLocale::UnitedStates));
}
