// Process-global library state: the named blocks, each defined once with
// static storage (state.cpp). Character fields are fixed-width, blank-padded
// and carry no terminating NUL. Arrays documented 1-based in the design are
// stored 0-based here unless the comment says otherwise.
#pragma once

#include <cstdint>

namespace voran {

inline constexpr int32_t INIT_MARK = 12345;
inline constexpr float RMISS = 999999.0f;
inline constexpr int32_t IMISS = 999999;

inline constexpr int NCODES = 380;        // variable codes 1..380
inline constexpr int NSLOTS = 23;         // variable-table dataset slots 1..23
inline constexpr int NDSETS = 14;         // dataset numbers 0..13
inline constexpr int NSRC = 10;           // surface sources 1..10
inline constexpr int NFSLOTS = 40;        // open surface file slots
inline constexpr int MAXREPORTS = 2400000;
inline constexpr int MAXSTATIONS = 600000;
inline constexpr int NSCRATCH = 4800000;
inline constexpr int NPTABLES = 9;        // provider tables 1..9
inline constexpr int NPROV = 100;
inline constexpr int NSUBTYPE = 200;
inline constexpr int NASOS = 2000;
inline constexpr int TOPO_NX = 81, TOPO_NY = 62;
inline constexpr int PATHLEN = 255;

}  // namespace voran

// MCOM2: message switch, current dataset, database and the missing sentinels.
struct MCOM2_t {
  bool MSGFLAG;
  int32_t CURDSET;
  int32_t DBNUM;
  float XMISS1;
  float XMISS2;
};
extern MCOM2_t MCOM2;

// FILEUNITS: word 2 (index 1) is the unit MERROR writes on before a database is chosen.
struct FILEUNITS_t {
  int32_t UNIT[3];
};
extern FILEUNITS_t FILEUNITS;

// VORANCOM1: character state shared by the datasets.
struct VORANCOM1_t {
  char FILE_SUFFIX[11];
  char DATA_DIR[voran::PATHLEN];
  char SERVER_ROOT[voran::PATHLEN];
  char LIST_TIME[voran::NDSETS][9];  // per dataset; [0] is the surface list time
  char STATIC_DIR[voran::PATHLEN];   // MINIT's persistent local
  char SERVER_ACTIVE[voran::PATHLEN];
  char PID[6];
  char SLOTNAME[voran::NSLOTS][20];  // variable-table slot names, slot s at [s-1]
  char SRCIN_PATH[voran::PATHLEN];
};
extern VORANCOM1_t VORANCOM1;

// VORANCOM2: numeric state shared by the datasets.
struct VORANCOM2_t {
  int32_t LIBINIT;
  int32_t DSINIT[voran::NDSETS];
  int32_t DSBASE[voran::NDSETS];
  bool TESKA2_FLAG;
  int32_t FILE_ENDOFF[voran::NSRC];  // minutes, source k at [k-1]
  int32_t FILE_PERIOD[voran::NSRC];  // seconds
  int32_t UA_ENDOFF[6];
  int32_t UA_PERIOD[6];
  // Timing of the other families: [0] HYDRO, [1] SATWND HDW, [2] SATWND HDW1h,
  // [3] SATSND, [4] SATRAD, [5] SNOW, [6] WISDOM.
  int32_t OTHER_ENDOFF[7];
  int32_t OTHER_PERIOD[7];
  // Optional sources: [0] SAO, [1] COOP, [2] UrbaNet, [3] HFMETAR, [4] NEPP,
  // [5] HCN, [6] CRN, [7] the HDW1h satellite-wind family.
  bool SRC_AVAIL[8];
  bool SRC_SELECT[voran::NSRC];
  int32_t DATA_LEN;
  int32_t ROOT_LEN;

  // Retrieval settings shared by every dataset.
  int32_t QC_LEVEL;    // requested QC level: 0, 1, 2, 3 or 99
  int32_t WIN_BEFORE;  // minutes relative to the requested time
  int32_t WIN_AFTER;
  int32_t RECWIN;      // record-selection mode 0..4
  bool QC_LEVTYPE_SW[2];  // per-level-type QC switches of the upper-air data
  int32_t QC_SOURCE;   // 1: values came with QC variables, 2: without
  int32_t QCFLTR_SLOT; // surface file slot whose records MQCFLTR's rows are (0: none)

  // Domain (DOM_TYPE -1: none, 0 Lambert grid, 1 polar stereographic grid, 2 box).
  int32_t DOM_TYPE;
  float DOM_LAT1, DOM_LAT2, DOM_LON1, DOM_LON2;
  float DOM_XPOLE, DOM_YPOLE, DOM_ORIENT, DOM_TRUELAT;
  float DOM_CONE, DOM_TANLAT, DOM_DX;
  float DOM_XMIN, DOM_XMAX, DOM_YMIN, DOM_YMAX;

  // Retrieval flags and counters of the datasets whose retrieval is not served.
  bool HYDRO_FLAG, SATWND_FLAG, SATSND_FLAG, SATRAD_FLAG, SNOW_FLAG;
  bool SATSND_ENABLE, SATRAD_ENABLE;
  int32_t UA_COUNTER[2];
  int32_t NPN_COUNTER, MAP_COUNTER, SATWND_COUNTER;
};
extern VORANCOM2_t VORANCOM2;

// Variable tables, indexed [code-1][slot-1]; QCSTAGE by [code-1][dataset].
struct VARTBL_t {
  int32_t NAMLEN[voran::NCODES][voran::NSLOTS];
  char NCNAME[voran::NCODES][voran::NSLOTS][24];
  char NCTYPE[voran::NCODES][voran::NSLOTS];
  int32_t CHRLEN[voran::NCODES][voran::NSLOTS];
  char QCFLAG[voran::NCODES][voran::NSLOTS];
  int32_t QCSTAGE[voran::NCODES][voran::NDSETS];
};
extern VARTBL_t VARTBL;

// Variable-code tables per dataset number, entries in file order.
struct VCNTBL_t {
  int32_t VCN_COUNT[voran::NDSETS];
  char VCN_NAME[voran::NDSETS][voran::NCODES][7];
  int32_t VCN_CODE[voran::NDSETS][voran::NCODES];
  char VCN_TYPE[voran::NDSETS][voran::NCODES];
};
extern VCNTBL_t VCNTBL;

// Provider and provider-subtype tables 1..9, table p at [p-1].
struct PROVTBL_t {
  int32_t SUBSRC_COUNT[voran::NPTABLES];
  int32_t SUBSRC_LISTED[voran::NPTABLES];
  char SUBSRC_NAME[voran::NPTABLES][voran::NPROV][10];
  int32_t SUBSRC_NAMLEN[voran::NPTABLES][voran::NPROV];
  int32_t SUBSRC_CODE1[voran::NPTABLES][voran::NPROV];
  int32_t SUBSRC_CODE2[voran::NPTABLES][voran::NPROV];
  int32_t SUBSRC_CODE3[voran::NPTABLES][voran::NPROV];
  int32_t SUBSRC_CODE4[voran::NPTABLES][voran::NPROV];
  bool SUBSRC_SELECTED[voran::NPTABLES][voran::NPROV];
  int32_t REQ_COUNT[voran::NPTABLES];
  char REQ_NAME[voran::NPTABLES][voran::NPROV][10];
  bool REQ_SELECTED[voran::NPTABLES][voran::NPROV];
  bool REQ_DEFAULT[voran::NPTABLES];
  int32_t SUBTYPE_COUNT[voran::NPTABLES];
  int32_t SUBTYPE_LISTED[voran::NPTABLES];
  char SUBTYPE_NAME[voran::NPTABLES][voran::NSUBTYPE][11];
  int32_t SUBTYPE_NAMLEN[voran::NPTABLES][voran::NSUBTYPE];
  int32_t SUBTYPE_CODE1[voran::NPTABLES][voran::NSUBTYPE];
  int32_t SUBTYPE_CODE2[voran::NPTABLES][voran::NSUBTYPE];
};
extern PROVTBL_t PROVTBL;

// Surface dataset tables loaded by MSFCINIT. ASOS_COUNT is also the counter
// word that some other datasets' initialisation sets to 0.
struct SFCTBL_t {
  int32_t ASOS_COUNT;
  char ASOS_ID[voran::NASOS][5];
  float TOPO[voran::TOPO_NY][voran::TOPO_NX];  // TOPO(i,j) at [j-1][i-1]
};
extern SFCTBL_t SFCTBL;

// SFCSTRN: surface station list and open-file table (numbers).
struct SFCSTRN_t {
  int32_t FILE_COUNT;
  int32_t STATION_COUNT;
  int32_t STA_FILE[voran::MAXREPORTS];  // file slot (1..40) of list entry k at [k-1]
  int32_t STA_REC[voran::MAXREPORTS];   // 1-based record number
  int32_t FILE_NCID[voran::NFSLOTS];    // slot s at [s-1]; -1 when empty
  int32_t DSET_DIRLEN[voran::NSRC];
  int32_t FILE_NREC[voran::NFSLOTS];
  int32_t FILE_DSET[voran::NFSLOTS];
  int32_t FILE_RECDIM[voran::NFSLOTS];
};
extern SFCSTRN_t SFCSTRN;

// SFCSTRC: surface directories and open-file names (characters).
struct SFCSTRC_t {
  char DSET_DIR[voran::NSRC][voran::PATHLEN];
  char FILE_NAME[voran::NFSLOTS][13];
};
extern SFCSTRC_t SFCSTRC;

// Directory blocks of the other datasets: a count word per dataset (per
// upper-air set for UAPTSTRN) and the subdirectories with their lengths.
struct UAPTSTR_t {
  int32_t COUNT[6];
  int32_t DIRLEN[6];
  char DIR[6][voran::PATHLEN];
};
struct OTHERSTR_t {
  int32_t COUNT;
  int32_t DIRLEN[2];
  char DIR[2][voran::PATHLEN];
};
extern UAPTSTR_t UAPTSTR;
extern OTHERSTR_t HYDROSTR, SATWSTR, SATSSTR, SATRSTR, SNOWSTR, WISDOMSTR;

// VORANTMP2: the readers' work buffer, viewed as 32-bit reals, 32-bit
// integers, 16-bit integers or bytes.
inline constexpr int NWORK = voran::MAXREPORTS;
union VORANTMP2_t {
  float R[NWORK];
  int32_t I[NWORK];
  int16_t S[2 * NWORK];
  signed char B[4 * NWORK];
};
extern VORANTMP2_t VORANTMP2;

// VORANTMP3: one file's values exchanged between the dispatcher and the
// derivations; masks are held as reals until they reach the caller.
struct VORANTMP3_t {
  float TMPVAL[voran::NSCRATCH];
  char TMPQCD[voran::NSCRATCH];
  float TMPQCA[voran::NSCRATCH];
  float TMPQCR[voran::NSCRATCH];
};
extern VORANTMP3_t VORANTMP3;
