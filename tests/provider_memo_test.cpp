// Provider lookups of mesonet records are remembered while one file is
// handled; a new file starts afresh, and lookups that depend on the station
// name are never answered from memory.
#include <gtest/gtest.h>

#include <cstring>

#include "core/core.h"
#include "variables/variables.h"

namespace {

void set_provider(int k, const char* name, int32_t code1, int32_t code3) {
  voran::fset(PROVTBL.SUBSRC_NAME[0][k], 10, name);
  PROVTBL.SUBSRC_NAMLEN[0][k] = static_cast<int32_t>(std::strlen(name));
  PROVTBL.SUBSRC_CODE1[0][k] = code1;
  PROVTBL.SUBSRC_CODE2[0][k] = code1 + 100;
  PROVTBL.SUBSRC_CODE3[0][k] = code3;
}

void new_file() {
  int32_t st = -1;
  voran::file_records(4, 1, st);
  ASSERT_EQ(st, 0);
}

voran::ProvMatch look(const char* prov, const char* station, int32_t which = 1) {
  char p[11], s[11];
  voran::fset(p, 11, prov);
  voran::fset(s, 11, station);
  return voran::provider_lookup(p, 11, s, which);
}

class ProviderMemoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PROVTBL.SUBSRC_COUNT[0] = 2;
    set_provider(0, "AAA", 5, 0);
    set_provider(1, "BBB", 0, 1);
    PROVTBL.SUBTYPE_COUNT[0] = 1;
    voran::fset(PROVTBL.SUBTYPE_NAME[0][0], 11, "ST1");
    PROVTBL.SUBTYPE_NAMLEN[0][0] = 3;
    PROVTBL.SUBTYPE_CODE1[0][0] = 7;
    PROVTBL.SUBTYPE_CODE2[0][0] = 8;
    new_file();
  }
  void TearDown() override {
    PROVTBL.SUBSRC_COUNT[0] = 0;
    PROVTBL.SUBTYPE_COUNT[0] = 0;
    new_file();
  }
};

TEST_F(ProviderMemoTest, ANewFileSeesTheTableAsItIsNow) {
  EXPECT_EQ(look("AAA", "").code, 5);
  EXPECT_EQ(look("AAA", "", 2).code, 105);  // the other code is its own lookup
  PROVTBL.SUBSRC_CODE1[0][0] = 6;  // as a provider table read from a later file would
  new_file();
  voran::ProvMatch m = look("AAA", "");
  EXPECT_TRUE(m.found);
  EXPECT_TRUE(m.direct);
  EXPECT_EQ(m.provider, 1);
  EXPECT_EQ(m.code, 6);
}

TEST_F(ProviderMemoTest, UnknownProviderFoundOnceAdded) {
  EXPECT_FALSE(look("CCC", "ST1").found);
  PROVTBL.SUBSRC_COUNT[0] = 3;
  set_provider(2, "CCC", 3, 0);
  new_file();
  EXPECT_EQ(look("CCC", "ST1").code, 3);
}

TEST_F(ProviderMemoTest, StationSubtypesAreNeverRemembered) {
  EXPECT_EQ(look("BBB", "ST1").code, 7);
  EXPECT_FALSE(look("BBB", "XX").found);
  EXPECT_FALSE(look("BBB", "").found);
  voran::ProvMatch m = look("BBB", "ST1");
  EXPECT_TRUE(m.found);
  EXPECT_FALSE(m.direct);
  EXPECT_EQ(m.code, 7);
  // A second entry of the name with its own code answers when no subtype does.
  PROVTBL.SUBSRC_COUNT[0] = 3;
  set_provider(2, "BBB", 9, 0);
  new_file();
  EXPECT_EQ(look("BBB", "XX").code, 9);
  EXPECT_EQ(look("BBB", "ST1").code, 7);
  EXPECT_EQ(look("BBB", "XX").code, 9);
}

}  // namespace
