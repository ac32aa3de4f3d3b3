// How much CPU a client spends waiting for a connection that never completes.
// Prints one JSON line: the wait's wall time, its CPU time and the share of one core.
#include "harness.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <sys/resource.h>

namespace {
double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}
} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int waitSeconds = argc > 1 ? std::atoi(argv[1]) : 20;
    testing::StalledListener stalled;
    testing::Chat client;
    client.session.connectTimeout = waitSeconds;
    QElapsedTimer wall;
    wall.start();
    const double cpuBefore = cpuSeconds();
    testing::connectTo(client, stalled.port, QStringLiteral("bench"));
    const double cpu = cpuSeconds() - cpuBefore;
    const double seconds = double(wall.elapsed()) / 1000.0;
    const bool timedOut = client.output.contains(QStringLiteral("ERROR: Connect timeout"));
    std::printf("{\"wait_s\": %.2f, \"cpu_s\": %.3f, \"core_share_percent\": %.2f, \"timed_out\": %s}\n", seconds, cpu,
                100.0 * cpu / seconds, timedOut ? "true" : "false");
    return timedOut ? 0 : 1;
}
