// The voran tool as a user runs it: values in its CSV equal the public
// calls' bit for bit, options change what is listed, bad arguments stop it
// before any work with status 2, and a failed run leaves no file behind.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "station_arrays.h"
#include "testutil.h"
#include "voran.h"

namespace {

const std::string TOOL = VORAN_BINARY_DIR "/cli/voran";

struct Result {
  int status;
  std::string out, err;
};

class Tool : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = testutil::make_tmpdir(); }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  // The tool with the bundled tables and the sample tree, plus `args`.
  Result run(std::vector<std::string> args, const std::string& data = testutil::sample_tree()) {
    const int st = testutil::wait_program(start(std::move(args), data));
    return {st, testutil::read_file(dir_ + "/out"), testutil::read_file(dir_ + "/err")};
  }
  // The same, started: its pid.
  int start(std::vector<std::string> args, const std::string& data = testutil::sample_tree()) {
    std::vector<std::string> all = {TOOL};
    all.insert(all.end(), args.begin(), args.end());
    if (args[0] != "vars" && args[0] != "providers") {
      all.push_back("--data");
      all.push_back(data);
    }
    all.push_back("--static");
    all.push_back(testutil::static_dir());
    std::vector<const char*> argv;
    for (const auto& a : all) argv.push_back(a.c_str());
    argv.push_back(nullptr);
    return testutil::start_program(dir_, argv.data(), dir_ + "/out", dir_ + "/err");
  }

  std::string dir_;
};

std::vector<std::string> cells(const std::string& line) {
  std::vector<std::string> out;
  std::stringstream ss(line);
  std::string c;
  while (std::getline(ss, c, ',')) out.push_back(c);
  if (!line.empty() && line.back() == ',') out.emplace_back();
  return out;
}

std::vector<std::vector<std::string>> rows(const std::string& csv) {
  std::vector<std::vector<std::string>> out;
  std::stringstream ss(csv);
  std::string line;
  while (std::getline(ss, line)) out.push_back(cells(line));
  return out;
}

std::string trim(std::string_view s) {
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return std::string(s);
}

TEST_F(Tool, CsvValuesEqualThePublicCallsBitForBit) {
  const char* vars[] = {"TD", "ALTSE", "P", "T", "DD", "FF", "PCP1H", "PCP24H", "VIS", "U", "CLDBAS"};
  std::string list;
  for (const char* v : vars) {
    if (!list.empty()) list += ',';
    list += v;
  }
  const Result r = run({"extract", "--time", "2021-08-25T20:00", "--vars", list, "--providers",
                     "ALL-MESO,ALL-MTR"});
  ASSERT_EQ(r.status, 0) << r.err;
  const auto t = rows(r.out);
  ASSERT_GT(t.size(), 1000u);
  const auto& head = t[0];
  // 9 station fields, 4 per value: CLDBAS has six levels.
  ASSERT_EQ(head.size(), 9u + 4u * (10u + 6u));
  EXPECT_EQ(head[8], "obs_time");
  EXPECT_EQ(head[9], "TD");
  EXPECT_EQ(head[10], "TD_qcd");
  EXPECT_EQ(head[11], "TD_qca");
  EXPECT_EQ(head[12], "TD_qcr");
  EXPECT_EQ(head[9 + 40], "CLDBAS_1");
  EXPECT_EQ(head.back(), "CLDBAS_6_qcr");

  setenv("VORAN_STATIC", testutil::static_dir().c_str(), 1);
  setenv("VORAN_DATA", testutil::sample_tree().c_str(), 1);
  int32_t st = 0;
  MINIT("SFC", "ZEM", false, st);
  MSETSFCPVDR("ALL-SFC", false, st);
  MSETSFCPVDR("ALL-MESO", true, st);
  MSETSFCPVDR("ALL-MTR", true, st);
  char atime[9];
  MCHRTIM(2021, 8, 25, 20, 0, atime, st);
  StationArrays sta;
  ASSERT_EQ(sta.list(atime), 0);
  const int32_t nsta = sta.nsta;
  ASSERT_EQ(t.size(), std::size_t(nsta) + 1);
  auto same = [](const std::string& cell, float want) {
    if (want == VORAN_MISSING) return cell.empty();
    const float got = std::strtof(cell.c_str(), nullptr);
    return std::memcmp(&got, &want, sizeof got) == 0;
  };
  for (int32_t i = 0; i < nsta; ++i) {
    const auto& row = t[std::size_t(i) + 1];
    ASSERT_EQ(row.size(), head.size()) << i;
    EXPECT_EQ(row[0], "2021-08-25T20:00Z");
    EXPECT_EQ(row[1], trim({&sta.stid[std::size_t(i) * 10], 10}));
    EXPECT_EQ(row[3], trim({&sta.prov[std::size_t(i) * 10], 10}));
    EXPECT_TRUE(same(row[5], sta.lat[i]) && same(row[6], sta.lon[i]) &&
                same(row[7], sta.elev[i]))
        << i;
  }
  std::size_t present = 0;
  std::size_t col = 9;
  for (const char* v : vars) {
    const std::size_t lev = std::strcmp(v, "CLDBAS") == 0 ? 6 : 1;
    const std::size_t cap = StationArrays::CAP;
    std::vector<float> obs(cap * lev);
    std::vector<char> qcd(cap * lev);
    std::vector<int32_t> qca(cap * lev), qcr(cap * lev);
    int32_t n = 0, nobs = 0;
    MGETSFC({atime, 9}, v, n, nobs, obs.data(), qcd.data(), qca.data(), qcr.data(), st);
    ASSERT_TRUE(st == 0 || st == 1005) << v;
    for (int32_t i = 0; i < nsta; ++i) {
      const auto& row = t[std::size_t(i) + 1];
      for (std::size_t l = 0; l < lev; ++l) {
        const std::size_t e = std::size_t(i) * lev + l, c = col + 4 * l;
        ASSERT_TRUE(same(row[c], obs[e])) << v << " station " << i << ": " << row[c];
        ASSERT_EQ(row[c + 1], std::string(1, qcd[e])) << v << " " << i;
        ASSERT_EQ(row[c + 2], std::to_string(qca[e])) << v << " " << i;
        ASSERT_EQ(row[c + 3], std::to_string(qcr[e])) << v << " " << i;
        present += obs[e] != VORAN_MISSING;
      }
    }
    col += 4 * lev;
  }
  EXPECT_GT(present, std::size_t(nsta) * 5);
}

TEST_F(Tool, OptionsChangeWhatIsListed) {
  auto count = [&](std::vector<std::string> extra) {
    std::vector<std::string> a = {"extract", "--time", "2021-08-25T20:00", "--vars", "T,FF"};
    a.insert(a.end(), extra.begin(), extra.end());
    const Result r = run(a);
    EXPECT_EQ(r.status, 0) << r.err;
    return rows(r.out);
  };
  const auto all = count({});
  const auto meso = count({"--providers", "ALL-MESO"});
  const auto no_raws = count({"--providers", "ALL-MESO,-RAWS"});
  const auto box = count({"--box", "37,41,-109,-102"});
  const auto radius = count({"--radius", "39.74,-104.99,150"});
  const auto strict = count({"--qc-level", "3"});
  const auto window = count({"--window", "-30,0,3"});
  const auto lambert = count({"--lambert", "20,-122,40000,-95,25,0.4226183,0,4000000,0,2000000"});
  const std::string id = all[7][1];
  const auto one = count({"--stations", id});
  ASSERT_GT(all.size(), 1000u);
  std::set<std::string> nets;
  for (std::size_t i = 1; i < meso.size(); ++i) nets.insert(meso[i][4]);
  EXPECT_EQ(nets, std::set<std::string>{"MESONET"});
  EXPECT_LT(meso.size(), all.size());
  EXPECT_LT(no_raws.size(), meso.size());
  for (std::size_t i = 1; i < no_raws.size(); ++i) EXPECT_NE(no_raws[i][3], "RAWS");
  EXPECT_LT(box.size(), all.size());
  for (std::size_t i = 1; i < box.size(); ++i) {
    const float la = std::stof(box[i][5]), lo = std::stof(box[i][6]);
    EXPECT_TRUE(la >= 37 && la <= 41 && lo >= -109 && lo <= -102) << la << " " << lo;
  }
  EXPECT_LT(radius.size(), box.size() + 200);
  EXPECT_GT(radius.size(), 1u);
  EXPECT_LT(lambert.size(), all.size());
  EXPECT_GT(lambert.size(), 1u);
  ASSERT_EQ(one.size(), 2u);
  EXPECT_EQ(one[1][1], id);
  // Level 3 empties values that failed, station for station.
  ASSERT_EQ(strict.size(), all.size());
  std::size_t emptied = 0;
  for (std::size_t i = 1; i < all.size(); ++i)
    emptied += !all[i][9].empty() && strict[i][9].empty();
  EXPECT_GT(emptied, 0u);
  // The latest report of the half hour before: report times within it.
  for (std::size_t i = 1; i < window.size(); ++i) {
    const std::string& t = window[i][8];
    if (!t.empty()) {
      EXPECT_TRUE(t >= "2021-08-25T19:30Z" && t <= "2021-08-25T20:00Z") << t;
    }
  }
}

TEST_F(Tool, RangeOverAMissingHourAndStep) {
  const Result r = run({"extract", "--time", "2021-08-25T18:00", "--end", "2021-08-25T22:00",
                     "--vars", "T", "-q", "--stations", "KABQ,KAMA"});
  ASSERT_EQ(r.status, 0) << r.err;
  const auto t = rows(r.out);
  std::map<std::string, int> per_hour;
  for (std::size_t i = 1; i < t.size(); ++i) ++per_hour[t[i][0]];
  EXPECT_EQ(per_hour, (std::map<std::string, int>{{"2021-08-25T19:00Z", 2},
                                                  {"2021-08-25T20:00Z", 2},
                                                  {"2021-08-25T21:00Z", 2}}));
  const Result s = run({"extract", "--time", "2021-08-25T19:00", "--end", "2021-08-25T21:00",
                     "--step", "120", "--vars", "T", "--stations", "KABQ"});
  ASSERT_EQ(s.status, 0) << s.err;
  const auto u = rows(s.out);
  ASSERT_EQ(u.size(), 3u);
  EXPECT_EQ(u[2][0], "2021-08-25T21:00Z");
  EXPECT_EQ(r.err, "");  // no progress bar when standard error is not a terminal
}

TEST_F(Tool, BadArgumentsStopBeforeAnyWork) {
  const std::string target = dir_ + "/never.csv";
  struct Case {
    std::vector<std::string> args;
    std::string argument;
  } cases[] = {
      {{"--time", "2021-02-30T20:00", "--vars", "T"}, "--time"},
      {{"--time", "2021-08-25T20:00", "--vars", "T,NOPE"}, "--vars"},
      {{"--time", "2021-08-25T20:00", "--vars", "T", "--providers", "METAR"}, "--providers"},
      {{"--time", "2021-08-25T20:00", "--vars", "T", "--box", "41,37,-109,-102"}, "--box"},
      {{"--time", "2021-08-25T20:00", "--vars", "T", "--box", "37,41,-109"}, "--box"},
      {{"--time", "2021-08-25T20:00", "--vars", "T", "--window", "30,-30,1"}, "--window"},
      {{"--time", "2021-08-25T20:00", "--vars", "T", "--qc-level", "5"}, "--qc-level"},
      {{"--time", "2021-08-25T20:00", "--end", "2021-08-25T19:00", "--vars", "T"}, "--end"},
      {{"--time", "2021-08-25T20:00", "--vars", "T", "--format", "netcdf"}, "--output"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> a = {"extract"};
    a.insert(a.end(), c.args.begin(), c.args.end());
    a.push_back("-o");
    a.push_back(c.argument == "--output" ? "" : target);
    if (c.argument == "--output") a.resize(a.size() - 2);
    const Result r = run(a);
    EXPECT_EQ(r.status, 2) << c.argument << ": " << r.err;
    std::string lead = "voran: ";
    lead += c.argument;
    lead += ':';
    EXPECT_EQ(r.err.rfind(lead, 0), 0u) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_EQ(r.out, "");
  }
  const Result d = run({"extract", "--time", "2021-08-25T20:00", "--vars", "T", "-o", target},
                    dir_ + "/no-such-tree");
  EXPECT_EQ(d.status, 2);
  EXPECT_EQ(d.err.rfind("voran: --data:", 0), 0u) << d.err;
  const Result u = run({"extract", "--vars", "T"});
  EXPECT_EQ(u.status, 2);  // --time is required
  EXPECT_FALSE(std::filesystem::exists(target));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 2);  // out, err
}

// A library failure in the last hour of a range: status 1, the library's
// status and message on standard error, and neither the file nor its
// temporary left behind.
TEST_F(Tool, FailureMidRangeLeavesNoFile) {
  const std::string tree = dir_ + "/tree";
  std::filesystem::copy(testutil::sample_tree(), tree, std::filesystem::copy_options::recursive);
  const std::string file = tree + "/KORB/mesonet/netCDF/20210825_2100";
  // The same file with the temperature stored in a type the tables do not give.
  const char* dump[] = {"/usr/bin/ncdump", file.c_str(), nullptr};
  ASSERT_EQ(testutil::run_program("", dump, dir_ + "/m.cdl", dir_ + "/m.err"), 0);
  std::string cdl = testutil::read_file(dir_ + "/m.cdl");
  const std::size_t p = cdl.find("\tfloat temperature(recNum)");
  ASSERT_NE(p, std::string::npos);
  cdl.replace(p, 6, "\tdouble");
  std::filesystem::remove(file);
  ASSERT_TRUE(testutil::ncgen(cdl, file));
  for (const char* format : {"csv", "netcdf"}) {
    const std::string target = dir_ + "/res/result." + format;
    std::filesystem::create_directories(dir_ + "/res");
    const Result r = run({"extract", "--time", "2021-08-25T19:00", "--end", "2021-08-25T21:00",
                       "--vars", "T", "--format", format, "-o", target},
                      tree);
    EXPECT_EQ(r.status, 1) << format;
    EXPECT_NE(r.err.find("status 2001"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("MRDNUM1"), std::string::npos) << r.err;
    EXPECT_TRUE(std::filesystem::is_empty(dir_ + "/res")) << format;
  }
  // A worker that fails is named with the hour it owed, and nothing is left.
  const Result w = run({"extract", "--time", "2021-08-25T19:00", "--end", "2021-08-25T21:00",
                        "--vars", "T", "--jobs", "2", "-o", dir_ + "/res/result.csv"},
                       tree);
  EXPECT_EQ(w.status, 1);
  EXPECT_NE(w.err.find("status 2001"), std::string::npos) << w.err;
  EXPECT_NE(w.err.find("the worker fetching 2021-08-25T21:00Z failed with exit status 1"),
            std::string::npos)
      << w.err;
  EXPECT_TRUE(std::filesystem::is_empty(dir_ + "/res"));
}

// The hours shared among worker processes give the same bytes as one
// process, in every format.
TEST_F(Tool, JobsGiveTheOutputOfOneProcess) {
  for (const char* format : {"csv", "jsonl", "netcdf"}) {
    std::string first;
    for (const char* jobs : {"1", "2", "3"}) {
      // The same target each time: the file records the command line.
      const std::string sub = dir_ + "/j";
      std::filesystem::create_directories(sub);
      const Result r = run({"extract", "--time", "2021-08-25T18:00", "--end", "2021-08-25T22:00",
                            "--vars", "T,FF,CLDBAS", "--format", format, "--jobs", jobs, "-o",
                            sub + "/result"});
      ASSERT_EQ(r.status, 0) << r.err;
      const std::string bytes = testutil::read_file(sub + "/result");
      ASSERT_GT(bytes.size(), 100000u);
      if (first.empty()) first = bytes;
      EXPECT_TRUE(bytes == first) << format << " with --jobs " << jobs;
      std::filesystem::remove_all(sub);
    }
  }
}

// The workers of a running process, by their --worker argument ("1/2").
std::map<std::string, int> workers_of(int pid) {
  std::map<std::string, int> found;
  std::stringstream kids(testutil::read_file("/proc/" + std::to_string(pid) + "/task/" +
                                             std::to_string(pid) + "/children"));
  for (int kid; kids >> kid;) {
    const std::string cmd = testutil::read_file("/proc/" + std::to_string(kid) + "/cmdline");
    const std::size_t at = cmd.find(std::string("--worker\0", 9));
    if (at != std::string::npos) found[cmd.substr(at + 9, cmd.find('\0', at + 9) - at - 9)] = kid;
  }
  return found;
}

// A worker killed while it owes an hour ends the run with that hour named;
// the other worker is stopped and nothing is written, in the text formats
// (whose lines are written as they come) and in NetCDF.
TEST_F(Tool, AKilledWorkerFailsTheRunAndLeavesNoFile) {
  std::filesystem::create_directories(dir_ + "/res");
  for (const char* format : {"csv", "netcdf"}) {
    const int pid = start({"extract", "--time", "2021-08-25T19:00", "--end", "2021-08-25T21:00",
                           "--vars", "T,TD,DD,FF", "--jobs", "2", "--format", format, "-o",
                           dir_ + "/res/result"});
    ASSERT_GT(pid, 0);
    // Worker 1 of 2 owes 20:00; it is killed as soon as it runs (it needs
    // far longer than this to read its tables).
    std::map<std::string, int> w;
    for (int i = 0; i < 50000 && !(w.count("0/2") && w.count("1/2")); ++i) {
      w = workers_of(pid);
      usleep(100);
    }
    ASSERT_TRUE(w.count("0/2") && w.count("1/2")) << "the workers were not seen";
    ASSERT_EQ(kill(w["1/2"], SIGKILL), 0);
    EXPECT_EQ(testutil::wait_program(pid), 1) << format;
    const std::string err = testutil::read_file(dir_ + "/err");
    EXPECT_NE(err.find("the worker fetching 2021-08-25T20:00Z was killed by signal 9"),
              std::string::npos)
        << err;
    EXPECT_TRUE(std::filesystem::is_empty(dir_ + "/res")) << format;
    // Both workers are gone (reaped by the tool, not left running).
    EXPECT_NE(kill(w["0/2"], 0), 0);
    EXPECT_NE(kill(w["1/2"], 0), 0);
  }
}

TEST_F(Tool, ListsOfVariablesAndProviders) {
  const Result v = run({"vars"});
  ASSERT_EQ(v.status, 0) << v.err;
  EXPECT_NE(v.out.find("CLDBAS     44 N 6  m"), std::string::npos) << v.out.substr(0, 400);
  EXPECT_NE(v.out.find("T           8 N 1  K "), std::string::npos);
  const Result p = run({"providers"});
  ASSERT_EQ(p.status, 0) << p.err;
  EXPECT_NE(p.out.find("groups:   ALL-SFC,ALL-MESO,ALL-MTR,ALL-HFMTR"), std::string::npos);
  EXPECT_NE(p.out.find("\n  APRSWXNET\n"), std::string::npos);
  const Result h = run({"extract", "--help"});
  EXPECT_EQ(h.status, 0);
  EXPECT_NE(h.out.find("Example"), std::string::npos);
}

}  // namespace
