// Variable tables, code tables and the fixed-column / list-directed reading
// layer under them. Expected Fortran behaviour was taken from gfortran.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tables/tables.h"
#include "tables/textio.h"
#include "tables_fixture.h"
#include "testutil.h"

using voran::textio::fixed_int;
using voran::textio::Item;
using voran::textio::Rd;
using voran::textio::TableFile;

namespace {

// One variable-table line in its fixed columns.
std::string tline(const std::string& code, const std::string& slot, char type,
                  const std::string& chrlen, const std::string& name, char qc, char stage) {
  std::string l(70, ' ');
  l.replace(3 - code.size(), code.size(), code);
  l.replace(6, slot.size(), slot);
  l[27] = type;
  l.replace(32, chrlen.size(), chrlen);
  l.replace(41, name.size(), name);
  l[66] = qc;
  l[69] = stage;
  return l + "\n";
}

struct Tables : TablesFixture {
  void SetUp() override {
    TablesFixture::SetUp();
    const char* names[] = {"METAR", "MARITIME", "SAO", "MESONET", "COOP", "UrbaNet", "HFMETAR",
                           "NEPP",  "HCN",      "CRN", "RAOB",    "NPN",  "ACARS",   "MAP",
                           "RDMTR", "ACARSP",   "HYDRO", "GOES-OPER-WINDS", "GOES-EXPER-WINDS",
                           "POES-SOUNDINGS", "SATELLITE-RADIANCE", "SNOW", "WISDOM"};
    for (int s = 0; s < voran::NSLOTS; ++s) voran::fset(VORANCOM1.SLOTNAME[s], 20, names[s]);
  }
};

std::string ncname(int code, int slot) {
  return std::string(VARTBL.NCNAME[code - 1][slot - 1], 24);
}

}  // namespace

TEST(TablesTextio, FixedIntegerFieldsReadLikeGfortran) {
  struct Case {
    const char* rec;
    bool ok;
    int32_t v;
  } cases[] = {
      {"1 2", true, 12},  {" +5", true, 5},   {"-  3", true, 0},  {"+", false, 0},
      {"-", false, 0},    {"\t5", false, 0},  {"", true, 0},      {"   ", true, 0},
      {"1e2", false, 0},  {"+-1", false, 0},  {"5-", false, 0},   {"1.", false, 0},
      {"  -abc", false, 0}, {" - x", true, 0}, {"- ", true, 0},   {"380", true, 380},
  };
  for (const Case& c : cases) {
    int32_t v = -777;
    int32_t len = static_cast<int32_t>(std::strlen(c.rec));
    bool ok = fixed_int(c.rec, len, 1, 3, v);
    EXPECT_EQ(ok, c.ok) << "[" << c.rec << "]";
    if (c.ok) {
      EXPECT_EQ(v, c.v) << "[" << c.rec << "]";
    }
  }
  int32_t v = 0;
  EXPECT_FALSE(fixed_int("99999999999", 11, 1, 11, v));  // beyond 32 bits
  EXPECT_TRUE(fixed_int("-2147483648", 11, 1, 11, v));
  EXPECT_EQ(v, INT32_MIN);
  EXPECT_TRUE(fixed_int("ab 7", 4, 3, 5, v));  // field cut short by the line end
  EXPECT_EQ(v, 7);
  char i3[3];
  voran::textio::fmt_i3(12, i3);
  EXPECT_EQ(std::string(i3, 3), " 12");
  voran::textio::fmt_i3(1000, i3);
  EXPECT_EQ(std::string(i3, 3), "***");
}

TEST_F(Tables, LinesAreFixedFieldsWithoutUnboundedBuffers) {
  std::string longline(100000, 'x');
  std::string p = file("lines.txt", "abc\r\n" + longline + "\nx\ry\n\nlast");
  TableFile f;
  ASSERT_TRUE(f.open(p));
  char rec[8];
  int32_t len;
  ASSERT_EQ(f.line(rec, 8, len), Rd::Ok);
  EXPECT_EQ(std::string(rec, 8), "abc     ");
  EXPECT_EQ(len, 3);
  ASSERT_EQ(f.line(rec, 8, len), Rd::Ok);
  EXPECT_EQ(std::string(rec, 8), "xxxxxxxx");
  ASSERT_EQ(f.line(rec, 8, len), Rd::Ok);  // a CR inside a line is kept
  EXPECT_EQ(std::string(rec, 3), "x\ry");
  ASSERT_EQ(f.line(rec, 8, len), Rd::Ok);
  EXPECT_EQ(len, 0);
  ASSERT_EQ(f.line(rec, 8, len), Rd::Ok);  // last line without a newline
  EXPECT_EQ(std::string(rec, 4), "last");
  EXPECT_EQ(f.line(rec, 8, len), Rd::End);

  p = file("nul.txt", std::string("ok\nA\0B\nafter\n", 13));
  ASSERT_TRUE(f.open(p));
  EXPECT_EQ(f.line(rec, 8, len), Rd::Ok);
  EXPECT_EQ(f.line(rec, 8, len), Rd::Bad);
  EXPECT_EQ(f.line(rec, 8, len), Rd::Ok);
  EXPECT_FALSE(f.open(dir));  // a directory is not a table
  EXPECT_FALSE(f.open(dir + "/missing.txt"));
}

TEST_F(Tables, ListDirectedReadsLikeGfortran) {
  std::string p = file("l.txt",
                       "1,2,3.5\n1 2 3.5 9 9\n1 2\n3\n1,,3\n1 2 /\n2*5 7\n1\t2\t3\n1 2 1d2\n\n"
                       " 1 2 .5\r\n1 2 1+2\n1 , 2 , 4\n3*\n1 2 5,\n1.0 2 3\n1 2 abc\n");
  struct Want {
    Rd rd;
    int32_t a, b;
    float x;
  } want[] = {
      {Rd::Ok, 1, 2, 3.5f},    {Rd::Ok, 1, 2, 3.5f},  {Rd::Ok, 1, 2, 3.0f},
      {Rd::Ok, 1, -7, 3.0f},   {Rd::Ok, 1, 2, -7.0f}, {Rd::Ok, 5, 5, 7.0f},
      {Rd::Ok, 1, 2, 3.0f},    {Rd::Ok, 1, 2, 100.0f}, {Rd::Ok, 1, 2, 0.5f},
      {Rd::Ok, 1, 2, 100.0f},  {Rd::Ok, 1, 2, 4.0f},  {Rd::Ok, -7, -7, -7.0f},
      {Rd::Ok, 1, 2, 5.0f},    {Rd::Bad, 0, 0, 0},    {Rd::Bad, 0, 0, 0},
      {Rd::End, 0, 0, 0},
  };
  TableFile f;
  ASSERT_TRUE(f.open(p));
  int i = 0;
  for (const Want& w : want) {
    int32_t a = -7, b = -7;
    float x = -7.0f;
    const Item items[3] = {{Item::Int, &a}, {Item::Int, &b}, {Item::Real, &x}};
    Rd r = f.list(items, 3);
    ASSERT_EQ(r, w.rd) << "read " << i;
    if (r == Rd::Ok) {
      EXPECT_EQ(a, w.a) << "read " << i;
      EXPECT_EQ(b, w.b) << "read " << i;
      EXPECT_EQ(x, w.x) << "read " << i;
    }
    ++i;
  }
  // A file ending within a read is an error, not an end.
  p = file("short.txt", "1 2\n");
  ASSERT_TRUE(f.open(p));
  int32_t a, b;
  float x;
  const Item items[3] = {{Item::Int, &a}, {Item::Int, &b}, {Item::Real, &x}};
  EXPECT_EQ(f.list(items, 3), Rd::Bad);
}

TEST_F(Tables, SurfaceTableStoresCheckedLines) {
  for (int s = 0; s < 10; ++s) VARTBL.NAMLEN[7][s] = 5;  // stale entries are cleared
  int32_t st = -1;
  MSFCTBL(file("empty.txt", ""), st);
  EXPECT_EQ(st, 0);
  for (int s = 0; s < 10; ++s) EXPECT_EQ(VARTBL.NAMLEN[7][s], 0);

  std::string text = "   a comment line\n" + tline("8", "METAR", 'f', "", "temperature", ' ', '2') +
                     tline("8", "MESONET", 'f', "", "temperature", 'Q', '3') +
                     tline("15", "MARITIME", 'c', "  8", "stationId", ' ', ' ') +
                     tline("380", "CRN", 's', "", "lastCode", ' ', '1') +
                     tline("9", "metar", 'f', "", "lowercase", ' ', '0') +
                     tline("10", "GOES-OPER-WINDS", 'f', "", "notSurface", ' ', '0') +
                     tline("abc", "METAR", 'f', "", "badCode", ' ', '0') +
                     tline("11", "METAR", 'c', "abc", "badLength", ' ', '0') +
                     std::string(100, ' ') + "\n" +
                     tline("8", "METAR", 'f', "", "airTemp", ' ', '1').substr(0, 66) + "\n";
  std::string msg = out([&] { MSFCTBL(file("t.txt", text), st); });
  EXPECT_EQ(st, 0);
  EXPECT_EQ(msg, "");
  // The later METAR line overwrites the first; its stage column is absent (0).
  EXPECT_EQ(VARTBL.NAMLEN[7][0], 7);
  EXPECT_EQ(ncname(8, 1), "airTemp                 ");
  EXPECT_EQ(VARTBL.NCTYPE[7][0], 'f');
  EXPECT_EQ(VARTBL.CHRLEN[7][0], 0);
  EXPECT_EQ(VARTBL.QCSTAGE[7][0], 0);
  EXPECT_EQ(VARTBL.QCFLAG[7][3], 'Q');
  EXPECT_EQ(VARTBL.NAMLEN[14][1], 9);
  EXPECT_EQ(VARTBL.NCTYPE[14][1], 'c');
  EXPECT_EQ(VARTBL.CHRLEN[14][1], 8);
  EXPECT_EQ(VARTBL.NAMLEN[379][9], 8);
  EXPECT_EQ(VARTBL.QCSTAGE[379][0], 1);
  EXPECT_EQ(VARTBL.NAMLEN[8][0], 0);   // "metar" is not a surface source
  EXPECT_EQ(VARTBL.NAMLEN[9][0], 0);   // another dataset's line
  EXPECT_EQ(VARTBL.NAMLEN[10][0], 0);  // bad length: skipped, nothing stored
  for (int s = 10; s < voran::NSLOTS; ++s) EXPECT_EQ(VARTBL.NAMLEN[9][s], 0);
}

TEST_F(Tables, SurfaceTableErrorsNameTheLine) {
  struct Case {
    std::string bad;
    const char* msg;
    int32_t status;
  } cases[] = {
      {tline("381", "METAR", 'f', "", "x", ' ', '0'), "VARIABLE CODE", 4002},
      {tline("0", "METAR", 'f', "", "x", ' ', '0'), "VARIABLE CODE", 4002},
      {tline("5", "METAR", 'C', "", "x", ' ', '0'), "VARIABLE TYPE", 4002},
      {tline("5", "METAR", 'f', "", "", ' ', '0'), "VARIABLE NAME", 4002},
      {tline("5", "METAR", 'f', "", "x", 'q', '0'), "QC CHARACTER", 4002},
      {tline("5", "METAR", 'f', "", "x", 'Q', '4'), "QC STAGE", 4002},
      {tline("5", "METAR", 'f', "", "x", 'Q', '-'), "QC STAGE", 4002},
      {std::string("  5 \0\n", 6), nullptr, 2002},
  };
  for (const Case& c : cases) {
    std::string text = tline("1", "METAR", 'f', "", "dewpoint", ' ', '0') + "\n" + c.bad +
                       tline("2", "METAR", 'f', "", "relHumidity", ' ', '0');
    int32_t st = 0;
    std::string msg = out([&] { MSFCTBL(file("e.txt", text), st); });
    std::string want = c.msg == nullptr ? std::string(" MSFCTBL: BIF - READ ERROR - SFCTBL\n")
                                        : std::string(" MSFCTBL: INTV - INVALID ") + c.msg +
                                              " AT SFCTBL LINE   3\n";
    EXPECT_EQ(st, c.status) << want;
    EXPECT_EQ(msg, want);
    EXPECT_EQ(VARTBL.NAMLEN[0][0], 8) << "lines before the error stay";
    EXPECT_EQ(VARTBL.NAMLEN[1][0], 0) << "reading stops at the error";
    EXPECT_EQ(VARTBL.NAMLEN[4][0], 0) << "the bad line is not stored";
  }
  // Line numbers above 999 print as asterisks.
  std::string text(1000, '\n');
  text += tline("999", "METAR", 'f', "", "x", ' ', '0');
  int32_t st = 0;
  EXPECT_EQ(out([&] { MSFCTBL(file("n.txt", text), st); }),
            " MSFCTBL: INTV - INVALID VARIABLE CODE AT SFCTBL LINE ***\n");
  EXPECT_EQ(out([&] { MSFCTBL(dir + "/none.txt", st); }), " MSFCTBL: BIF - OPEN ERROR - SFCTBL\n");
  EXPECT_EQ(st, 2002);
}

TEST_F(Tables, DatabaseDecidesWhetherQcCompanionsAreUsed) {
  std::string text = tline("8", "METAR", 'f', "", "temperature", 'Q', '3') +
                     tline("8", "MESONET", 'f', "", "temperature", 'Q', '3');
  std::string p = file("q.txt", text);
  auto load = [&](int32_t db, bool teska2) {
    MCOM2.DBNUM = db;
    VORANCOM2.TESKA2_FLAG = teska2;
    int32_t st = -1;
    MSFCTBL(p, st);
    ASSERT_EQ(st, 0);
  };
  load(1, false);
  EXPECT_EQ(VARTBL.QCFLAG[7][0], 'Q');
  EXPECT_EQ(VARTBL.QCFLAG[7][3], 'Q');
  load(2, false);
  EXPECT_EQ(VARTBL.QCFLAG[7][0], ' ');
  EXPECT_EQ(VARTBL.QCFLAG[7][3], 'Q');
  load(2, true);
  EXPECT_EQ(VARTBL.QCFLAG[7][0], ' ');
  EXPECT_EQ(VARTBL.QCFLAG[7][3], ' ');

  // Every other table: no companions under database 2.
  p = file("s.txt", tline("3", "SNOW", 'f', "", "snowDepth", 'Q', '2'));
  int32_t st;
  MCOM2.DBNUM = 2;
  MSNOWTBL(p, st);
  EXPECT_EQ(VARTBL.QCFLAG[2][21], ' ');
  MCOM2.DBNUM = 1;
  MSNOWTBL(p, st);
  EXPECT_EQ(VARTBL.QCFLAG[2][21], 'Q');
  EXPECT_EQ(VARTBL.QCSTAGE[2][12], 2);
}

TEST_F(Tables, FamilyReadersServeTheirOwnSlots) {
  // The ACARS table names another upper-air set too: both are stored, only
  // the ACARS slot is emptied first, QC stages go to each line's dataset.
  VARTBL.NAMLEN[5][10] = 3;  // RAOB slot, code 6: kept
  VARTBL.NAMLEN[5][12] = 3;  // ACARS slot, code 6: cleared
  std::string p = file("acars.txt", tline("1", "ACARS", 'f', "", "pressure", ' ', '2') +
                                        tline("2", "MAP", 'f', "", "levels", ' ', '1') +
                                        tline("3", "METAR", 'f', "", "temperature", ' ', '0'));
  int32_t st = -1;
  MUAPTTBL(3, p, st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(VARTBL.NAMLEN[0][12], 8);
  EXPECT_EQ(VARTBL.NAMLEN[1][13], 6);
  EXPECT_EQ(VARTBL.NAMLEN[5][10], 3);
  EXPECT_EQ(VARTBL.NAMLEN[5][12], 0);
  EXPECT_EQ(VARTBL.NAMLEN[2][0], 0);
  EXPECT_EQ(VARTBL.QCSTAGE[0][3], 2);
  EXPECT_EQ(VARTBL.QCSTAGE[1][4], 1);

  // Two slots for the satellite winds, QC stage under dataset 8.
  p = file("w.txt", tline("5", "GOES-EXPER-WINDS", 'f', "", "windDir", ' ', '3'));
  MSATWNDTBL(p, st);
  EXPECT_EQ(VARTBL.NAMLEN[4][18], 7);
  EXPECT_EQ(VARTBL.QCSTAGE[4][8], 3);

  // Each reader speaks in its own name.
  std::string bad = file("b.txt", tline("7", "SNOW", 'f', "", "x", ' ', '7'));
  EXPECT_EQ(out([&] { MSNOWTBL(bad, st); }),
            " MSNOWTBL: INTV - INVALID QC STAGE AT SNOWTBL LINE   1\n");
  EXPECT_EQ(out([&] { MSATRADTBL(dir + "/no.txt", st); }),
            " MSATRADTBL: BIF - OPEN ERROR - SATRADTBL\n");
  bad = file("u.txt", tline("7", "RDMTR", 'x', "", "x", ' ', '0'));
  EXPECT_EQ(out([&] { MUAPTTBL(5, bad, st); }),
            " MUAPTTBL: INTV - INVALID VARIABLE TYPE AT UAPTTBL LINE   1\n");
  EXPECT_EQ(st, 4002);
}

TEST_F(Tables, QcStageInquiry) {
  VORANCOM2.DSINIT[0] = voran::INIT_MARK;
  MCOM2.CURDSET = 0;
  VARTBL.QCSTAGE[7][0] = 3;
  int32_t st = -1;
  EXPECT_EQ(MQCINQ(8, st), 3);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(MQCINQ(0, st), 0);
  EXPECT_EQ(st, 0);
  std::string msg = out([&] { EXPECT_EQ(MQCINQ(381, st), 0); });
  EXPECT_EQ(st, 4002);
  EXPECT_EQ(msg, " MQCINQ: INVALID INTERNAL VARIABLE\n");
  out([&] { EXPECT_EQ(MQCINQ(-1, st), 0); });
  EXPECT_EQ(st, 4002);
  MCOM2.CURDSET = 9;  // never initialised
  msg = out([&] { EXPECT_EQ(MQCINQ(8, st), 0); });
  EXPECT_EQ(st, 3002);
  EXPECT_EQ(msg, " MQCINQ: SELECTED SUBSYSTEM NOT INITIALIZED\n");
  MCOM2.CURDSET = 14;
  out([&] { EXPECT_EQ(MQCINQ(8, st), 0); });
  EXPECT_EQ(st, 3002);
  MCOM2.CURDSET = 0;
}

TEST_F(Tables, CodeTableLoadAndLookup) {
  MCOM2.CURDSET = 0;
  int32_t st = -1;
  MRDVCODE(0, file("empty.txt", ""), st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(VCNTBL.VCN_COUNT[0], 0);
  int32_t code = -5;
  char type = '?';
  out([&] { MGETVCN("TD", code, &type, st); });
  EXPECT_EQ(st, 13);

  MRDVCODE(0, file("v.txt", "ALTSE            3   N\nP                7   N\n"
                            "STAID           15   C\nT                8   N\nTD               1   N\n"),
           st);
  ASSERT_EQ(st, 0);
  EXPECT_EQ(VCNTBL.VCN_COUNT[0], 5);
  MGETVCN("TD", code, &type, st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(code, 1);
  EXPECT_EQ(type, 'N');
  MGETVCN("STAID  ", code, &type, st);
  EXPECT_EQ(code, 15);
  EXPECT_EQ(type, 'C');
  std::string msg = out([&] { MGETVCN("td", code, &type, st); });
  EXPECT_EQ(st, 13);
  EXPECT_EQ(msg, " MGETVCN: INVALID VARIABLE CODE -- SFC                  -- td     \n");
  EXPECT_EQ(msg.size(), 67u);
  msg = out([&] { MGETVCN("TD      ", code, &type, st); });  // declared 8 long
  EXPECT_EQ(st, 13);
  EXPECT_EQ(msg, " MGETVCN: INVALID VARIABLE CODE -- SFC                  -- TD     \n");

  struct Case {
    const char* text;
    const char* msg;
    int32_t status;
    int32_t count;
  } cases[] = {
      {"T                8   N\n\n", " MRDVCODE: INTV - INVALID VARIABLE CODE AT VCNTBL LINE   2\n",
       4002, 1},
      {"T                8   N\nX              381   N\n",
       " MRDVCODE: INTV - INVALID VARIABLE CODE AT VCNTBL LINE   2\n", 4002, 1},
      {"T               8x   N\n", " MRDVCODE: BIF - READ ERROR IN VCNTBL AT LINE   1\n", 2002, 0},
      {"T                8   n\n", " MRDVCODE: INTV - INVALID VARIABLE TYPE AT VCNTBL LINE   1\n",
       4002, 0},
  };
  for (const Case& c : cases) {
    msg = out([&] { MRDVCODE(0, file("c.txt", c.text), st); });
    EXPECT_EQ(st, c.status) << c.text;
    EXPECT_EQ(msg, c.msg);
    EXPECT_EQ(VCNTBL.VCN_COUNT[0], c.count);
  }
  msg = out([&] { MRDVCODE(3, dir + "/none.txt", st); });
  EXPECT_EQ(st, 2002);
  EXPECT_EQ(msg, " MRDVCODE: BIF - OPEN ERROR - VCNTBL\n");

  // More entries than codes is refused, not cut short silently.
  std::string many;
  for (int i = 0; i < 381; ++i) many += "A                1   N\n";
  msg = out([&] { MRDVCODE(13, file("m.txt", many), st); });
  EXPECT_EQ(st, 4002);
  EXPECT_EQ(VCNTBL.VCN_COUNT[13], 380);

  // Out-of-order names load but cannot all be found.
  MRDVCODE(12, file("o.txt", "ZZ               2   N\nAA               1   N\n"), st);
  EXPECT_EQ(st, 0);
  MCOM2.CURDSET = 12;
  msg = out([&] { MGETVCN("AA", code, &type, st); });
  EXPECT_EQ(st, 13);
  EXPECT_EQ(msg, " MGETVCN: INVALID VARIABLE CODE -- SNOW                 -- AA     \n");
  MCOM2.CURDSET = 0;
}

TEST(TablesSearch, BinarySearchOfFixedStrings) {
  const char list[] = "A  B  B\x7f D  \xe9  ";  // five 3-character entries, ascending
  int32_t pos = 0;
  bool found = true;
  M_CBSRCH(list, 3, "B", 5, pos, found);
  EXPECT_TRUE(found);
  EXPECT_EQ(pos, 2);
  M_CBSRCH(list, 3, "B\x7f", 5, pos, found);
  EXPECT_TRUE(found);
  EXPECT_EQ(pos, 3);
  M_CBSRCH(list, 3, "C", 5, pos, found);
  EXPECT_FALSE(found);
  EXPECT_EQ(pos, 4);
  M_CBSRCH(list, 3, "\xe9", 5, pos, found);  // bytes compare unsigned
  EXPECT_TRUE(found);
  EXPECT_EQ(pos, 5);
  M_CBSRCH(list, 3, "\xff", 5, pos, found);
  EXPECT_FALSE(found);
  EXPECT_EQ(pos, 6);
  M_CBSRCH(list, 3, "", 5, pos, found);  // blank key sorts first
  EXPECT_FALSE(found);
  EXPECT_EQ(pos, 1);
  M_CBSRCH(list, 3, "A", 0, pos, found);
  EXPECT_FALSE(found);
  EXPECT_EQ(pos, 1);
  M_CBSRCH(list, 3, "A    ", 5, pos, found);  // a longer key with blanks matches
  EXPECT_TRUE(found);
  EXPECT_EQ(pos, 1);
}
