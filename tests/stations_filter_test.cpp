// Report filter (MSFCFLTR) against a direct quadratic implementation of the
// selection rules, the rule cases one by one, and the QC-level filter.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "stations/stations.h"

namespace {

const char* const T0 = "212372000";  // 2021-08-25 20:00

int32_t itime(const char* s) {
  int32_t t = 0, st = 0;
  M_MKI4TM(s, t, st);
  EXPECT_EQ(st, 0);
  return t;
}

struct Reports {
  std::vector<int32_t> obtime, wmoid, subsrc, fnum, rnum;
  std::vector<float> lat, lon, elev;
  std::string stid, provider, atype, rtype;

  void add(const std::string& id, int32_t ob, const std::string& prov = "P1", float la = 40.0f,
           float lo = -100.0f, int32_t ss = 0, const std::string& at = "A", const std::string& rt = "SA") {
    obtime.push_back(ob);
    wmoid.push_back(static_cast<int32_t>(obtime.size()));
    subsrc.push_back(ss);
    fnum.push_back(1);
    rnum.push_back(static_cast<int32_t>(obtime.size()));
    lat.push_back(la);
    lon.push_back(lo);
    elev.push_back(100.0f);
    stid += (id + std::string(10, ' ')).substr(0, 10);
    provider += (prov + std::string(10, ' ')).substr(0, 10);
    atype += (at + std::string(5, ' ')).substr(0, 5);
    rtype += (rt + std::string(5, ' ')).substr(0, 5);
  }
  int32_t size() const { return static_cast<int32_t>(obtime.size()); }
};

bool ALL_SELECTED[voran::NPROV];

int32_t run(Reports& r, int32_t dset, int32_t recwin, int32_t before, int32_t after,
            const bool* sel = ALL_SELECTED) {
  int32_t nkeep = -1;
  MSFCFLTR(T0, before, after, recwin, dset, 999999.0f, sel, r.size(), r.obtime.data(),
           r.stid.data(), r.wmoid.data(), r.provider.data(), r.subsrc.data(), r.lat.data(),
           r.lon.data(), r.elev.data(), r.atype.data(), r.rtype.data(), r.fnum.data(),
           r.rnum.data(), nkeep);
  return nkeep;
}

// The selection rules written out directly: every report is compared with
// every kept entry.
Reports reference(const Reports& in, int32_t dset, int32_t recwin, int32_t before,
                  int32_t after, const bool* sel) {
  const int64_t t = itime(T0), ts = t + 60 * before, te = t + 60 * after;
  struct Kept {
    int64_t ob;
    int idx;
    int key;
  };
  std::vector<Kept> kept;
  for (int i = 0; i < in.size(); ++i) {
    if (dset == 1 && in.rtype.compare(5 * i, 4, "TEST") == 0) continue;
    if (dset == 3 && !(in.atype[5 * i] == 'A' && in.rtype.compare(5 * i, 2, "SA") == 0)) continue;
    if (in.lat[i] == 999999.0f || in.lon[i] == 999999.0f || in.elev[i] == 999999.0f ||
        in.obtime[i] == 999999)
      continue;
    int32_t s = in.subsrc[i];
    if (!(s == 0 || s == 999 || sel[s - 1])) continue;
    int64_t ob = in.obtime[i];
    int64_t m = ob >= 0 ? ob / 60 * 60 : -((-ob + 59) / 60) * 60;
    bool found = false;
    if (recwin >= 1 && recwin <= 3) {
      for (auto& k : kept) {
        int j = k.key;
        bool match = in.stid.compare(10 * i, 10, in.stid, 10 * j, 10) == 0;
        if (dset == 4) match = match && in.provider.compare(10 * i, 10, in.provider, 10 * j, 10) == 0;
        if (dset == 2) match = match && in.lat[i] == in.lat[j] && in.lon[i] == in.lon[j];
        if (!match) continue;
        found = true;
        bool take = false;
        if (m <= te) {
          if (recwin == 1) take = std::llabs(ob - t) <= std::llabs(k.ob - t) && ts <= m;
          if (recwin == 2) take = ob <= k.ob && ts <= m;
          if (recwin == 3) take = ob >= k.ob;
        }
        if (take) {
          k.ob = ob;
          k.idx = i;
        }
      }
    }
    if (recwin == 0 || (!found && ts <= ob && m <= te)) {
      if (!MDOMFLTR(in.lat[i], in.lon[i])) kept.push_back({ob, i, i});
    }
  }
  Reports out;
  for (auto& k : kept) {
    int j = k.idx;
    out.obtime.push_back(static_cast<int32_t>(k.ob));
    out.wmoid.push_back(in.wmoid[j]);
    out.fnum.push_back(in.fnum[j]);
    out.rnum.push_back(in.rnum[j]);
    out.lat.push_back(in.lat[j]);
    out.lon.push_back(in.lon[j]);
    out.elev.push_back(in.elev[j]);
    out.stid += in.stid.substr(10 * j, 10);
    out.provider += in.provider.substr(10 * j, 10);
    out.atype += in.atype.substr(5 * j, 5);
    out.rtype += in.rtype.substr(5 * j, 5);
  }
  return out;
}

Reports random_reports(std::mt19937& g, int n) {
  const int32_t t = itime(T0);
  Reports r;
  std::uniform_int_distribution<int> pick(0, 99);
  const float lats[] = {40.0f, 40.5f, -0.0f, 0.0f, 45.25f};
  const float lons[] = {-100.0f, -99.5f, 0.0f, -0.0f};
  const char* provs[] = {"NWS", "AWS", "CWOP"};
  const char* rtypes[] = {"METAR", "SPECI", "TEST", "SA", "SAX", "RS"};
  for (int i = 0; i < n; ++i) {
    std::string id = "S";
    id += std::to_string(pick(g) % 40);
    int32_t ob = t + (pick(g) - 50) * 97 + pick(g) % 3;  // about +-80 minutes, ties
    if (pick(g) < 3) ob = 999999;
    float la = lats[pick(g) % 5], lo = lons[pick(g) % 4];
    if (pick(g) < 2) la = 999999.0f;
    int32_t ss = pick(g) < 80 ? (pick(g) % 10) : (pick(g) < 50 ? 999 : 0);
    r.add(id, ob, provs[pick(g) % 3], la, lo, ss, pick(g) < 70 ? "A" : "M", rtypes[pick(g) % 6]);
    if (pick(g) < 2) r.elev.back() = 999999.0f;
  }
  return r;
}

// One line per kept report with every field the filter moves.
std::vector<std::string> rows(const Reports& r, int32_t n) {
  std::vector<std::string> out;
  for (int k = 0; k < n; ++k)
    out.push_back(std::to_string(r.obtime[k]) + "|" + std::to_string(r.wmoid[k]) + "|" +
                  std::to_string(r.rnum[k]) + "|" + r.stid.substr(10 * k, 10) + "|" +
                  r.provider.substr(10 * k, 10) + "|" + r.atype.substr(5 * k, 5) + "|" +
                  r.rtype.substr(5 * k, 5) + "|" + std::to_string(r.lat[k]) + "|" +
                  std::to_string(r.lon[k]) + "|" + std::to_string(r.elev[k]));
  return out;
}

class FilterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (bool& b : ALL_SELECTED) b = true;
    VORANCOM2.DOM_TYPE = -1;
  }
};

}  // namespace

TEST_F(FilterTest, MatchesDirectRulesForEveryModeAndNetwork) {
  std::mt19937 g(20210825);
  bool sel[voran::NPROV];
  for (int k = 0; k < voran::NPROV; ++k) sel[k] = k % 4 != 2;
  const int32_t windows[][2] = {{-30, 30}, {-60, 0}, {0, 45}, {-90, 90}};
  for (int32_t dset : {1, 2, 3, 4, 5}) {
    for (int32_t recwin = 0; recwin <= 4; ++recwin) {
      for (auto& w : windows) {
        Reports in = random_reports(g, 3000);
        Reports want = reference(in, dset, recwin, w[0], w[1], sel);
        int32_t nkeep = run(in, dset, recwin, w[0], w[1], sel);
        ASSERT_EQ(rows(in, nkeep), rows(want, want.size()))
            << "dset " << dset << " recwin " << recwin << " window " << w[0] << ".." << w[1];
      }
    }
  }
}

TEST_F(FilterTest, NearestEarliestLatestAndWindowEdges) {
  const int32_t t = itime(T0);
  {  // RECWIN 1: a tie of distances goes to the report read later.
    Reports r;
    r.add("KDEN", t - 600);
    r.add("KDEN", t + 600);
    ASSERT_EQ(run(r, 1, 1, -30, 30), 1);
    EXPECT_EQ(r.obtime[0], t + 600);
    EXPECT_EQ(r.rnum[0], 2);
  }
  {  // RECWIN 2 and 3 pick the earliest and the latest in the window.
    for (int32_t recwin : {2, 3}) {
      Reports r;
      r.add("KDEN", t - 300);
      r.add("KDEN", t - 1500);
      r.add("KDEN", t + 900);
      r.add("KDEN", t + 1900);  // after the window end
      ASSERT_EQ(run(r, 1, recwin, -30, 30), 1);
      EXPECT_EQ(r.obtime[0], recwin == 2 ? t - 1500 : t + 900);
    }
  }
  {  // RECWIN 1 with a window that starts at t: a report before the window
     // is nearer to t but never replaces the one kept inside it, whichever
     // is read first.
    for (bool inside_first : {true, false}) {
      Reports r;
      if (inside_first) r.add("KDEN", t + 600);
      r.add("KDEN", t - 60);
      if (!inside_first) r.add("KDEN", t + 600);
      ASSERT_EQ(run(r, 1, 1, 0, 45), 1);
      EXPECT_EQ(r.obtime[0], t + 600);
    }
  }
  {  // The window end is compared with the report's whole minute.
    Reports r;
    r.add("A", t + 1800 + 59);
    r.add("B", t + 1800 + 60);
    r.add("C", t - 1800);
    r.add("D", t - 1801);
    ASSERT_EQ(run(r, 1, 4, -30, 30), 2);
    EXPECT_EQ(r.stid.substr(0, 10), "A         ");
    EXPECT_EQ(r.stid.substr(10, 10), "C         ");
  }
}

TEST_F(FilterTest, ProvidersMatchingKeysAndDomain) {
  const int32_t t = itime(T0);
  {  // Deselected providers are dropped; 0 and 999 always pass.
    bool sel[voran::NPROV] = {};
    sel[6] = true;
    Reports r;
    r.add("A", t, "P", 40, -105, 7);
    r.add("B", t, "P", 40, -105, 8);
    r.add("C", t, "P", 40, -105, 999);
    r.add("D", t, "P", 40, -105, 0);
    ASSERT_EQ(run(r, 4, 0, 0, 0, sel), 3);
    EXPECT_EQ(r.stid.substr(10, 1), "C");
  }
  {  // MESONET matches on identifier and provider; MARITIME on identifier
     // and exact position; elsewhere on identifier alone.
    Reports m;
    m.add("X1", t - 60, "NWS");
    m.add("X1", t - 60, "AWS");
    m.add("X1", t, "NWS");
    ASSERT_EQ(run(m, 4, 1, -30, 30), 2);
    EXPECT_EQ(m.obtime[0], t);
    Reports s;
    s.add("SHIP", t - 60, "MARITIME", 45.0f, -60.0f);
    s.add("SHIP", t, "MARITIME", 45.5f, -60.0f);
    s.add("SHIP", t, "MARITIME", -0.0f, 0.0f);
    s.add("SHIP", t + 60, "MARITIME", 0.0f, -0.0f);
    ASSERT_EQ(run(s, 2, 3, -30, 30), 3);
    EXPECT_EQ(s.obtime[2], t + 60);
    Reports c;
    c.add("C1", t - 60, "NWS");
    c.add("C1", t, "AWS");
    EXPECT_EQ(run(c, 5, 1, -30, 30), 1);
  }
  {  // The domain filter applies to new entries, not to replacements.
    VORANCOM2.DOM_TYPE = 2;
    VORANCOM2.DOM_LAT1 = 30;
    VORANCOM2.DOM_LAT2 = 50;
    VORANCOM2.DOM_LON1 = -130;
    VORANCOM2.DOM_LON2 = -60;
    Reports r;
    r.add("IN", t - 60, "P", 40, -100);
    r.add("OUT", t, "P", 40, 170);
    r.add("IN", t, "P", 40, 170);  // same identifier: replaces, not re-tested
    ASSERT_EQ(run(r, 1, 1, -30, 30), 1);
    EXPECT_EQ(r.lon[0], 170.0f);
    VORANCOM2.DOM_TYPE = -1;
  }
}

namespace {

struct QcCase {
  std::string qcd;
  std::vector<float> val;
  explicit QcCase(const std::string& c) : qcd(c), val(c.size(), 1.0f) {}
  std::string kept() const {
    std::string s;
    for (std::size_t i = 0; i < qcd.size(); ++i)
      if (val[i] != 999999.0f) s += qcd[i];
    return s;
  }
};

std::string qc_run(int32_t level, int32_t dset = 1, int32_t stage = 3) {
  VORANCOM2.QC_LEVEL = level;
  VARTBL.QCSTAGE[7][MCOM2.CURDSET] = stage;
  QcCase c("ZCSVQXGBIWT");
  MQCFLTR(8, dset, 1, static_cast<int32_t>(c.qcd.size()), c.qcd.data(), nullptr, nullptr,
          c.val.data());
  return c.kept();
}

}  // namespace

TEST(QcFilterTest, AcceptedCharactersPerLevelAndRestrictions) {
  VORANCOM2.DSINIT[0] = voran::INIT_MARK;
  VORANCOM2.DSINIT[1] = voran::INIT_MARK;
  VORANCOM2.DSINIT[8] = voran::INIT_MARK;
  MCOM2.CURDSET = 0;
  MCOM2.DBNUM = 1;
  VORANCOM2.QC_SOURCE = 1;
  VORANCOM2.QCFLTR_SLOT = 0;
  EXPECT_EQ(qc_run(0), "ZCSVQXGBIWT");
  EXPECT_EQ(qc_run(1), "CSVGIWT");
  EXPECT_EQ(qc_run(2), "SVGIWT");
  EXPECT_EQ(qc_run(3), "VGIWT");
  EXPECT_EQ(qc_run(99, 1, 2), "SVGIWT");  // the variable's own level
  EXPECT_EQ(qc_run(99, 1, 0), "ZCSVQXGBIWT");
  EXPECT_EQ(qc_run(7), "ZCSVQXGBIWT");
  EXPECT_EQ(qc_run(2, 1, 0), "ZCSVQXGBIWT");  // no QC for the variable
  VORANCOM2.QC_SOURCE = 2;                    // values came without QC
  EXPECT_EQ(qc_run(2), "ZCSVQXGBIWT");
  VORANCOM2.QC_SOURCE = 1;
  // Database 2 filters only MESONET, and not at all under TESKA2.
  MCOM2.DBNUM = 2;
  EXPECT_EQ(qc_run(2, 1), "ZCSVQXGBIWT");
  EXPECT_EQ(qc_run(2, 4), "SVGIWT");
  VORANCOM2.TESKA2_FLAG = true;
  EXPECT_EQ(qc_run(2, 4), "ZCSVQXGBIWT");
  VORANCOM2.TESKA2_FLAG = false;
  MCOM2.DBNUM = 1;
  // Satellite winds: only family 2.
  MCOM2.CURDSET = 8;
  EXPECT_EQ(qc_run(1, 1), "ZCSVQXGBIWT");
  EXPECT_EQ(qc_run(1, 2), "CSVGIWT");
  MCOM2.CURDSET = 0;
  // A QC inquiry error leaves the values alone.
  QcCase c("ZZ");
  VORANCOM2.QC_LEVEL = 3;
  MQCFLTR(381, 1, 1, 2, c.qcd.data(), nullptr, nullptr, c.val.data());
  EXPECT_EQ(c.kept(), "ZZ");
  VORANCOM2.QC_LEVEL = 0;
}

TEST(QcFilterTest, PerLevelModeOfSoundings) {
  VORANCOM2.DSINIT[1] = voran::INIT_MARK;
  MCOM2.CURDSET = 1;
  MCOM2.DBNUM = 1;
  VORANCOM2.QC_SOURCE = 1;
  VORANCOM2.QC_LEVEL = 99;
  VARTBL.QCSTAGE[7][1] = 3;
  // Two rows of four values; row 1 has 3 levels, row 2 has 4.
  const int32_t nlev[2] = {3, 4};
  const int32_t ltype[8] = {1, 2, 3, 2, 2, 3, 1, 1};
  auto go = [&](bool sw1, bool sw2) {
    VORANCOM2.QC_LEVTYPE_SW[0] = sw1;
    VORANCOM2.QC_LEVTYPE_SW[1] = sw2;
    QcCase c("CCCCCSCZ");
    MQCFLTR(8, 1, 4, 2, c.qcd.data(), nlev, ltype, c.val.data());
    std::string s;
    for (float v : c.val) s += v == 999999.0f ? '-' : '+';
    return s;
  };
  // Second switch: type 2 needs a level-2 character; value 4 of row 1 is
  // beyond its levels and untested.
  EXPECT_EQ(go(false, true), "+-++-++-");
  // First switch: types 1 and 2 need a level-2 character.
  EXPECT_EQ(go(true, false), "--++-+--");
  // Without a switch the level-3 set applies to every value.
  EXPECT_EQ(go(false, false), "--------");
  VORANCOM2.QC_LEVTYPE_SW[0] = VORANCOM2.QC_LEVTYPE_SW[1] = false;
  MCOM2.CURDSET = 0;
  VORANCOM2.QC_LEVEL = 0;
}
