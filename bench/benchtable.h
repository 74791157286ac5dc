#pragma once

#include <string>
#include <vector>

// The one table that bench/run.sh prints: each row holds ordovant's median beside the median of its
// reference, measured in the same run, and their ratio against the goal.
namespace BenchTable {

enum class Quantity { Seconds, KiB };

// The middle value; the mean of the two middle values for an even count. NaN when empty.
double median(std::vector<double> values);

// Prints the column heads.
void printHeader();

// Prints one row; a goal of 0 means the row is reported without a goal.
void printRow(const std::string &name, double ordovant, double reference, Quantity quantity, double goal);

} // namespace BenchTable
