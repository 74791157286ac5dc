// Starts a program on many workstations at the same moment: K processes, each with its own host
// directory, released together, against one start alone measured in the same run. Prints the
// median and the 99th percentile of the concurrent starts' wall times beside the median of the
// lone start. Every run must end cleanly: exit status 0 and no report in its host's log.
//
// usage: bench_concurrent [--rounds N] [--warmup N] --instances K --homes PREFIX --name TEXT
//                         [--log FILE] [--settle-ms MS] -- COMMAND...
//        (host directories PREFIX01 ... PREFIXK; the lone start uses PREFIX01)

#include "benchtable.h"
#include "runneroptions.h"
#include "shownstamp.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Options
{
    int rounds = 9;
    int warmup = 1;
    int instances = 0;
    std::string homes;
    std::string name;
    std::string log = "ordovant.log";
    int settleMilliseconds = 200;
    std::vector<std::string> command;
};

const RunnerOptions::Usage usage{"bench_concurrent",
                                 "[--rounds N] [--warmup N] --instances K --homes PREFIX "
                                 "--name TEXT [--log FILE] [--settle-ms MS] -- COMMAND..."};

Options parse(int argc, char *argv[])
{
    Options options;
    options.command = RunnerOptions::read(argc, argv,
                                          {{"--rounds", &options.rounds},
                                           {"--warmup", &options.warmup},
                                           {"--instances", &options.instances},
                                           {"--homes", &options.homes},
                                           {"--name", &options.name},
                                           {"--log", &options.log},
                                           {"--settle-ms", &options.settleMilliseconds}},
                                          usage);
    if (options.name.empty() || options.homes.empty() || options.rounds < 1 || options.warmup < 0 ||
        options.instances < 1 || options.instances > 99 || options.settleMilliseconds < 0 ||
        options.command.empty())
        usage("a command, a name, the host directories, 1 to 99 instances and at least one round are needed");
    return options;
}

std::string home(const Options &options, int instance)
{
    char number[16];
    std::snprintf(number, sizeof number, "%02d", instance + 1);
    return options.homes + number;
}

[[noreturn]] void fail(const char *what)
{
    std::perror(what);
    std::exit(1);
}

void printFile(FILE *file)
{
    std::rewind(file);
    int c;
    while ((c = std::fgetc(file)) != EOF)
        std::fputc(c, stderr);
}

struct Child
{
    pid_t pid = 0;
    FILE *errors = nullptr;
    std::string home;
};

// Forks one child per host directory; each waits at the gate until every one is forked, so that the
// programs start at the same moment. Returns each one's wall time from the opening of the gate.
std::vector<double> startTogether(const Options &options, int count)
{
    std::vector<char *> argv;
    for (const std::string &part : options.command)
        argv.push_back(const_cast<char *>(part.c_str()));
    argv.push_back(nullptr);
    int gate[2];
    if (pipe2(gate, O_CLOEXEC) != 0)
        fail("bench_concurrent: pipe");
    std::vector<Child> children(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        Child &child = children[size_t(i)];
        child.home = home(options, i);
        child.errors = std::tmpfile();
        // Only the child it belongs to keeps it, as its standard error.
        if (!child.errors || fcntl(fileno(child.errors), F_SETFD, FD_CLOEXEC) != 0)
            fail("bench_concurrent: tmpfile");
        child.pid = fork();
        if (child.pid < 0)
            fail("bench_concurrent: fork");
        if (child.pid == 0) {
            close(gate[1]);
            char byte;
            while (read(gate[0], &byte, 1) < 0 && errno == EINTR) {
            }
            const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
            dup2(null, STDOUT_FILENO);
            dup2(fileno(child.errors), STDERR_FILENO);
            setenv("ORDOVANT_HOME", child.home.c_str(), 1);
            execvp(argv[0], argv.data());
            std::perror(argv[0]);
            _exit(127);
        }
    }
    close(gate[0]);
    const long long started = ShownStamp::monotonicNanoseconds();
    close(gate[1]);

    std::vector<double> seconds(size_t(count), NAN);
    for (int done = 0; done < count; ++done) {
        int status = 0;
        const pid_t pid = wait4(-1, &status, 0, nullptr);
        const long long ended = ShownStamp::monotonicNanoseconds();
        if (pid < 0)
            fail("bench_concurrent: wait4");
        const auto found =
            std::find_if(children.begin(), children.end(), [pid](const Child &c) { return c.pid == pid; });
        if (found == children.end())
            continue;
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::fprintf(stderr, "bench_concurrent: the run in %s failed (status %d):\n", found->home.c_str(),
                         status);
            printFile(found->errors);
            std::exit(1);
        }
        seconds[size_t(found - children.begin())] = double(ended - started) / 1e9;
    }
    for (Child &child : children) {
        std::fclose(child.errors);
        // A report in the host's log means the run did not do what it was measured for.
        const std::string log = child.home + '/' + options.log;
        struct stat info = {};
        if (stat(log.c_str(), &info) == 0 && info.st_size > 0) {
            std::fprintf(stderr, "bench_concurrent: the run in %s left a report in %s\n", child.home.c_str(),
                         log.c_str());
            std::exit(1);
        }
    }
    return seconds;
}

// The smallest value that at least `share` of the values do not exceed.
double percentile(std::vector<double> values, double share)
{
    std::sort(values.begin(), values.end());
    const size_t rank = size_t(std::ceil(share * double(values.size())));
    return values[std::max<size_t>(rank, 1) - 1];
}

} // namespace

int main(int argc, char *argv[])
{
    const Options options = parse(argc, argv);
    std::vector<double> alone;
    std::vector<double> together;
    for (int round = 0; round < options.warmup + options.rounds; ++round) {
        // Alternating which goes first keeps the wake of the crowd from falling on one side only.
        for (int k = 0; k < 2; ++k) {
            // The server ends its sessions after the programs have gone; each start finds it at rest.
            usleep(useconds_t(options.settleMilliseconds) * 1000);
            const bool crowd = (round % 2 == 0) == (k == 0);
            const std::vector<double> seconds = startTogether(options, crowd ? options.instances : 1);
            if (round < options.warmup)
                continue;
            std::vector<double> &series = crowd ? together : alone;
            series.insert(series.end(), seconds.begin(), seconds.end());
        }
    }
    const double lone = BenchTable::median(alone);
    using BenchTable::Quantity;
    BenchTable::printRow(options.name + ": p50 wall time", percentile(together, 0.5), lone, Quantity::Seconds,
                         0);
    BenchTable::printRow(options.name + ": p99 wall time", percentile(together, 0.99), lone,
                         Quantity::Seconds, 0);
    return 0;
}
