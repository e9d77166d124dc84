#include <gtest/gtest.h>

#include <cstdio>

#include "core/core.h"

TEST(Strings, SignificantLength) {
  EXPECT_EQ(M_LSTCHR("ABC       ", 10), 3);
  EXPECT_EQ(M_LSTCHR("AB`", 3), 2);
  EXPECT_EQ(M_LSTCHR(std::string_view("\0\0\0", 3), 3), 0);
  EXPECT_EQ(M_LSTCHR("    ", 4), 0);
  EXPECT_EQ(M_LSTCHR("ABC", 0), 0);
  EXPECT_EQ(M_LSTCHR("ABC", -3), 0);
  EXPECT_EQ(M_LSTCHR("AB\x7f\xe9", 4), 2);
  EXPECT_EQ(M_LSTCHR("ABCDEF", 4), 4);
}

TEST(Strings, FortranComparisonPadsTheShorter) {
  using voran::feq;
  using voran::feq_nul;
  EXPECT_TRUE(feq("ASOS", "ASOS      "));
  EXPECT_FALSE(feq("ASOS", "asos"));
  EXPECT_FALSE(feq(std::string_view("ASOS\0\0", 6), "ASOS"));
  EXPECT_TRUE(feq_nul(std::string_view("ASOS\0\0", 6), "ASOS  "));
  EXPECT_FALSE(feq_nul("ASOSX", "ASOS"));
  char field[6];
  voran::fset(field, 6, "AB");
  EXPECT_EQ(std::string_view(field, 6), "AB    ");
  voran::fset(field, 6, "ABCDEFGH");
  EXPECT_EQ(std::string_view(field, 6), "ABCDEF");
}

TEST(Units, BorrowAndGiveBack) {
  int32_t a = 0, b = 0, c = 0;
  M_GETLUN(a, 1);
  M_GETLUN(b, 1);
  EXPECT_EQ(a, 99);
  EXPECT_EQ(b, 98);
  M_GETLUN(a, 2);
  M_GETLUN(c, 1);
  EXPECT_EQ(c, 99);
  M_GETLUN(c, 2);
  M_GETLUN(b, 2);
  // Exhaust the pool: the 81st borrow leaves the unit unchanged.
  int32_t units[80];
  for (auto& u : units) M_GETLUN(u, 1);
  EXPECT_EQ(units[79], 20);
  int32_t extra = -5;
  testing::internal::CaptureStdout();
  M_GETLUN(extra, 1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), " NEED MORE THAN 80 UNIT NUMBERS\n");
  EXPECT_EQ(extra, -5);
  for (auto& u : units) M_GETLUN(u, 2);
}
