// MINIT of every dataset name under every database on the installation's
// static directory; under "TESKA"/"TESKA2" the data tree carries the
// templates of its file families.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/core.h"
#include "testutil.h"

namespace {

const char* const DATASETS[] = {"SFC",    "RAOB",   "NPN",    "ACARS",  "MAP",
                                "RDMTR",  "ACARSP", "HYDRO",  "SATWND", "SATSND",
                                "SATRAD", "SNOW",   "WISDOM", "EXTERNAL"};

// Every family's data subdirectory with the static template that stands for
// its "template" file.
struct Family {
  const char* subdir;
  const char* tpl;
};
const Family FAMILIES[] = {
    {"/point/metar/netcdf/", "metar"},        {"/point/maritime/netcdf/", "maritime"},
    {"/point/sao/netcdf/", "sao"},            {"/KORB/mesonet/netCDF/", "mesonet"},
    {"/KORB/mesonet/qc/", "mesonet"},         {"/KORB/coop/netCDF/", "coop"},
    {"/KORB/urbanet/netCDF/", "urbanet"},     {"/KORB/hfmetar/netCDF/", "hfmetar"},
    {"/KORB/nepp/netCDF/", "nepp"},           {"/KORB/hcn/netCDF/", "hcn"},
    {"/KORB/crn/netCDF/", "crn"},             {"/point/raob/netcdf/", "raob"},
    {"/point/profiler/netcdf/", "profiler"},  {"/point/acars/netcdf/", "acars"},
    {"/KORB/profiler/netCDF/", "map"},        {"/point/radiometer/netcdf/", "radiometer"},
    {"/point/acarsProfiles/netcdf/", "acarsp"}, {"/KORB/hydro/netCDF/", "hydro"},
    {"/point/HDW/netcdf/", "satwnd"},         {"/point/HDW1h/netcdf/", "satwnd"},
    {"/point/POES/netcdf/", "satsnd"},        {"/point/satrad/netcdf/", "satrad"},
    {"/KORB/snow/netCDF/", "snow"},           {"/KORB/WISDOM/netCDF/", "wisdom"},
};

}  // namespace

TEST(MinitDatasets, EveryDatasetUnderEveryDatabase) {
  const std::string data = testutil::make_tmpdir();
  for (const Family& f : FAMILIES) {
    std::filesystem::create_directories(data + f.subdir);
    std::filesystem::copy_file(testutil::static_dir() + "/" + f.tpl + ".template",
                               data + f.subdir + "template",
                               std::filesystem::copy_options::overwrite_existing);
  }
  setenv("VORAN_STATIC", testutil::static_dir().c_str(), 1);
  setenv("VORAN_DATA", data.c_str(), 1);
  unsetenv("VORAN_SERVER");
  for (const char* db : {"ZEM", "TESKA", "TESKA2"}) {
    for (const char* ds : DATASETS) {
      int32_t st = -1;
      VORANCOM2.LIBINIT = 0;
      MINIT(ds, db, true, st);
      EXPECT_EQ(st, 0) << ds << " under " << db;
      EXPECT_EQ(VORANCOM2.LIBINIT, 12345) << ds << " under " << db;
      EXPECT_EQ(MCOM2.DBNUM, std::string(db) == "ZEM" ? 1 : 2);
    }
    // Every optional surface source found its template.
    int32_t st = -1;
    MINIT("SFC", db, true, st);
    ASSERT_EQ(st, 0);
    for (int k = 0; k < 10; ++k) {
      EXPECT_TRUE(VORANCOM2.SRC_SELECT[k]) << "source " << k + 1 << " under " << db;
      EXPECT_EQ(VORANCOM2.FILE_PERIOD[k], 3600);
      EXPECT_EQ(VORANCOM2.FILE_ENDOFF[k], 59);
    }
  }
  std::filesystem::remove_all(data);
}
