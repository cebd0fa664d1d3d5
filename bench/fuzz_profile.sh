#!/usr/bin/env bash
# Fuzzes the profile file loader for a bounded time; see fuzz_target.sh.
# Usage: [FUZZ_JOBS=n] bench/fuzz_profile.sh [seconds]
exec "$(dirname "$0")/fuzz_target.sh" fuzz_profile "$@"
