// voran: observation-access library for meteorological point data.
//
// Public calls. Every call reports through its status argument (0 = success);
// nothing throws and nothing exits. Character arguments are fixed-length,
// blank-padded fields: inputs are taken as std::string_view (compared as if
// the shorter were padded with blanks), outputs are written blank-padded into
// caller storage of the documented width, without a terminating NUL.
#pragma once

#include <cstdint>
#include <string_view>

// Status codes.
enum : int32_t {
  MST_OK = 0,
  MST_BAD_TIME = 4,
  MST_BAD_DATABASE = 10,
  MST_BAD_VARNAME = 13,
  MST_TOO_MANY_RECORDS = 14,
  MST_INVALID_SETTING = 15,
  MST_NO_STATIC = 1001,
  MST_STATIC_TOO_LONG = 1002,
  MST_NO_DATA_DIR = 1003,
  MST_DATA_DIR_TOO_LONG = 1004,
  MST_NOT_IN_DATABASE = 1005,
  MST_NO_DATA = 1006,
  MST_NO_SERVER_ROOT = 1007,
  MST_SERVER_ROOT_TOO_LONG = 1008,
  MST_NETCDF = 2001,
  MST_BAD_FILE = 2002,
  MST_BAD_SUBSYSTEM = 3001,
  MST_NOT_INITIALIZED = 3002,
  MST_TIME_NOT_SET = 3003,
  MST_BAD_TYPE = 3004,
  MST_ARRAY_SIZE = 4001,
  MST_BAD_TABLE = 4002,
};

// Library limits callers size their arrays by.
inline constexpr int32_t VORAN_MAX_STATIONS = 600000;
inline constexpr float VORAN_MISSING = 999999.0f;

// Initialise a dataset ("SFC", "RAOB", ..., "EXTERNAL") under a database
// ("ZEM", "TESKA", "TESKA2"); msgsw switches library messages on.
void MINIT(std::string_view dataset, std::string_view database, bool msgsw, int32_t& status);

// Switch a surface provider or provider group on or off.
void MSETSFCPVDR(std::string_view provider, bool select, int32_t& status);

// Calendar time to the nine-character time string YYJJJHHMM (atime: 9 chars).
void MCHRTIM(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
             char* atime, int32_t& status);

// Station list for a time. Output arrays hold VORAN_MAX_STATIONS entries:
// stid 10 chars each, obstime 9 chars each, provider 10 chars each.
void MSFCSTA(std::string_view atime, int32_t& nsta, char* stid, int32_t* wmoid, float* lat,
             float* lon, float* elev, char* obstime, char* provider, int32_t& status,
             int32_t* source);

// One variable for every station of the list. obs/qcd/qca/qcr hold
// NLEV values per station (2 for codes 40 and 41, 6 for code 44, else 1).
void MGETSFC(std::string_view atime, std::string_view varnam, int32_t& nsta, int32_t& nobs,
             float* obs, char* qcd, int32_t* qca, int32_t* qcr, int32_t& status);

// Highest QC stage applied to a variable code in the current dataset.
int32_t MQCINQ(int32_t code, int32_t& status);

// ---- Retrieval settings. Each refuses an invalid value with status 15 and
// changes nothing; MINIT of any dataset resets them (QC level 0, no window,
// RECWIN 0, no domain).

// Requested QC level: 0 (none), 1, 2, 3, or 99 (the highest the variable has).
void MSETQCLVL(int32_t level, int32_t& status);

// Retrieval window [t + before, t + after] in minutes (before <= after, each
// within +-100000) and the record-selection mode: 0 every report, no window;
// 1 the report nearest t; 2 the earliest; 3 the latest; 4 every report in
// the window.
void MSETWIN(int32_t before, int32_t after, int32_t recwin, int32_t& status);

// No domain: every position is inside.
void MSETNODOM(int32_t& status);

// Lambert conformal grid: (lat1, lon1) is grid point (1,1), dx the spacing in
// metres, orient the orientation longitude, tanlat the tangent latitude (its
// sign gives the hemisphere), cone the cone factor; x and y (metres from
// point (1,1)) must lie in [xmin, xmax] x [ymin, ymax].
void MSETLCDOM(float lat1, float lon1, float dx, float orient, float tanlat, float cone,
               float xmin, float xmax, float ymin, float ymax, int32_t& status);

// Polar stereographic grid: pole at (xpole, ypole) metres, orientation
// longitude orient, true at latitude truelat; accepted x, y ranges in metres.
void MSETPSDOM(float xpole, float ypole, float orient, float truelat, float xmin, float xmax,
               float ymin, float ymax, int32_t& status);

// Latitude/longitude box, limits inclusive, no wrap-around at 180 degrees.
void MSETBOXDOM(float latmin, float latmax, float lonmin, float lonmax, int32_t& status);

// ---- Inquiries, for programs that present the tables to people (tools,
// bindings). None changes the library's state.

// Entry `index` (1-based) of the current dataset's code table: its name
// (7 chars, blank-padded), internal code and type letter ("N" or "C");
// `count` receives the number of entries. Status 3002 before any MINIT,
// 4002 for an index outside 1..count (count is still set).
void MVCNINQ(int32_t index, char* name, int32_t& code, char* type, int32_t& count,
             int32_t& status);

// Entry `index` (1-based) of the surface provider table: its name (10 chars,
// blank-padded) and whether its reports are selected; `count` receives the
// number of providers known now (the table grows as data files are read).
// Status 3002 before the surface dataset is initialised, 4002 for an index
// outside 1..count.
void MSFCPVDRINQ(int32_t index, char* name, bool& selected, int32_t& count, int32_t& status);

// The last message the library composed, whether or not messages are
// switched on: copies at most `len` characters into `text` (no NUL) and
// returns the message's full length, 0 when there is none. MCLRMSG forgets
// it, so that a caller can tell which call composed the next one.
int32_t MGETMSG(char* text, int32_t len);
void MCLRMSG();
