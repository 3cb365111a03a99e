#!/usr/bin/env bash
# Fails when a C or C++ source file differs from .clang-format.
set -euo pipefail
cd "$(dirname "$0")/.."
files=$(git ls-files '*.c' '*.cc' '*.cpp' '*.h' '*.hpp')
[ -z "$files" ] && exit 0
# shellcheck disable=SC2086
clang-format --dry-run --Werror $files
