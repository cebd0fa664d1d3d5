#!/usr/bin/env bash
# Fuzzes the chart file loader for a bounded time; see fuzz_target.sh.
# Usage: [FUZZ_JOBS=n] bench/fuzz_chart_file.sh [seconds]
exec "$(dirname "$0")/fuzz_target.sh" fuzz_chart_file "$@"
