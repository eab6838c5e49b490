// The one table that `make bench` prints: one row per figure, its value beside its floor, the
// ratio of the two, and how it was measured. The floor is the least the program's design allows
// (the 10 ms pacing of the receive thread and of the worker), or the same measure taken of a bare
// baseline where the design sets none. The table is Markdown, so that it goes into
// docs/PERFORMANCE.md as printed.
//
// A figure measured in another process comes back as lines of "name value" on that process's
// standard output; Measurements gathers them, several values per name for repeated runs.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace quillon::bench {

struct Figure {
  std::string what;  // "discovery, 1000 devices"
  double value = 0;
  double floor = 0;  // 0: none
  std::string unit;  // "ms", "MB", "%"
  std::string how;   // one line: what was timed, how often, what the floor is
};

class Table {
 public:
  void Add(Figure figure) { figures_.push_back(std::move(figure)); }
  // A line below the table: a check that the figures rest on (buffer sizes, lost datagrams).
  void Note(std::string note) { notes_.push_back(std::move(note)); }
  void Print() const;

 private:
  std::vector<Figure> figures_;
  std::vector<std::string> notes_;
};

// Values by name, from "name value" lines; other lines are ignored.
class Measurements {
 public:
  void Parse(const std::string& text);
  void Add(const std::string& name, double value) { values_[name].push_back(value); }
  bool Has(const std::string& name) const { return values_.count(name) != 0; }
  // The median of a name's values (0 when there are none), their count, least and most.
  double Median(const std::string& name) const;
  size_t Count(const std::string& name) const;
  double Min(const std::string& name) const;
  double Max(const std::string& name) const;

 private:
  std::map<std::string, std::vector<double>> values_;
};

// One "name value" line, as the measuring processes print them.
std::string MeasurementLine(const std::string& name, double value);

// Monotonic time in nanoseconds, the same clock in every process of the machine.
long long MonotonicNs();

}  // namespace quillon::bench
