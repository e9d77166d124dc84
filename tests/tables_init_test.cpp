// Surface and other datasets' initialisation and close, and the installed
// static directory read through them.
#include <gtest/gtest.h>
#include <netcdf.h>

#include <cmath>
#include <cstring>
#include <string>

#include "tables/tables.h"
#include "tables_fixture.h"
#include "testutil.h"

namespace {

struct Init : TablesFixture {
  std::string st = testutil::static_dir();
  // Surface initialisation over the installed tables, with some replaced.
  int32_t sfcinit(const std::string& stadic, const std::string& srcin, const std::string& topo,
                  std::string* msg = nullptr) {
    int32_t status = -1;
    std::string m = out([&] { MSFCINIT(st + "/sfctbl.txt", stadic, srcin, topo, status); });
    if (msg != nullptr) *msg = m;
    return status;
  }
  std::string topo_text(int records, bool commas) {
    std::string t;
    for (int k = 0; k < records; ++k) {
      int i = k % 81 + 1, j = k / 81 + 1;
      t += std::to_string(i) + (commas ? "," : " ") + std::to_string(j) + (commas ? ", " : "  ") +
           std::to_string(i + 100 * j) + ".5\n";
    }
    return t;
  }
};

std::string name(const char* p, int n) { return std::string(p, static_cast<size_t>(n)); }

// One provider-file record in its fixed columns.
std::string src(char type, const std::string& nm, const std::string& c1, const std::string& c2,
                const std::string& c3 = "") {
  std::string l(31, ' ');
  l[1] = type;
  l.replace(7, nm.size(), nm);
  l.replace(21 - c1.size(), c1.size(), c1);
  l.replace(26 - c2.size(), c2.size(), c2);
  l.replace(31 - c3.size(), c3.size(), c3);
  return l + "\n";
}

}  // namespace

TEST_F(Init, SurfaceInitialisationLoadsItsFiles) {
  std::string stadic;
  for (int i = 0; i < 2500; ++i) stadic += testutil::numbered("K", 1000 + i) + " A\n";
  std::string srcin = src('P', "ASOS", "1", "0", "0") + src('X', "IGNORED", "1", "1", "1") +
                      src('S', "STATION ONE", "-2", "7") + src('P', "MesoWest", "-1", "3", "1");
  VORANCOM2.SRC_SELECT[2] = false;
  PROVTBL.SUBSRC_SELECTED[0][5] = false;
  PROVTBL.REQ_COUNT[0] = 4;
  PROVTBL.SUBSRC_CODE4[0][1] = 1;
  VORANCOM2.DOM_TYPE = 1;
  VORANCOM2.RECWIN = 2;
  std::memcpy(VORANCOM1.LIST_TIME[0], "212372000", 9);
  ASSERT_EQ(sfcinit(file("stadic.txt", stadic), file("src.txt", srcin),
                    file("topo.txt", topo_text(5022, false))),
            0);
  EXPECT_EQ(SFCTBL.ASOS_COUNT, 2000);
  EXPECT_EQ(name(SFCTBL.ASOS_ID[1999], 5), "K2999");
  EXPECT_EQ(name(VORANCOM1.SLOTNAME[5], 20), "UrbaNet             ");
  EXPECT_EQ(name(VORANCOM1.LIST_TIME[0], 9), "         ");
  EXPECT_TRUE(VORANCOM2.SRC_SELECT[2]);
  EXPECT_TRUE(PROVTBL.SUBSRC_SELECTED[0][5]);
  EXPECT_EQ(PROVTBL.REQ_COUNT[0], 0);
  EXPECT_TRUE(PROVTBL.REQ_DEFAULT[0]);
  EXPECT_EQ(VORANCOM2.DOM_TYPE, -1);
  EXPECT_EQ(VORANCOM2.RECWIN, 0);
  EXPECT_EQ(VORANCOM2.DSINIT[0], voran::INIT_MARK);
  EXPECT_EQ(PROVTBL.SUBSRC_COUNT[0], 2);
  EXPECT_EQ(PROVTBL.SUBSRC_LISTED[0], 2);
  EXPECT_EQ(name(PROVTBL.SUBSRC_NAME[0][0], 10), "ASOS      ");
  EXPECT_EQ(PROVTBL.SUBSRC_NAMLEN[0][0], 4);
  EXPECT_EQ(PROVTBL.SUBSRC_CODE1[0][1], -1);
  EXPECT_EQ(PROVTBL.SUBSRC_CODE2[0][1], 3);
  EXPECT_EQ(PROVTBL.SUBSRC_CODE3[0][1], 1);
  EXPECT_EQ(PROVTBL.SUBSRC_CODE4[0][1], 0);  // no stale five-minute flag
  EXPECT_EQ(PROVTBL.SUBTYPE_COUNT[0], 1);
  EXPECT_EQ(name(PROVTBL.SUBTYPE_NAME[0][0], 11), "STATION ONE");
  EXPECT_EQ(PROVTBL.SUBTYPE_NAMLEN[0][0], 11);
  EXPECT_EQ(PROVTBL.SUBTYPE_CODE1[0][0], -2);
  EXPECT_EQ(PROVTBL.SUBTYPE_CODE2[0][0], 7);
  EXPECT_EQ(name(VORANCOM1.SRCIN_PATH, static_cast<int>(dir.size()) + 8), dir + "/src.txt");
  EXPECT_EQ(SFCTBL.TOPO[0][0], 101.5f);
  EXPECT_EQ(SFCTBL.TOPO[61][80], 6281.5f);
  EXPECT_EQ(SFCTBL.TOPO[1][2], 203.5f);

  // Commas load like blanks; an empty station list is no error.
  ASSERT_EQ(sfcinit(file("empty.txt", ""), file("src.txt", srcin),
                    file("topo.txt", topo_text(5022, true))),
            0);
  EXPECT_EQ(SFCTBL.ASOS_COUNT, 0);
  EXPECT_EQ(SFCTBL.TOPO[61][80], 6281.5f);
}

TEST_F(Init, SurfaceInitialisationFailuresStopInOrder) {
  std::string stadic = file("stadic.txt", "KDEN A\nKBOS A\n");
  std::string srcin = file("src.txt", src('P', "ASOS", "1", "0", "0"));
  std::string topo = file("topo.txt", topo_text(5022, false));
  std::string msg;

  PROVTBL.SUBSRC_COUNT[0] = 7;
  VORANCOM2.DSINIT[0] = 0;
  EXPECT_EQ(sfcinit(dir + "/none", srcin, topo, &msg), 2002);
  EXPECT_EQ(msg, " MSFCINIT: BIF - OPEN ERROR - STADIC\n");
  EXPECT_EQ(SFCTBL.ASOS_COUNT, 0);
  EXPECT_EQ(PROVTBL.SUBSRC_COUNT[0], 7);  // later files unread
  EXPECT_EQ(VORANCOM2.DSINIT[0], voran::INIT_MARK);

  EXPECT_EQ(sfcinit(stadic, dir + "/none", topo, &msg), 2002);
  EXPECT_EQ(msg, " MSFCINIT: BIF - OPEN ERROR - SUBSRCIN\n");
  EXPECT_EQ(SFCTBL.ASOS_COUNT, 2);
  EXPECT_EQ(PROVTBL.SUBSRC_COUNT[0], 7);

  EXPECT_EQ(sfcinit(stadic, file("bad.txt", src('P', "ASOS", "1", "0", "0") + src('P', "X", "1x", "0")),
                    topo, &msg),
            2002);
  EXPECT_EQ(msg, " MSFCINIT: BIF - READ ERROR - SUBSRCIN\n");
  EXPECT_EQ(PROVTBL.SUBSRC_COUNT[0], 1);

  SFCTBL.TOPO[61][80] = -1.0f;
  EXPECT_EQ(sfcinit(stadic, srcin, dir + "/none", &msg), 2002);
  EXPECT_EQ(msg, " MSFCINIT: BIF - OPEN ERROR - TOPMINI\n");
  EXPECT_EQ(PROVTBL.SUBSRC_COUNT[0], 1);
  EXPECT_EQ(sfcinit(stadic, srcin, file("t1.txt", topo_text(5021, false)), &msg), 2002);
  EXPECT_EQ(msg, " MSFCINIT: BIF - READ ERROR - TOPMINI\n");
  EXPECT_EQ(SFCTBL.TOPO[61][79], 6280.5f);  // filled up to the failing record
  EXPECT_EQ(SFCTBL.TOPO[61][80], -1.0f);
  EXPECT_EQ(sfcinit(stadic, srcin, file("t2.txt", "1 1 x\n"), &msg), 2002);
  EXPECT_EQ(msg, " MSFCINIT: BIF - READ ERROR - TOPMINI\n");

  // A table error returns before any other file is read.
  std::string tbl = file("tbl.txt", "  8   METAR                Q             temperature\n");
  int32_t status = 0;
  SFCTBL.ASOS_COUNT = 5;
  msg = out([&] { MSFCINIT(tbl, stadic, srcin, topo, status); });
  EXPECT_EQ(status, 4002);
  EXPECT_EQ(msg, " MSFCTBL: INTV - INVALID VARIABLE TYPE AT SFCTBL LINE   1\n");
  EXPECT_EQ(SFCTBL.ASOS_COUNT, 0);
}

TEST_F(Init, ProviderFileLimits) {
  std::string text;
  for (int i = 0; i < 120; ++i) text += src('P', "PROV" + std::to_string(i), "1", "2", "0");
  for (int i = 0; i < 250; ++i) text += src('S', "ST" + std::to_string(i), "1", "2");
  ASSERT_EQ(sfcinit(file("s.txt", "KDEN A\n"), file("p.txt", text),
                    file("t.txt", topo_text(5022, false))),
            0);
  EXPECT_EQ(PROVTBL.SUBSRC_COUNT[0], 100);  // the rest does not fit
  EXPECT_EQ(name(PROVTBL.SUBSRC_NAME[0][99], 10), "PROV99    ");
  EXPECT_EQ(PROVTBL.SUBTYPE_COUNT[0], 180);  // only 300 lines are read
}

TEST_F(Init, OtherDatasetsInitialiseTheirState) {
  // SNOW: a missing table does not stop the provider file.
  std::string srcfile =
      file("snowsrc.txt", src('P', "SNOTEL", "0", "0", "0") + src('S', "RIDGE", "1", "2"));
  int32_t status = 0;
  VORANCOM2.DSINIT[12] = 0;
  PROVTBL.SUBSRC_SELECTED[7][3] = false;
  std::string msg = out([&] { MSNOWINIT(dir + "/none.txt", srcfile, status); });
  EXPECT_EQ(status, 2002);
  EXPECT_EQ(msg, " MSNOWTBL: BIF - OPEN ERROR - SNOWTBL\n");
  EXPECT_EQ(PROVTBL.SUBSRC_COUNT[7], 1);
  EXPECT_EQ(PROVTBL.SUBTYPE_COUNT[7], 1);
  EXPECT_EQ(PROVTBL.SUBSRC_LISTED[7], 1);
  EXPECT_TRUE(PROVTBL.SUBSRC_SELECTED[7][3]);
  EXPECT_EQ(VORANCOM2.DSINIT[12], voran::INIT_MARK);
  EXPECT_TRUE(VORANCOM2.SNOW_FLAG);
  msg = out([&] { MSNOWINIT(st + "/snowtbl.txt", dir + "/none.txt", status); });
  EXPECT_EQ(status, 2002);
  EXPECT_EQ(msg, " MSNOWINIT: BIF - OPEN ERROR - SUBSRCIN\n");

  // ACARS names all six upper-air slots; MAP resets provider table 3,
  // RAOB resets none.
  std::memset(VORANCOM1.SLOTNAME[10], 'x', 6 * 20);
  MUAPTINIT(3, st + "/acarstbl.txt", status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(name(VORANCOM1.SLOTNAME[10], 20), "RAOB                ");
  EXPECT_EQ(name(VORANCOM1.SLOTNAME[15], 20), "ACARSP              ");
  EXPECT_EQ(VORANCOM2.DSINIT[3], voran::INIT_MARK);
  for (int p = 0; p < voran::NPTABLES; ++p) PROVTBL.REQ_COUNT[p] = 3;
  MUAPTINIT(1, st + "/raobtbl.txt", status);
  for (int p = 0; p < voran::NPTABLES; ++p) EXPECT_EQ(PROVTBL.REQ_COUNT[p], 3);
  MUAPTINIT(4, st + "/maptbl.txt", status);
  EXPECT_EQ(PROVTBL.REQ_COUNT[2], 0);
  EXPECT_EQ(PROVTBL.REQ_COUNT[3], 3);
  MUAPTINIT(5, st + "/rdmtrtbl.txt", status);
  EXPECT_EQ(PROVTBL.REQ_COUNT[3], 0);
  EXPECT_EQ(PROVTBL.REQ_COUNT[0], 3);

  // The satellite and WISDOM sets empty the surface ASOS list.
  struct {
    void (*init)(std::string_view, int32_t&);
    const char* table;
    int dset;
    int ptable;
  } sets[] = {{MHYDROINIT, "hydrotbl.txt", 7, 2},   {MSATWNDINIT, "satwndtbl.txt", 8, 5},
              {MSATSNDINIT, "satsndtbl.txt", 10, 6}, {MSATRADINIT, "satradtbl.txt", 11, 7},
              {MWISDOMINIT, "wisdomtbl.txt", 13, 9}};
  for (const auto& s : sets) {
    SFCTBL.ASOS_COUNT = 17;
    VORANCOM2.DSINIT[s.dset] = 0;
    VORANCOM2.QC_LEVEL = 3;
    s.init(st + "/" + s.table, status);
    EXPECT_EQ(status, 0) << s.table;
    EXPECT_EQ(VORANCOM2.DSINIT[s.dset], voran::INIT_MARK) << s.table;
    EXPECT_EQ(PROVTBL.REQ_COUNT[s.ptable - 1], 0) << s.table;
    EXPECT_EQ(SFCTBL.ASOS_COUNT, s.dset == 7 ? 17 : 0) << s.table;
    EXPECT_EQ(VORANCOM2.QC_LEVEL, 0);
  }
  EXPECT_EQ(name(VORANCOM1.SLOTNAME[18], 20), "GOES-EXPER-WINDS    ");
  EXPECT_EQ(name(VORANCOM1.SLOTNAME[20], 20), "SATELLITE-RADIANCE  ");

  // Close routines have nothing open here; calling them twice is harmless.
  for (int k = 0; k < 2; ++k) {
    MUAPTCLS(3);
    MHYDROCLS();
    MSATWNDCLS();
    MSATSNDCLS();
    MSATRADCLS();
    MSNOWCLS();
    MWISDOMCLS();
  }
  EXPECT_EQ(VORANCOM2.DSINIT[13], voran::INIT_MARK);
}

TEST_F(Init, SurfaceCloseGivesUpOpenFiles) {
  std::string nc = dir + "/f.nc";
  ASSERT_TRUE(testutil::ncgen("netcdf f { dimensions: recNum = 1 ; }", nc));
  for (int s = 0; s < voran::NFSLOTS; ++s) SFCSTRN.FILE_NCID[s] = -1;
  int ids[2];
  ASSERT_EQ(nc_open(nc.c_str(), NC_NOWRITE, &ids[0]), NC_NOERR);
  ASSERT_EQ(nc_open(nc.c_str(), NC_NOWRITE, &ids[1]), NC_NOERR);
  SFCSTRN.FILE_NCID[0] = ids[0];
  SFCSTRN.FILE_DSET[0] = 4;
  SFCSTRN.FILE_NCID[39] = ids[1];
  SFCSTRN.FILE_DSET[39] = 1;
  std::memcpy(SFCSTRC.FILE_NAME[0], "20210825_2000", 13);
  std::memcpy(SFCSTRC.FILE_NAME[39], "20210825_2100", 13);
  voran::fset(SFCSTRC.DSET_DIR[3], voran::PATHLEN, "/KORB/mesonet/netCDF/");
  voran::fset(SFCSTRC.DSET_DIR[0], voran::PATHLEN, "/point/metar/netcdf/");
  SFCSTRN.DSET_DIRLEN[3] = 21;
  SFCSTRN.DSET_DIRLEN[0] = 20;
  VORANCOM2.DSINIT[0] = voran::INIT_MARK;
  MSFCCLS();
  EXPECT_EQ(SFCSTRN.FILE_NCID[0], -1);
  EXPECT_EQ(SFCSTRN.FILE_NCID[39], -1);
  int nd;
  EXPECT_NE(nc_inq_ndims(ids[0], &nd), NC_NOERR);
  EXPECT_NE(nc_inq_ndims(ids[1], &nd), NC_NOERR);
  EXPECT_EQ(VORANCOM2.DSINIT[0], voran::INIT_MARK);
  MSFCCLS();  // nothing left to close
  EXPECT_EQ(SFCSTRN.FILE_NCID[0], -1);
}

// The installation's tables, as the build installs them.
TEST_F(Init, InstalledSurfaceTablesAreConsistent) {
  ASSERT_EQ(sfcinit(st + "/stadic.txt", st + "/sfcsrcin.txt", st + "/topomini.txt"), 0);
  int32_t status = -1;
  MRDVCODE(0, st + "/sfcvcn.txt", status);
  ASSERT_EQ(status, 0);
  MCOM2.CURDSET = 0;

  const char* requested[] = {
      "TD",     "ALTSE",  "P",      "T",      "DD",      "FF",     "SOILM",   "SOILT",  "PCP1H",
      "PCP24H", "PCPUTCM", "PCPRATE", "DDGUST", "FFGUST", "RDT1",   "RDT2",    "RDT3",   "RDT4",
      "RDLFT1", "RDLFT2", "RDLFT3", "RDLFT4", "RDLIP1",  "RDLIP2", "RDLIP3",  "RDLIP4", "RDLDP1",
      "RDLDP2", "RDLDP3", "RDLDP4", "RDSTA1", "RDSTA2",  "RDSTA3", "RDSTA4",  "FSRD15M", "FSRD1H",
      "FSRD24H", "DSRD15M", "DSRD1H", "DSRD24H", "VIS"};
  for (const char* n : requested) {
    int32_t code = 0;
    char type = ' ';
    MGETVCN(n, code, &type, status);
    ASSERT_EQ(status, 0) << n;
    EXPECT_EQ(type, 'N') << n;
    // Every requested variable is carried by the MESONET files.
    EXPECT_GT(VARTBL.NAMLEN[code - 1][3], 0) << n;
    EXPECT_NE(VARTBL.NCTYPE[code - 1][3], 'c') << n;
  }
  // Names sorted, codes unique, every listed code in the variable table.
  bool seen[voran::NCODES] = {};
  for (int k = 0; k < VCNTBL.VCN_COUNT[0]; ++k) {
    if (k > 0) {
      EXPECT_LT(name(VCNTBL.VCN_NAME[0][k - 1], 7), name(VCNTBL.VCN_NAME[0][k], 7));
    }
    int c = VCNTBL.VCN_CODE[0][k];
    EXPECT_FALSE(seen[c - 1]) << c;
    seen[c - 1] = true;
    int nets = 0;
    for (int s = 0; s < voran::NSRC; ++s) nets += VARTBL.NAMLEN[c - 1][s] > 0;
    EXPECT_GT(nets, 0) << name(VCNTBL.VCN_NAME[0][k], 7);
  }
  // Codes whose quantity the library fixes.
  auto code_of = [&](const char* n) {
    int32_t code = 0;
    char type;
    MGETVCN(n, code, &type, status);
    return code;
  };
  const std::pair<const char*, int> fixed_codes[] = {
      {"TD", 1},     {"ALTSE", 3},   {"P", 7},       {"T", 8},      {"DD", 9},      {"FF", 10},
      {"PCP1H", 31}, {"PCPRATE", 39}, {"RDLFT1", 89}, {"RDLFT4", 92}, {"SOILM", 78}, {"FSRD15M", 101}};
  for (const auto& [n, c] : fixed_codes) EXPECT_EQ(code_of(n), c) << n;
  // Identity variables of every source, station identifiers as characters.
  for (int s = 0; s < voran::NSRC; ++s) {
    for (int c : {15, 16, 17, 18}) EXPECT_GT(VARTBL.NAMLEN[c - 1][s], 0) << c << " " << s;
    EXPECT_EQ(VARTBL.NCTYPE[14][s], 'c');
  }
  EXPECT_EQ(VARTBL.CHRLEN[14][0], 5);
  EXPECT_EQ(VARTBL.CHRLEN[14][1], 8);
  EXPECT_EQ(VARTBL.CHRLEN[14][3], 6);

  // Fixed provider places.
  const char* fixed[][2] = {{"1", "ASOS"},      {"2", "COOP"},      {"3", "OTHER-MTR"},
                            {"4", "SAO"},       {"5", "MARITIME"},  {"6", "ASOS-HFM"},
                            {"31", "UrbaNet"},  {"32", "OTHER-HFM"}, {"33", "NEPP"},
                            {"34", "HCN"},      {"35", "CRN"}};
  for (auto& f : fixed) {
    int k = std::stoi(f[0]) - 1;
    EXPECT_TRUE(voran::feq(voran::fview(PROVTBL.SUBSRC_NAME[0][k], 10), f[1])) << f[1];
  }
  EXPECT_GT(PROVTBL.SUBTYPE_COUNT[0], 0);
  EXPECT_GT(SFCTBL.ASOS_COUNT, 100);

  // Terrain: sea at the south-east corner, Lake Superior's surface, the
  // Rockies well above the plains.
  EXPECT_EQ(SFCTBL.TOPO[0][80], 0.0f);
  float superior = SFCTBL.TOPO[47][51];  // (52, 48): about 47.6 N, 87.7 W
  EXPECT_NEAR(superior, 183.0f, 1.0f);
  float hmax = 0, hmin = 0;
  for (auto& row : SFCTBL.TOPO) {
    for (float h : row) {
      hmax = std::fmax(hmax, h);
      hmin = std::fmin(hmin, h);
    }
  }
  EXPECT_EQ(hmin, 0.0f);
  EXPECT_GT(hmax, 2500.0f);
  EXPECT_LT(hmax, 4500.0f);
}

TEST_F(Init, InstalledTablesOfEveryDatasetAndTemplatesLoad) {
  const char* vcn[] = {"raobvcn",  "npnvcn",    "acarsvcn",  "mapvcn",    "rdmtrvcn",
                       "acarspvcn", "hydrovcn", "satwndvcn", "satsndvcn", "satradvcn",
                       "snowvcn",  "wisdomvcn"};
  int dsets[] = {1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 12, 13};
  for (int i = 0; i < 12; ++i) {
    int32_t status = -1;
    MRDVCODE(dsets[i], st + "/" + vcn[i] + ".txt", status);
    EXPECT_EQ(status, 0) << vcn[i];
    EXPECT_GT(VCNTBL.VCN_COUNT[dsets[i]], 0) << vcn[i];
  }
  int32_t status = -1;
  const char* ua[] = {"raobtbl", "npntbl", "acarstbl", "maptbl", "rdmtrtbl", "acarsptbl"};
  for (int k = 1; k <= 6; ++k) {
    MUAPTINIT(k, st + "/" + ua[k - 1] + ".txt", status);
    EXPECT_EQ(status, 0) << ua[k - 1];
    EXPECT_GT(VARTBL.NAMLEN[16][k + 9], 0) << "latitude of " << ua[k - 1];
  }
  MCOM2.DBNUM = 2;
  MUAPTINIT(3, st + "/teska_acarstbl.txt", status);
  EXPECT_EQ(status, 0);
  MUAPTINIT(6, st + "/teska_acarsptbl.txt", status);
  EXPECT_EQ(status, 0);
  MCOM2.DBNUM = 1;
  MSNOWINIT(st + "/snowtbl.txt", st + "/snowsrcin.txt", status);
  EXPECT_EQ(status, 0);
  EXPECT_GT(PROVTBL.SUBSRC_COUNT[7], 0);

  const char* families[] = {"metar", "maritime", "sao",      "mesonet", "coop",   "urbanet",
                            "hfmetar", "nepp",   "hcn",      "crn",     "raob",   "profiler",
                            "acars",   "map",    "radiometer", "acarsp", "hydro", "satwnd",
                            "satsnd",  "satrad", "snow",     "wisdom"};
  for (const char* f : families) {
    std::string p = st + "/" + f + ".template";
    int ncid = -1;
    ASSERT_EQ(nc_open(p.c_str(), NC_NOWRITE, &ncid), NC_NOERR) << p;
    int period = 0, endoff = 0;
    EXPECT_EQ(nc_get_att_int(ncid, NC_GLOBAL, "filePeriod", &period), NC_NOERR);
    EXPECT_EQ(nc_get_att_int(ncid, NC_GLOBAL, "fileEndOffset", &endoff), NC_NOERR);
    EXPECT_EQ(period, 3600) << f;
    EXPECT_EQ(endoff, 3540) << f;
    nc_close(ncid);
  }
}
