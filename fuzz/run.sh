#!/bin/sh
# Runs the fuzzers one after another.
#   fuzz/run.sh [seconds per target] [target...]
# Needs the clang build of fuzz/CMakeLists.txt in build-fuzz (or $BUILD). New
# inputs go to $BUILD/fuzz-work/<target>, findings to
# $BUILD/fuzz-artifacts/<target>/ (log: <target>.log); the seed corpus is
# only read.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${BUILD:-$here/../build-fuzz}
seconds=${1:-120}
[ $# -gt 0 ] && shift
targets=${*:-protected_data key_file dictionary msg_xml answer_packet}
for t in $targets; do
  mkdir -p "$build/fuzz-work/$t" "$build/fuzz-artifacts/$t"
  echo "== $t"
  dict=
  case $t in dictionary|msg_xml) dict=-dict=$here/xml.dict ;; esac
  # A finding stops the target; its full report stays in the log.
  "$build/bin/fuzz_$t" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=5 $dict \
    -print_final_stats=1 -artifact_prefix="$build/fuzz-artifacts/$t/" \
    "$build/fuzz-work/$t" "$here/corpus/$t" >"$build/fuzz-artifacts/$t.log" 2>&1 || true
  grep -E '^(#[0-9]+[[:space:]]+DONE|stat::number_of_executed_units|SUMMARY|==[0-9]+==ERROR|artifact_prefix|Test unit written)' \
    "$build/fuzz-artifacts/$t.log" || true
done
