#include "report/shortest_number.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace kelvara {
namespace {

std::string quick(double v) {
  char text[40];
  return std::string(text, putShortestNumber(text, v));
}

std::string library(double v) {
  char text[40];
  return std::string(text, std::to_chars(text, text + sizeof text, v).ptr);
}

// The text must be the library's, byte for byte, for every kind of value the lists hold (master
// units from whole units of resolution) and for those it hands back to the library.
TEST(ShortestNumber, WritesWhatToCharsWrites) {
  const double edges[] = {0.0,
                          -0.0,
                          1.0,
                          -1.0,
                          0.5,
                          0.05,
                          0.001,
                          0.0001,
                          1e-7,
                          100000,
                          -100000,
                          1200000,
                          123456.0,
                          1e15,
                          1e16,
                          1e22,
                          1e100,
                          1e-300,
                          0.1 + 0.2,
                          1.0 / 3,
                          2.5e-5,
                          4503599627370495.5,
                          4503599627370496.0,
                          9007199254740993.0,
                          std::numeric_limits<double>::max(),
                          std::numeric_limits<double>::min(),
                          std::numeric_limits<double>::denorm_min(),
                          std::numeric_limits<double>::infinity(),
                          std::numeric_limits<double>::quiet_NaN()};
  for (const double v : edges) EXPECT_EQ(quick(v), library(v)) << library(v);

  std::mt19937_64 rng(7);
  std::uniform_int_distribution<int64_t> uor(-(int64_t(1) << 40), int64_t(1) << 40);
  const double divisors[] = {1, 3, 10, 254, 1000, 1e4, 1e6, 1e9, 1e12, 0.1};
  for (int i = 0; i < 200000; ++i) {
    const double scaled = double(uor(rng) >> (i % 40)) / divisors[i % 10];
    for (const double v : {scaled, std::nextafter(scaled, 1e300), std::nextafter(scaled, -1e300)})
      ASSERT_EQ(quick(v), library(v)) << library(v);
    uint64_t bits = rng();
    double any;
    std::memcpy(&any, &bits, sizeof any);
    ASSERT_EQ(quick(any), library(any)) << library(any);
  }
}

}  // namespace
}  // namespace kelvara
