// Shared by the layer's sources: the one lock around the library and the
// bookkeeping of what the library was last initialised for.
#pragma once

#include <array>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "voran/voran.hpp"

namespace voran::detail {

// Held around every call into the library.
std::mutex& core_mutex();

// The directory a query names, or the environment's; throws ArgumentError
// naming `argument` when there is none.
std::string resolve_dir(const std::string& given, const char* env, const char* argument);

// MINIT of the surface dataset for these directories (lock held). The
// library reads its directories from the environment: they stand there for
// the call, and the caller's environment is given back after it. Throws
// Error on failure.
void init_surface(const std::string& static_dir, const std::string& data_dir,
                  const std::string& database);

// MINIT only when the library was last initialised for something else;
// either way the next query sets all its settings again (lock held).
void ensure_surface(const std::string& static_dir, const std::string& data_dir,
                    const std::string& database);

// After any MINIT the layer did not make for a query, the next query must
// set everything again.
void forget_configuration();

// The library's last message, or empty.
std::string last_message();
// Throws Error for a nonzero status of `call`, with the library's message.
void check(int32_t status, const char* call);

// The code table of the initialised dataset with the units and descriptions
// of sfcdesc.txt in `static_dir` (lock held).
std::vector<VariableInfo> code_table(const std::string& static_dir);

// The network of each surface source number, from 1 (METAR) on.
inline constexpr std::array<std::string_view, 10> NETWORKS = {
    "METAR", "MARITIME", "SAO", "MESONET", "COOP", "UrbaNet", "HFMETAR", "NEPP", "HCN", "CRN"};
// The provider groups a selection may name besides the table's providers.
inline constexpr std::array<std::string_view, 4> PROVIDER_GROUPS = {"ALL-SFC", "ALL-MESO",
                                                                    "ALL-MTR", "ALL-HFMTR"};

// The providers of the initialised surface table in its order, without
// their trailing blanks (lock held).
std::vector<std::string> provider_names();

// Values per station of a variable code, as MGETSFC writes them.
int32_t levels_of(int32_t code);

}  // namespace voran::detail
