// The shortest text that reads back as the same double, exactly as std::to_chars(first, last,
// value) writes it, but quicker for the numbers lists are made of: coordinates with a few
// decimals (master units from whole units of resolution).
#pragma once

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace kelvara {

constexpr char kDigitPairs[] =
    "0001020304050607080910111213141516171819202122232425262728293031323334353637383940414243"
    "4445464748495051525354555657585960616263646566676869707172737475767778798081828384858687"
    "888990919293949596979899";

// Writes the last `count` decimal digits of n so that they end at `end`; returns their first
// and leaves in n what is left of it.
inline char* putLastDigits(char* end, uint64_t& n, int count) {
  for (; count >= 2; count -= 2, n /= 100) {
    end -= 2;
    std::memcpy(end, kDigitPairs + 2 * (n % 100), 2);
  }
  if (count > 0) {
    *--end = static_cast<char>('0' + n % 10);
    n /= 10;
  }
  return end;
}

// Writes the decimal digits of n (at least one) so that they end at `end`; returns their first.
inline char* putDigits(char* end, uint64_t n) {
  while (n >= 100) end = putLastDigits(end, n, 2);
  return putLastDigits(end, n, n >= 10 ? 2 : 1);
}

// Writes the text at `at`, which has room for 32 bytes, and returns its end.
//
// For |value| * 10^k < 2^52 the doubles round-tripping a k-decimal text lie closer together
// than 10^-k, so the integer n nearest to |value| * 10^k with n / 10^k == |value| (the division
// of two exact doubles rounds like reading the text "n / 10^k") is the one k-decimal text of
// the value, and the least such k gives the fewest digits (n then ends in a zero only when k is
// 0). std::to_chars prints that in fixed notation unless the scientific one (the significant
// digits, a point after the first when more than one, e, the exponent's sign and two digits, as
// the exponent lies within -10..15) is shorter; those, zero, and values without such a k are
// left to it.
inline char* putShortestNumber(char* at, double value) {
  static constexpr double kPowers[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
  constexpr double kLimit = 4503599627370496.0;  // 2^52
  const double magnitude = std::fabs(value);
  if (magnitude > 0 && magnitude < kLimit) {
    for (int k = 0; k < 10; ++k) {
      const double scaled = magnitude * kPowers[k];
      if (scaled >= kLimit) break;
      const double rounded = (scaled + kLimit) - kLimit;  // the nearest integer (ties to even)
      // A k-decimal text of the value lies within |value| * 10^k * 2^-53 of the exact scaled
      // value, which the product misses by as much again: a product farther from an integer
      // has none, and the slow division is spared.
      if (std::fabs(scaled - rounded) > scaled * 0x1p-50) continue;
      if (rounded / kPowers[k] != magnitude) continue;
      // Written backwards from `end`: the k decimals and the point, then the integer part. The
      // text (at most 17 bytes) then goes out as one block of 24: the buffer has room beyond.
      char text[48] = {};
      char* const end = text + 24;
      auto n = static_cast<uint64_t>(rounded);
      char* first = end;
      if (k > 0) {
        first = putLastDigits(first, n, k);
        *--first = '.';
      }
      const bool belowOne = k > 0 && n == 0;
      first = putDigits(first, n);
      const int fixedLength = static_cast<int>(end - first);
      if (fixedLength > 5) {
        // The significant digits: below one, those after the zeros that follow the point;
        // otherwise all of them but the zeros that end a whole number.
        int significant;
        if (belowOne) {
          const char* digit = first + 2;
          while (*digit == '0') ++digit;
          significant = static_cast<int>(end - digit);
        } else {
          significant = fixedLength - (k > 0 ? 1 : 0);
          while (k == 0 && first[significant - 1] == '0') --significant;
        }
        if (significant + (significant > 1 ? 1 : 0) + 4 < fixedLength) break;
      }
      if (value < 0) *at++ = '-';
      std::memcpy(at, first, 24);
      return at + fixedLength;
    }
  }
  return std::to_chars(at, at + 32, value).ptr;
}

}  // namespace kelvara
