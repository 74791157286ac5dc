#include "medianreporter.h"

#include "benchtable.h"

#include <cmath>
#include <cstdio>

void MedianReporter::ReportRuns(const std::vector<Run> &runs)
{
    for (const Run &run : runs) {
        if (run.error_occurred) {
            std::fprintf(stderr, "%s: %s\n", run.benchmark_name().c_str(), run.error_message.c_str());
            m_failed = true;
        } else if (run.run_type == Run::RT_Iteration) {
            m_seconds[run.run_name.function_name].push_back(run.GetAdjustedRealTime() /
                                                            benchmark::GetTimeUnitMultiplier(run.time_unit));
        }
    }
}

double MedianReporter::medianSeconds(const std::string &name) const
{
    const auto found = m_seconds.find(name);
    return found == m_seconds.end() ? NAN : BenchTable::median(found->second);
}

std::vector<char *> benchmarkArguments(int argc, char *argv[])
{
    static char repetitions[] = "--benchmark_repetitions=9";
    static char interleaving[] = "--benchmark_enable_random_interleaving=true";
    static char minTime[] = "--benchmark_min_time=0.05";
    std::vector<char *> arguments{argv[0], repetitions, interleaving, minTime};
    arguments.insert(arguments.end(), argv + 1, argv + argc);
    arguments.push_back(nullptr);
    return arguments;
}
