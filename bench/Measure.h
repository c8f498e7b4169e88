#pragma once

#include <QString>
#include <functional>
#include <vector>

// Timing and reporting helpers the benchmark's parts share.

double median(std::vector<double> values);
// The value below which `share` (0..1) of the samples lie, nearest rank.
double percentile(std::vector<double> values, double share);
double timeMs(const std::function<void()>& work);
// The processor time the calling thread spends on `work`: what it costs without the waits for a
// processor that other programs on a busy machine add to its wall time.
double threadCpuMs(const std::function<void()>& work);
std::vector<double> repeat(int times, const std::function<void()>& work);
// Runs a shell command to its end; its wall time.
double toolMs(const QString& shellCommand);
QString ms(double value);

struct Row {
    QString measure;
    QString value;
    QString target;
    bool met;
};
void printTable(const std::vector<Row>& rows);
