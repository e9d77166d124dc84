// voran extract --jobs N: the hours of a range shared among N worker
// processes (the library's state is process-wide, so parallel work means
// processes). Worker k fetches hours k, k+N, k+2N, ... and streams each
// finished hour to the parent through a pipe; the parent takes the hours in
// order and writes them with its one writer, so the output is byte for
// byte that of a single process.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "voran/voran.hpp"

namespace voran::cli {

// Hands the hours of `q` to `sink` in order, fetched by `jobs` workers that
// run this program again with `worker_args` followed by "--worker K/N".
// Throws when a worker fails or ends early, naming the hour it owed.
void run_in_workers(const Query& q, int jobs, const std::vector<std::string>& worker_args,
                    const std::vector<VariableInfo>& infos,
                    const std::function<void(const Hour&)>& sink);

// The worker's side: the query's hours k, k+N, ... streamed to standard
// output.
void serve_as_worker(const Query& q, int k, int n);

}  // namespace voran::cli
