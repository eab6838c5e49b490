#include "cli_text.h"

#include "files/file_bytes.h"

namespace quillon::cli {

namespace {

// The length of the well-formed UTF-8 sequence at the start of `text`, 0 if there is none.
size_t Utf8SequenceLength(std::string_view text) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  size_t length;
  unsigned min;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    min = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    min = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    min = 0x10000;
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  unsigned code = lead & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    code = code << 6 | (byte(i) & 0x3F);
  }
  if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

}  // namespace

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  while (!text.empty()) {
    const size_t length = Utf8SequenceLength(text);
    if (length == 0) {
      out += "\xEF\xBF\xBD";
      text.remove_prefix(1);
      continue;
    }
    const char c = text[0];
    if (length > 1) {
      out.append(text.substr(0, length));
    } else if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
      out += escape;
    } else {
      out.push_back(c);
    }
    text.remove_prefix(length);
  }
  return out + "\"";
}

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
