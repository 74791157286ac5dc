#include "benchtable.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace BenchTable {

namespace {

constexpr int NameWidth = 46;
constexpr int ValueWidth = 12;

// Width as shown: UTF-8 continuation bytes take no column.
int displayWidth(const std::string &text)
{
    return int(std::count_if(text.begin(), text.end(),
                             [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

std::string padded(const std::string &text, int width, bool right)
{
    const std::string fill(std::max(0, width - displayWidth(text)), ' ');
    return right ? fill + text : text + fill;
}

std::string formatted(double value, Quantity quantity)
{
    char text[32];
    if (std::isnan(value))
        return "-";
    if (quantity == Quantity::KiB)
        std::snprintf(text, sizeof text, "%.1f MiB", value / 1024.0);
    else if (value < 1e-3)
        std::snprintf(text, sizeof text, "%.1f µs", value * 1e6);
    else if (value < 1.0)
        std::snprintf(text, sizeof text, "%.2f ms", value * 1e3);
    else
        std::snprintf(text, sizeof text, "%.2f s", value);
    return text;
}

std::string verdict(double ratio, double goal)
{
    if (goal <= 0)
        return "";
    char text[32];
    std::snprintf(text, sizeof text, "≤ %.2f %s", goal, ratio <= goal ? "ok" : "MISSED");
    return text;
}

} // namespace

double median(std::vector<double> values)
{
    if (values.empty())
        return NAN;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

void printHeader()
{
    std::printf("%s %s %s %7s  %s\n", padded("case", NameWidth, false).c_str(),
                padded("ordovant", ValueWidth, true).c_str(), padded("reference", ValueWidth, true).c_str(),
                "ratio", "goal");
    std::fflush(stdout);
}

void printRow(const std::string &name, double ordovant, double reference, Quantity quantity, double goal)
{
    const double ratio = ordovant / reference;
    std::printf("%s %s %s %7.2f  %s\n", padded(name, NameWidth, false).c_str(),
                padded(formatted(ordovant, quantity), ValueWidth, true).c_str(),
                padded(formatted(reference, quantity), ValueWidth, true).c_str(), ratio,
                verdict(ratio, goal).c_str());
    std::fflush(stdout);
}

} // namespace BenchTable
