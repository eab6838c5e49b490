#include "text/number_text.h"

#include <charconv>

namespace quillon {

namespace {

size_t SkipBlanks(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' ||
                             text[i] == '\n' || text[i] == '\v' || text[i] == '\f'))
    ++i;
  return i;
}

uint32_t ReadDigits(std::string_view text, size_t i) {
  uint32_t value = 0;  // wraps modulo 2^32: only the low bits are ever kept
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    value = value * 10u + static_cast<uint32_t>(text[i] - '0');
  return value;
}

}  // namespace

uint32_t ParseUnsignedDecimal(std::string_view text) { return ReadDigits(text, SkipBlanks(text)); }

int32_t ParseSignedDecimal(std::string_view text) {
  size_t i = SkipBlanks(text);
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const uint32_t magnitude = ReadDigits(text, i);
  return static_cast<int32_t>(negative ? 0u - magnitude : magnitude);
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
  if (i < text.size() && text[i] == '+') ++i;
  float value = 0.0f;
  const auto result = std::from_chars(text.data() + i, text.data() + text.size(), value,
                                      std::chars_format::general);
  return result.ec == std::errc() ? value : 0.0f;
}

}  // namespace quillon
