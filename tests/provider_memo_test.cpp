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

// ---- records of a file against a direct scan of the tables ----

#include <netcdf.h>

#include <random>
#include <string>
#include <vector>

#include "core/filecache.h"
#include "testutil.h"

namespace {

// The lookup as the tables define it: the provider entries of the name in
// order; the first that gives its own code answers; one that gives codes
// per station answers with the first subtype named like the station, and
// with nothing at all when the station name is blank.
bool same_nul(const char* a, const char* b, int len) {
  for (int i = 0; i < len; ++i) {
    char x = a[i] == '\0' ? ' ' : a[i], y = b[i] == '\0' ? ' ' : b[i];
    if (x != y) return false;
  }
  return true;
}

voran::ProvMatch scan(const char* prov, int provw, const char* station, int which) {
  const int len = M_LSTCHR(std::string_view(prov, provw), provw);
  for (int k = 0; k < PROVTBL.SUBSRC_COUNT[0]; ++k) {
    if (PROVTBL.SUBSRC_NAMLEN[0][k] != len || !same_nul(prov, PROVTBL.SUBSRC_NAME[0][k], len))
      continue;
    if (PROVTBL.SUBSRC_CODE3[0][k] == 0)
      return {true, true, k + 1, which == 1 ? PROVTBL.SUBSRC_CODE1[0][k] : PROVTBL.SUBSRC_CODE2[0][k]};
    const int slen = M_LSTCHR(std::string_view(station, 11), 11);
    if (slen == 0) return {false, false, 0, 0};
    for (int m = 0; m < PROVTBL.SUBTYPE_COUNT[0]; ++m) {
      if (PROVTBL.SUBTYPE_NAMLEN[0][m] == slen && same_nul(station, PROVTBL.SUBTYPE_NAME[0][m], slen))
        return {true, false, k + 1,
                which == 1 ? PROVTBL.SUBTYPE_CODE1[0][m] : PROVTBL.SUBTYPE_CODE2[0][m]};
    }
  }
  return {false, false, 0, 0};
}

bool equal(const voran::ProvMatch& a, const voran::ProvMatch& b) {
  return a.found == b.found && a.direct == b.direct && a.provider == b.provider && a.code == b.code;
}

// Names that differ only by NUL and blank, by trailing blanks, or by a
// leading blank; some are in no table.
const std::string PROVS[] = {"AAA", std::string("AAA\0", 4), "A A", std::string("A\0A", 3), "BB",
                             " BB", "CCCCCCCCCC", "ZZZ", ""};
const std::string STATIONS[] = {"ST1", std::string("ST1\0\0", 5), "S T", std::string("S\0T", 3),
                                "LONGSTATION", "NONE", "", "ST2"};

// A file of n records with 11-character provider and station names written
// byte for byte (NULs included); returns its path.
std::string names_file(int n, std::mt19937& rng, std::vector<std::string>& provs,
                       std::vector<std::string>& stas) {
  std::string path = testutil::make_tmpdir() + "/names.nc";
  int ncid, rec, w, vp, vs;
  EXPECT_EQ(nc_create(path.c_str(), NC_CLOBBER, &ncid), NC_NOERR);
  nc_def_dim(ncid, "recNum", NC_UNLIMITED, &rec);
  nc_def_dim(ncid, "nameLen", 11, &w);
  int dims[2] = {rec, w};
  nc_def_var(ncid, "dataProvider", NC_CHAR, 2, dims, &vp);
  nc_def_var(ncid, "stationName", NC_CHAR, 2, dims, &vs);
  nc_enddef(ncid);
  std::string pbuf(static_cast<std::size_t>(n) * 11, '\0'), sbuf = pbuf;
  for (int i = 0; i < n; ++i) {
    provs.push_back(PROVS[rng() % std::size(PROVS)]);
    stas.push_back(STATIONS[rng() % std::size(STATIONS)]);
    std::memcpy(&pbuf[i * 11], provs.back().data(), provs.back().size());
    std::memcpy(&sbuf[i * 11], stas.back().data(), stas.back().size());
  }
  size_t start[2] = {0, 0}, count[2] = {static_cast<size_t>(n), 11};
  EXPECT_EQ(nc_put_vara_text(ncid, vp, start, count, pbuf.data()), NC_NOERR);
  EXPECT_EQ(nc_put_vara_text(ncid, vs, start, count, sbuf.data()), NC_NOERR);
  EXPECT_EQ(nc_close(ncid), NC_NOERR);
  return path;
}

TEST(ProviderRecords, EveryRecordAgreesWithAScanOfTheTables) {
  std::mt19937 rng(12345);
  std::vector<std::string> provs, stas;
  const int n = 400;
  const std::string path = names_file(n, rng, provs, stas);
  int ncid = -1;
  ASSERT_EQ(voran::fc_open(path.c_str(), ncid), NC_NOERR);
  int recdim = -1;
  nc_inq_unlimdim(ncid, &recdim);
  SFCSTRN.FILE_NCID[0] = ncid;
  SFCSTRN.FILE_RECDIM[0] = recdim;
  SFCSTRN.FILE_NREC[0] = n;
  SFCSTRN.FILE_DSET[0] = 4;

  for (int round = 0; round < 30; ++round) {
    // A table of repeated names, some giving codes per station.
    PROVTBL.SUBSRC_COUNT[0] = 1 + static_cast<int32_t>(rng() % 12);
    for (int k = 0; k < PROVTBL.SUBSRC_COUNT[0]; ++k) {
      const std::string& name = PROVS[rng() % (std::size(PROVS) - 2)];
      std::memset(PROVTBL.SUBSRC_NAME[0][k], ' ', 10);
      std::memcpy(PROVTBL.SUBSRC_NAME[0][k], name.data(), name.size());
      PROVTBL.SUBSRC_NAMLEN[0][k] = M_LSTCHR(voran::fview(PROVTBL.SUBSRC_NAME[0][k], 10), 10);
      PROVTBL.SUBSRC_CODE1[0][k] = static_cast<int32_t>(rng() % 7) - 3;
      PROVTBL.SUBSRC_CODE2[0][k] = static_cast<int32_t>(rng() % 20);
      PROVTBL.SUBSRC_CODE3[0][k] = static_cast<int32_t>(rng() % 2);
    }
    PROVTBL.SUBTYPE_COUNT[0] = static_cast<int32_t>(rng() % 6);
    for (int m = 0; m < PROVTBL.SUBTYPE_COUNT[0]; ++m) {
      const std::string& name = STATIONS[rng() % std::size(STATIONS)];
      std::memset(PROVTBL.SUBTYPE_NAME[0][m], ' ', 11);
      std::memcpy(PROVTBL.SUBTYPE_NAME[0][m], name.data(), name.size());
      PROVTBL.SUBTYPE_NAMLEN[0][m] = M_LSTCHR(voran::fview(PROVTBL.SUBTYPE_NAME[0][m], 11), 11);
      PROVTBL.SUBTYPE_CODE1[0][m] = 100 + m;
      PROVTBL.SUBTYPE_CODE2[0][m] = 200 + m;
    }
    int32_t st = -1;
    ASSERT_EQ(voran::file_records(4, 1, st), n);
    // Names read again from the same open file come from what is kept;
    // a provider field written by hand in between must not survive that.
    if (round % 3 == 1) voran::fill_names11(voran::REC_PROVIDER, n, "ZZZ");
    voran::read_names11("dataProvider", 1, voran::REC_PROVIDER, st);
    ASSERT_EQ(st, 0);
    voran::read_names11("stationName", 1, voran::REC_STATION, st);
    ASSERT_EQ(st, 0);
    for (int i = 0; i < n; ++i) {
      const char* p = voran::REC_PROVIDER + i * voran::NAME11;
      const char* s = voran::REC_STATION + i * voran::NAME11;
      std::string want_p = provs[static_cast<std::size_t>(i)];
      want_p.resize(11, ' ');
      for (char& c : want_p) c = c == '\0' ? ' ' : c;
      ASSERT_EQ(std::string(p, 11), want_p) << i;
      for (int which : {1, 2}) {
        for (int provw : {10, 11}) {
          voran::ProvMatch want = scan(p, provw, s, which), got;
          voran::record_provider(i, provw, s, which, got);
          ASSERT_TRUE(equal(got, want)) << "round " << round << " record " << i;
          ASSERT_TRUE(equal(voran::provider_lookup(p, provw, s, which), want)) << i;
        }
      }
    }
    // The codes of all records at once, remembered across calls while the
    // names and the table stay: every round changes the table under names
    // that are kept, and the second call of a round must still agree.
    for (int pass = 0; pass < 2; ++pass) {
      for (int which : {1, 2}) {
        const int provw = which == 1 ? 11 : 10;
        const voran::ProvMatch* all = voran::record_providers(n, provw, which);
        for (int i = 0; i < n; ++i) {
          const char* s = voran::REC_STATION + i * voran::NAME11;
          ASSERT_TRUE(equal(all[i], scan(voran::REC_PROVIDER + i * voran::NAME11, provw, s, which)))
              << "round " << round << " pass " << pass << " record " << i;
        }
      }
      // One subtype code changed in place, the names untouched.
      if (PROVTBL.SUBTYPE_COUNT[0] > 0) ++PROVTBL.SUBTYPE_CODE2[0][0];
    }
    // A provider field written by hand is looked up as written, also by
    // the codes of all records remembered just before.
    if (round % 3 == 2) {
      voran::record_providers(n, 11, 1);
      voran::fill_names11(voran::REC_PROVIDER, n, "AAA");
      const voran::ProvMatch* all = voran::record_providers(n, 11, 1);
      for (int i = 0; i < n; ++i)
        ASSERT_TRUE(equal(all[i], scan(voran::REC_PROVIDER + i * voran::NAME11, 11,
                                       voran::REC_STATION + i * voran::NAME11, 1)))
            << "round " << round << " record " << i;
      voran::ProvMatch got;
      voran::record_provider(7, 11, voran::REC_STATION + 7 * voran::NAME11, 1, got);
      EXPECT_TRUE(equal(got, scan(voran::REC_PROVIDER + 7 * voran::NAME11, 11,
                                  voran::REC_STATION + 7 * voran::NAME11, 1)));
    }
  }
  PROVTBL.SUBSRC_COUNT[0] = 0;
  PROVTBL.SUBTYPE_COUNT[0] = 0;
  EXPECT_EQ(voran::fc_close(ncid), NC_NOERR);
}

}  // namespace
