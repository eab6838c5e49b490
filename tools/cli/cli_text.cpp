#include "cli_text.h"

#include "files/file_bytes.h"

namespace quillon::cli {

std::string PrintableText(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  return out;
}

std::string CsvField(std::string_view text) {
  const bool quote = text.find_first_of(",\"\r\n") != std::string_view::npos ||
                     (!text.empty() && (text.front() == ' ' || text.back() == ' '));
  if (!quote) return std::string(text);
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  return out + "\"";
}

ProgressLine::ProgressLine(std::FILE* out, bool enabled)
    : out_(out), enabled_(enabled), terminal_(enabled && IsTerminal(out)) {}

ProgressLine::~ProgressLine() { Clear(); }

void ProgressLine::Clear() {
  if (terminal_ && lineOpen_) {
    std::fputs("\r\033[K", out_);
    std::fflush(out_);
  }
  lineOpen_ = false;
}

void ProgressLine::Device(int index, int count, const std::string& mac) {
  prefix_ = "[" + std::to_string(index) + "/" + std::to_string(count) + "] " + mac;
  lastStep_.clear();
}

void ProgressLine::Step(std::string_view step, int percent) {
  if (!enabled_) return;
  if (!terminal_) {
    if (step == lastStep_) return;
    lastStep_ = std::string(step);
    std::fprintf(out_, "%s %s\n", prefix_.c_str(), lastStep_.c_str());
    std::fflush(out_);
    return;
  }
  // On a terminal the line is drawn at most every 50 ms, and whenever a step begins or ends.
  const auto now = std::chrono::steady_clock::now();
  if (step == lastStep_ && percent != 0 && percent != 100 &&
      now - lastDraw_ < std::chrono::milliseconds(50))
    return;
  lastStep_ = std::string(step);
  lastDraw_ = now;
  std::fprintf(out_, "\r\033[K%s %s %3d%%", prefix_.c_str(), lastStep_.c_str(), percent);
  std::fflush(out_);
  lineOpen_ = true;
}

void ProgressLine::Finish(std::string_view text) {
  if (!enabled_) return;
  Clear();
  std::fprintf(out_, "%s %.*s\n", prefix_.c_str(), static_cast<int>(text.size()), text.data());
  std::fflush(out_);
}

}  // namespace quillon::cli
