#include "cli_text.h"

#include <utility>

#include "files/file_bytes.h"

namespace quillon::cli {

std::string PrintableText(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  return out;
}

std::string Pad(std::string text, size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
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

std::vector<std::vector<std::string>> CsvRecords(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::vector<std::vector<std::string>> records;
  std::vector<std::string> record;
  std::string field;
  bool quoted = false, filled = false;
  auto endRecord = [&] {
    if (filled) {
      record.push_back(std::move(field));
      records.push_back(std::move(record));
    }
    field.clear();
    record.clear();
    filled = false;
  };
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c != '"')
        field.push_back(c);
      else if (i + 1 < text.size() && text[i + 1] == '"')
        field.push_back(text[++i]);
      else
        quoted = false;
    } else if (c == '\n' || c == '\r') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      endRecord();
    } else {
      filled = true;
      if (c == '"')
        quoted = true;
      else if (c == ',')
        record.push_back(std::exchange(field, {}));
      else
        field.push_back(c);
    }
  }
  endRecord();
  return records;
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
