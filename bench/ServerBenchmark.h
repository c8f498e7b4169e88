#pragma once

#include "Measure.h"

#include <QString>
#include <vector>

struct ServerBenchSetup {
    QString workplaceFile; // the generated SQLite workplace, copied onto the server first
    QString busiest;       // the person whose punches are timed, and their password
    QString busiestPassword;
    QString workDir; // for the benchmark's own files
};

// The program on PostgreSQL: a private cluster (Unix socket and TCP on loopback), the workplace
// copied onto it with copy-to, punches, View All against psql, and twenty terminals at once.
void measureServer(std::vector<Row>& rows, const ServerBenchSetup& setup);

// The journal's delivery alone, on a private cluster of its own with the persons it punches.
void measureJournalOnly(std::vector<Row>& rows, const QString& workDir);
