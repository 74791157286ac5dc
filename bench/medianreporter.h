#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

// Collects the real time per iteration of every repetition and hands out their median; prints
// nothing but errors, so that the benchmark programs print only their table rows.
class MedianReporter final : public benchmark::BenchmarkReporter
{
public:
    bool ReportContext(const Context &) override { return true; }
    void ReportRuns(const std::vector<Run> &runs) override;

    // Seconds; NaN when the benchmark did not run.
    double medianSeconds(const std::string &name) const;
    bool failed() const { return m_failed; }

private:
    std::map<std::string, std::vector<double>> m_seconds;
    bool m_failed = false;
};

// The arguments for benchmark::Initialize: this suite's defaults (repetitions interleaved at random,
// so that ordovant and its reference share the machine's ups and downs), then the caller's own,
// which win.
std::vector<char *> benchmarkArguments(int argc, char *argv[]);
