// Surface variables: the derivation routines the dispatcher hands files to.
// Each fills FILE_NREC(slot) records (times the file's levels) of the value,
// descriptor and mask arrays, sets QC_SOURCE and returns 0, 1005 (cannot be
// obtained from this file) or another status (the request fails).
#pragma once

#include <cstdint>

#include "core/core.h"

void MSFCWIND(int32_t code, int32_t dset, int32_t slot, float* val, char* qcd, float* qca,
              float* qcr, int32_t& status);
void MSFCPRS(int32_t code, int32_t dset, int32_t slot, float* val, char* qcd, float* qca,
             float* qcr, int32_t& status);
void MSFCMOI(int32_t code, int32_t dset, int32_t slot, float* val, char* qcd, float* qca,
             float* qcr, int32_t& status);
void MSFCPCP(int32_t code, int32_t dset, int32_t slot, float* val, char* qcd, float* qca,
             float* qcr, int32_t& status);
void MSFCPCHG(int32_t code, int32_t dset, int32_t slot, float* val, char* qcd, float* qca,
              float* qcr, int32_t& status);
void MSFCTV(int32_t code, int32_t dset, int32_t slot, float* val, char* qcd, float* qca,
            float* qcr, int32_t& status);
void MSFCSRAD(int32_t code, int32_t dset, int32_t slot, float* val, char* qcd, float* qca,
              float* qcr, int32_t& status);
void MSFCART(int32_t code, int32_t dset, int32_t slot, float* val, char* qcd, float* qca,
             float* qcr, int32_t& status);
void MSFCRDLFT(int32_t code, int32_t slot, float* val, char* qcd, float* qca, float* qcr,
               int32_t& status);
void MSFCSNOW(int32_t code, int32_t slot, float* val, char* qcd, float* qca, float* qcr,
              int32_t& status);

// ---- shared reads of the derivations and the dispatcher (qcread.cpp) ----
namespace voran {
// Name of variable code in the files of network dset ("" when the network
// does not carry it) and its QC letter.
std::string_view varname(int32_t code, int32_t dset);
char qcletter(int32_t code, int32_t dset);
// Values of code for every record of the file in slot (1..40), missing 999999.0.
// 1005 when the network's table or the file lacks the variable.
// nval values per record are expected; a variable of another shape gives 2001.
void read_values(int32_t code, int32_t dset, int32_t slot, float* val, int32_t& status,
                 int32_t nval = 1);
// The same for a fixed NetCDF name.
void read_named(std::string_view name, int32_t slot, float* val, int32_t& status,
                int32_t nval = 1);
// QC companions of code: with QC letter "Q", name+"QCA", name+"QCR" and the
// first character per value of name+"DD". When the letter is blank or the
// file has no "QCA" variable, every value gets "Z" and masks 0, has_qc is
// false and the status is 0. nval values per record are filled.
void read_qc(int32_t code, int32_t dset, int32_t slot, int32_t nval, char* qcd, float* qca,
             float* qcr, bool& has_qc, int32_t& status);
// The same QC reads for a fixed NetCDF name, whatever the table says.
void read_qc_named(std::string_view name, int32_t slot, int32_t nval, char* qcd, float* qca,
                   float* qcr, bool& has_qc, int32_t& status);
// Fill n entries with missing/"Z"/0 (qcd, qca, qcr may be null).
void fill_missing(int32_t n, float* val, char* qcd, float* qca, float* qcr);
}  // namespace voran

// ---- provider codes of a report (provider_codes.cpp) ----
namespace voran {
// Characters kept per record of "dataProvider", "stationName" and
// "stationId" by read_names11.
inline constexpr int NAME11 = 11;
// Per-record names of the file being handled, NAME11 characters each.
extern char REC_PROVIDER[MAXREPORTS * NAME11];
extern char REC_STATION[MAXREPORTS * NAME11];
// Read a character variable of the file in slot for all its records,
// keeping the first 11 characters of each (NULs and short strings
// blank-padded) in out, 11 per record. Reads in pieces, so any string
// width is accepted.
// Names asked for again from the same open file are not read again.
void read_names11(std::string_view name, int32_t slot, char* out, int32_t& status);
// Fill n entries of out with text (blank-padded): every other writer of
// REC_PROVIDER and REC_STATION goes through here.
void fill_names11(char* out, int32_t n, std::string_view text);

// Number of records of the file in slot (1..40) for a derivation on network
// dset (1..10), within 0..MAXREPORTS; -1 with status 4002 when slot or
// network is out of range.
int32_t file_records(int32_t dset, int32_t slot, int32_t& status);

// True when the file in slot has a variable of that name (no message
// either way): optional variables are looked for before they are read.
bool file_has(int32_t slot, std::string_view name);

// Result of looking a report's provider up in provider table 1.
struct ProvMatch {
  bool found;        // a provider (or one of its subtypes) gave a code
  bool direct;       // the provider entry itself gave it (its code 3 is 0)
  int32_t provider;  // 1-based provider entry that gave the code, 0 when none
  int32_t code;      // the code asked for, 0 when not found
};
// which = 1: precipitation period code (provider/subtype code 1);
// which = 2: solar-radiation kind (provider/subtype code 2).
// prov: the record's provider, of which the first provw characters count;
// station: its 11-character station name.
ProvMatch provider_lookup(const char* prov, int32_t provw, const char* station, int32_t which);
// provider_lookup for record i (0-based) of the names in REC_PROVIDER,
// without comparing names again for every record (the result is passed
// back through out: a per-record call, kept cheap).
void record_provider(int32_t i, int32_t provw, const char* station, int32_t which, ProvMatch& out);
// record_provider for records 0..n-1, each with its station name in
// REC_STATION, computed once while the names and the table stay as they
// are. The result stays valid until the next call for the same kind of code
// (which) or the next write of the names.
const ProvMatch* record_providers(int32_t n, int32_t provw, int32_t which);
// First entry of provider table 1 whose name equals the record's provider
// (same significant length within provw characters), 0 when none.
int32_t provider_index(const char* prov, int32_t provw);
}  // namespace voran
