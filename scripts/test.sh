#!/usr/bin/env bash
# Build and run the test suite, plainly and under AddressSanitizer and
# UndefinedBehaviorSanitizer, with warnings as errors.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh"
jobs=$(nproc)
cmake -S "$top" -B "$top/build-test" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORAN_WERROR=ON >/dev/null
cmake --build "$top/build-test" -j"$jobs"
(cd "$top/build-test" && ctest --output-on-failure -j"$jobs")
cmake -S "$top" -B "$top/build-asan" -DCMAKE_BUILD_TYPE=Debug -DVORAN_SANITIZE=ON \
  -DVORAN_WERROR=ON >/dev/null
cmake --build "$top/build-asan" -j"$jobs"
(cd "$top/build-asan" && ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j"$jobs")
