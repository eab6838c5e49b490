#include "bench_table.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <sstream>

namespace quillon::bench {

namespace {

std::string Number(double value, const std::string& unit) {
  char text[48];
  if (unit == "%")
    std::snprintf(text, sizeof text, "%.2f %%", value);
  else if (value >= 1000 && unit == "ms")
    std::snprintf(text, sizeof text, "%.0f ms", value);
  else
    std::snprintf(text, sizeof text, "%.1f %s", value, unit.c_str());
  return text;
}

}  // namespace

void Table::Print() const {
  std::printf("| figure | value | floor | ratio | how measured |\n");
  std::printf("|---|--:|--:|--:|---|\n");
  for (const Figure& f : figures_) {
    const std::string floor = f.floor > 0 ? Number(f.floor, f.unit) : "—";
    char ratio[24] = "—";
    if (f.floor > 0) std::snprintf(ratio, sizeof ratio, "%.2f", f.value / f.floor);
    std::printf("| %s | %s | %s | %s | %s |\n", f.what.c_str(), Number(f.value, f.unit).c_str(),
                floor.c_str(), ratio, f.how.c_str());
  }
  if (!notes_.empty()) std::printf("\n");
  for (const std::string& note : notes_) std::printf("- %s\n", note.c_str());
}

void Measurements::Parse(const std::string& text) {
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    std::istringstream words(line);
    std::string name;
    double value;
    if (words >> name >> value) Add(name, value);
  }
}

double Measurements::Median(const std::string& name) const {
  auto it = values_.find(name);
  if (it == values_.end() || it->second.empty()) return 0;
  std::vector<double> sorted = it->second;
  std::sort(sorted.begin(), sorted.end());
  const size_t n = sorted.size();
  return n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
}

size_t Measurements::Count(const std::string& name) const {
  auto it = values_.find(name);
  return it == values_.end() ? 0 : it->second.size();
}

double Measurements::Min(const std::string& name) const {
  auto it = values_.find(name);
  return it == values_.end() || it->second.empty()
             ? 0
             : *std::min_element(it->second.begin(), it->second.end());
}

double Measurements::Max(const std::string& name) const {
  auto it = values_.find(name);
  return it == values_.end() || it->second.empty()
             ? 0
             : *std::max_element(it->second.begin(), it->second.end());
}

std::string MeasurementLine(const std::string& name, double value) {
  char text[160];
  std::snprintf(text, sizeof text, "%s %.6f\n", name.c_str(), value);
  return text;
}

long long MonotonicNs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

}  // namespace quillon::bench
