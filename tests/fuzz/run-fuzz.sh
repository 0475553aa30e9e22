#!/usr/bin/env bash
# Runs a libFuzzer target for a bounded time on a fresh copy of its seeds:
# run-fuzz.sh FUZZER SEED_DIR WORK_DIR SECONDS
# NEMBRA_FUZZ_SECONDS overrides SECONDS. Exits non-zero on a crash, a leak,
# a time-out of one input or a broken invariant (the crashing input is left
# in WORK_DIR).
set -euo pipefail
fuzzer=$1 seeds=$2 work=$3 seconds=${NEMBRA_FUZZ_SECONDS:-$4}
rm -rf "$work/corpus"
mkdir -p "$work/corpus"
cp "$seeds"/* "$work/corpus/"
exec "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=8192 \
  -print_final_stats=1 -artifact_prefix="$work/" "$work/corpus"
