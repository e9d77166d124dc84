// voran extract --jobs N: the hours of a range shared among N worker
// processes (the library's state is process-wide, so parallel work means
// processes). Worker k fetches hours k, k+N, k+2N, ... and streams each
// finished hour to the parent through a pipe: as its lines in the text
// formats (so that the workers do the formatting too), as its columns for
// NetCDF. The parent takes the hours in order and writes them with its one
// writer, so the output is byte for byte that of a single process.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "cli/writers.hpp"
#include "voran/voran.hpp"

namespace voran::cli {

// Writes the hours of `q` in order to `w` (columns `infos`; lines when
// `text`), fetched by `jobs` workers that run this program again with
// `worker_args` followed by "--worker K/N"; `done(stations)` follows each
// hour. Throws when a worker fails or ends early, naming the hour it owed.
void run_in_workers(const Query& q, int jobs, const std::vector<std::string>& worker_args,
                    const std::vector<VariableInfo>& infos, bool text, Writer& w,
                    const std::function<void(std::size_t)>& done);

// The worker's side: the query's hours k, k+N, ... streamed to standard
// output, as lines of `format` ("csv", "jsonl") or as columns ("netcdf").
void serve_as_worker(const Query& q, int k, int n, const std::string& format,
                     const std::vector<VariableInfo>& infos);

}  // namespace voran::cli
