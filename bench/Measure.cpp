#include "Measure.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTextStream>
#include <algorithm>
#include <cmath>
#include <ctime>

double median(std::vector<double> values) {
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2.0;
}

double percentile(std::vector<double> values, double share) {
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<size_t>(std::ceil(share * static_cast<double>(values.size())));
    return values[std::clamp<size_t>(rank, 1, values.size()) - 1];
}

double timeMs(const std::function<void()>& work) {
    QElapsedTimer timer;
    timer.start();
    work();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

double threadCpuMs(const std::function<void()>& work) {
    const auto now = [] {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
    };
    const double start = now();
    work();
    return now() - start;
}

std::vector<double> repeat(int times, const std::function<void()>& work) {
    std::vector<double> samples;
    for (int i = 0; i < times; ++i)
        samples.push_back(timeMs(work));
    return samples;
}

double toolMs(const QString& shellCommand) {
    QProcess shell;
    QElapsedTimer timer;
    timer.start();
    shell.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), shellCommand});
    shell.waitForFinished(-1);
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

QString ms(double value) {
    return QString::number(value, 'f', value < 10 ? 2 : 0) + QStringLiteral(" ms");
}

void printTable(const std::vector<Row>& rows) {
    QTextStream out(stdout);
    out << "\n| measure | median | target | met |\n|---|---|---|---|\n";
    for (const Row& row : rows)
        out << "| " << row.measure << " | " << row.value << " | " << row.target << " | "
            << (row.met ? "yes" : "NO") << " |\n";
    out.flush();
}
