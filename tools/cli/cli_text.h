// Small text helpers of the command line: device texts on a terminal, CSV fields both ways, and
// the progress line on the terminal.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::cli {

// Text from a device for a terminal: control characters (which could move the cursor or clear
// the screen) become '?'.
std::string PrintableText(std::string_view text);

// `text` filled with blanks to `width` bytes, for a column of a table.
std::string Pad(std::string text, size_t width);

// A CSV field: quoted when it holds a comma, a quote, a line break or blanks at its ends.
std::string CsvField(std::string_view text);

// The records of CSV text as a spreadsheet or CsvField writes them: fields quoted with '"' (a
// quote inside doubled, line breaks inside kept), records ended by CRLF or LF; blank lines and a
// UTF-8 byte order mark at the start are passed over.
std::vector<std::vector<std::string>> CsvRecords(std::string_view text);

// Progress of a batch on standard error: "[2/5] 00E04C3A1B02 writing RS-485 entries 47%". On a
// terminal one line is rewritten in place; elsewhere each step gets one line, without the
// percentages in between.
class ProgressLine {
 public:
  ProgressLine(std::FILE* out, bool enabled);
  ~ProgressLine();

  void Device(int index, int count, const std::string& mac);
  void Step(std::string_view step, int percent);
  // Ends the device's progress with a line of its own.
  void Finish(std::string_view text);

 private:
  void Clear();

  std::FILE* out_;
  bool enabled_;
  bool terminal_;
  std::string prefix_;
  std::string lastStep_;
  bool lineOpen_ = false;
  std::chrono::steady_clock::time_point lastDraw_{};
};

}  // namespace quillon::cli
