// The number text forms. Floats are formatted from the bits of the value with
// integer arithmetic, so the x87 precision in force during a run cannot change
// the digits: they are truncated from the exact value (0.7f gives 0.699999).
#include <cstdint>
#include <cstring>

#include "lang/kr_string.h"

namespace kr {
namespace {

char* writeUnsigned(std::uint32_t value, char* out) {
  char digits[10];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (count > 0) *out++ = digits[--count];
  return out;
}

// mantissa * 2^exponent in decimal; a float's integer part has at most 39 digits.
char* writeScaledInteger(std::uint32_t mantissa, int exponent, char* out) {
  unsigned char digits[48];  // least significant first
  int count = 0;
  do {
    digits[count++] = static_cast<unsigned char>(mantissa % 10);
    mantissa /= 10;
  } while (mantissa != 0);
  for (int i = 0; i < exponent; ++i) {
    int carry = 0;
    for (int d = 0; d < count; ++d) {
      int v = digits[d] * 2 + carry;
      digits[d] = static_cast<unsigned char>(v % 10);
      carry = v / 10;
    }
    if (carry) digits[count++] = static_cast<unsigned char>(carry);
  }
  while (count > 0) *out++ = static_cast<char>('0' + digits[--count]);
  return out;
}

char* writeSixDigits(std::uint32_t micros, char* out) {
  for (int i = 5; i >= 0; --i) {
    out[i] = static_cast<char>('0' + micros % 10);
    micros /= 10;
  }
  return out + 6;
}

std::size_t writeText(const char* text, char* out) {
  std::size_t length = std::strlen(text);
  std::memcpy(out, text, length + 1);
  return length;
}

}  // namespace

std::size_t formatInt(int n, char* out) {
  char* p = out;
  std::uint32_t magnitude = static_cast<std::uint32_t>(n);
  if (n < 0) {
    *p++ = '-';
    magnitude = 0u - magnitude;
  }
  p = writeUnsigned(magnitude, p);
  *p = 0;
  return static_cast<std::size_t>(p - out);
}

std::size_t formatFloat(float f, char* out) {
  std::uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  const bool negative = (bits >> 31) != 0;
  const int biasedExponent = static_cast<int>((bits >> 23) & 0xFF);
  std::uint32_t mantissa = bits & 0x7FFFFF;
  if (biasedExponent == 0xFF) {
    if (mantissa != 0) return writeText("NaN", out);
    return writeText(negative ? "-Infinity" : "Infinity", out);
  }
  char* p = out;
  if (negative && (biasedExponent != 0 || mantissa != 0)) *p++ = '-';  // -0 has no sign
  int exponent = -149;  // the value is mantissa * 2^exponent
  if (biasedExponent != 0) {
    mantissa |= 1u << 23;
    exponent = biasedExponent - 150;
  }
  std::uint32_t micros = 0;
  if (exponent >= 0) {
    p = writeScaledInteger(mantissa, exponent, p);
  } else {
    const int fractionBits = -exponent;
    const std::uint32_t whole = fractionBits < 32 ? mantissa >> fractionBits : 0;
    const std::uint64_t fraction = fractionBits < 32 ? mantissa & ((1u << fractionBits) - 1) : mantissa;
    if (fractionBits < 64) micros = static_cast<std::uint32_t>((fraction * 1000000u) >> fractionBits);
    p = writeUnsigned(whole, p);
  }
  *p++ = '.';
  p = writeSixDigits(micros, p);
  *p = 0;
  return static_cast<std::size_t>(p - out);
}

std::string floatText(float f) {
  char text[kNumberTextMax];
  std::size_t length = formatFloat(f, text);
  return std::string(text, length);
}

}  // namespace kr
