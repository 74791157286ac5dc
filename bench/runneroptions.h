#pragma once

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

// The command line of a process runner: "--option value" pairs up to "--", each read into its field
// by a table, then the words of the command(s) to run.
namespace RunnerOptions {

// The runner's name and the synopsis of its command line, for the message on a wrong one.
struct Usage
{
    const char *program;
    const char *synopsis;

    // Reports the problem with the synopsis and ends the program with status 2.
    [[noreturn]] void operator()(const char *problem) const
    {
        std::fprintf(stderr, "%s: %s\nusage: %s %s\n", program, problem, program, synopsis);
        std::exit(2);
    }
};

struct Option
{
    const char *name;
    std::variant<int *, double *, std::string *> field;
};

// Reads the pairs before "--" into their fields and returns the words after it. A missing value or
// an option the table lacks ends the program through `usage`.
inline std::vector<std::string> read(int argc, char *argv[], std::initializer_list<Option> table,
                                     const Usage &usage)
{
    int i = 1;
    for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (i + 1 >= argc)
            usage("an option lacks its value");
        const Option *option = std::find_if(table.begin(), table.end(), [&](const Option &entry) {
            return std::strcmp(entry.name, argv[i]) == 0;
        });
        if (option == table.end())
            usage("unknown option");
        const char *value = argv[++i];
        std::visit(
            [value](auto *field) {
                using Field = std::remove_pointer_t<decltype(field)>;
                if constexpr (std::is_same_v<Field, int>)
                    *field = std::atoi(value);
                else if constexpr (std::is_same_v<Field, double>)
                    *field = std::atof(value);
                else
                    *field = value;
            },
            option->field);
    }
    return std::vector<std::string>(argv + std::min(i + 1, argc), argv + argc);
}

} // namespace RunnerOptions
