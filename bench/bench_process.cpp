// Runs ordovant and its reference program alternately, each as a whole process, and prints the
// medians of their wall time, peak memory and, when they report it, the time until their window was
// shown.
//
// usage: bench_process --header    (prints the column heads of the table)
//        bench_process [--runs N] [--warmup N] --name TEXT [--wall-goal G] [--rss-goal G]
//                      [--shown-goal G] -- ORDOVANT_COMMAND... ::: REFERENCE_COMMAND...

#include "benchtable.h"
#include "runneroptions.h"
#include "shownstamp.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

struct Options
{
    int runs = 9;
    int warmup = 1;
    std::string name;
    double wallGoal = 0;
    double rssGoal = 0;
    double shownGoal = 0;
    std::vector<std::string> commands[2];
};

struct Measurement
{
    double wallSeconds = 0;
    double shownSeconds = NAN;
    double maxRssKiB = 0;
};

struct Series
{
    std::vector<double> wall;
    std::vector<double> shown;
    std::vector<double> rss;

    void add(const Measurement &m)
    {
        wall.push_back(m.wallSeconds);
        rss.push_back(m.maxRssKiB);
        if (!std::isnan(m.shownSeconds))
            shown.push_back(m.shownSeconds);
    }
};

const RunnerOptions::Usage usage{"bench_process",
                                 "[--runs N] [--warmup N] --name TEXT [--wall-goal G] [--rss-goal G] "
                                 "[--shown-goal G] -- COMMAND... ::: REFERENCE_COMMAND..."};

Options parse(int argc, char *argv[])
{
    Options options;
    int command = 0;
    for (std::string &word : RunnerOptions::read(argc, argv,
                                                 {{"--runs", &options.runs},
                                                  {"--warmup", &options.warmup},
                                                  {"--name", &options.name},
                                                  {"--wall-goal", &options.wallGoal},
                                                  {"--rss-goal", &options.rssGoal},
                                                  {"--shown-goal", &options.shownGoal}},
                                                 usage)) {
        if (word == ":::" && command == 0)
            command = 1;
        else
            options.commands[command].push_back(std::move(word));
    }
    if (options.name.empty() || options.runs < 1 || options.warmup < 0 || options.commands[0].empty() ||
        options.commands[1].empty())
        usage("both commands, a name and at least one run are needed");
    return options;
}

std::string commandText(const std::vector<std::string> &command)
{
    std::string text;
    for (const std::string &part : command)
        text += (text.empty() ? "" : " ") + part;
    return text;
}

std::string readAll(int fd)
{
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) != 0) {
        if (n > 0)
            text.append(buffer, size_t(n));
        else if (errno != EINTR)
            break;
    }
    return text;
}

[[noreturn]] void failed(const std::vector<std::string> &command, int status, FILE *errors)
{
    std::fprintf(stderr, "bench_process: \"%s\" failed (status %d):\n", commandText(command).c_str(), status);
    std::rewind(errors);
    int c;
    while ((c = std::fgetc(errors)) != EOF)
        std::fputc(c, stderr);
    std::exit(1);
}

// The child's standard output comes back through a pipe (for the shown stamp); its standard error
// is kept aside and printed only when the child fails.
Measurement runOnce(const std::vector<std::string> &command)
{
    std::vector<char *> argv;
    for (const std::string &part : command)
        argv.push_back(const_cast<char *>(part.c_str()));
    argv.push_back(nullptr);
    int output[2];
    FILE *errors = std::tmpfile();
    if (!errors || pipe2(output, O_CLOEXEC) != 0) {
        std::perror("bench_process");
        std::exit(1);
    }
    const long long started = ShownStamp::monotonicNanoseconds();
    const pid_t pid = fork();
    if (pid < 0) {
        std::perror("bench_process: fork");
        std::exit(1);
    }
    if (pid == 0) {
        dup2(output[1], STDOUT_FILENO);
        dup2(fileno(errors), STDERR_FILENO);
        execvp(argv[0], argv.data());
        std::perror(argv[0]);
        _exit(127);
    }
    close(output[1]);
    const std::string text = readAll(output[0]);
    close(output[0]);
    int status = 0;
    rusage resources{};
    wait4(pid, &status, 0, &resources);
    const long long ended = ShownStamp::monotonicNanoseconds();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        failed(command, status, errors);
    std::fclose(errors);

    Measurement m;
    m.wallSeconds = double(ended - started) / 1e9;
    m.maxRssKiB = double(resources.ru_maxrss);
    const size_t stamp = text.find(ShownStamp::Prefix);
    if (stamp != std::string::npos)
        m.shownSeconds =
            double(std::atoll(text.c_str() + stamp + std::strlen(ShownStamp::Prefix)) - started) / 1e9;
    return m;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc == 2 && std::strcmp(argv[1], "--header") == 0) {
        BenchTable::printHeader();
        return 0;
    }
    const Options options = parse(argc, argv);
    Series series[2];
    for (int round = 0; round < options.warmup + options.runs; ++round) {
        // Alternating which goes first keeps a drift of the machine from favouring one side.
        for (int k = 0; k < 2; ++k) {
            const int which = (round % 2 == 0) ? k : 1 - k;
            const Measurement m = runOnce(options.commands[which]);
            if (round >= options.warmup)
                series[which].add(m);
        }
    }
    using BenchTable::median;
    using BenchTable::Quantity;
    const std::string &name = options.name;
    if (!series[0].shown.empty() || !series[1].shown.empty()) {
        if (series[0].shown.size() != series[1].shown.size()) {
            std::fprintf(stderr, "bench_process: only one of the programs reported when it was shown\n");
            return 1;
        }
        BenchTable::printRow(name + ": start to shown", median(series[0].shown), median(series[1].shown),
                             Quantity::Seconds, options.shownGoal);
    }
    BenchTable::printRow(name + ": wall time", median(series[0].wall), median(series[1].wall),
                         Quantity::Seconds, options.wallGoal);
    BenchTable::printRow(name + ": peak memory", median(series[0].rss), median(series[1].rss), Quantity::KiB,
                         options.rssGoal);
    return 0;
}
