#include "text/number_text.h"

#include <charconv>
#include <limits>

namespace quillon {

namespace {

size_t SkipBlanks(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' ||
                             text[i] == '\n' || text[i] == '\v' || text[i] == '\f'))
    ++i;
  return i;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

size_t SkipDigits(std::string_view text, size_t i) {
  while (i < text.size() && IsDigit(text[i])) ++i;
  return i;
}

uint32_t ReadDigits(std::string_view text, size_t i) {
  uint32_t value = 0;  // wraps modulo 2^32: only the low bits are ever kept
  for (; i < text.size() && IsDigit(text[i]); ++i)
    value = value * 10u + static_cast<uint32_t>(text[i] - '0');
  return value;
}

}  // namespace

uint32_t ParseUnsignedDecimal(std::string_view text) { return ReadDigits(text, SkipBlanks(text)); }

int32_t ParseSignedDecimal(std::string_view text) {
  size_t i = SkipBlanks(text);
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  // Sixty-four bits hold any 32-bit value with room for one more digit, so the range check
  // below sees every overflow.
  int64_t magnitude = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > int64_t{1} << 31) return 0;
  }
  const int64_t value = negative ? -magnitude : magnitude;
  if (value > std::numeric_limits<int32_t>::max()) return 0;
  return static_cast<int32_t>(value);
}

std::string FormatUnsigned(uint32_t value) { return std::to_string(value); }

// Both directions go through <charconv>, so the user's locale never turns the point into a comma.
std::string FormatReal(float value) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value),
                                    std::chars_format::fixed, 3);
  return std::string(buffer, result.ptr);
}

float ParseReal(std::string_view text) {
  size_t i = SkipBlanks(text);
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  // The decimal prefix: digits, a point with digits, an exponent that has digits. Nothing else
  // counts, so "inf", "nan" and "0x1A" are no numbers beyond their leading digits.
  const size_t start = i;
  size_t end = SkipDigits(text, i);
  bool digits = end > start;
  if (end < text.size() && text[end] == '.') {
    const size_t fraction = SkipDigits(text, end + 1);
    digits = digits || fraction > end + 1;
    end = fraction;
  }
  if (!digits) return 0.0f;
  if (end < text.size() && (text[end] == 'e' || text[end] == 'E')) {
    size_t exponent = end + 1;
    if (exponent < text.size() && (text[exponent] == '+' || text[exponent] == '-')) ++exponent;
    const size_t exponentEnd = SkipDigits(text, exponent);
    if (exponentEnd > exponent) end = exponentEnd;
  }
  float value = 0.0f;
  const auto result =
      std::from_chars(text.data() + start, text.data() + end, value, std::chars_format::general);
  // A number beyond the range of a float gives 0, as a number that is no number does: the device
  // is never sent an infinity.
  if (result.ec != std::errc()) return 0.0f;
  return negative ? -value : value;
}

}  // namespace quillon
