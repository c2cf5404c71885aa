#!/usr/bin/env bash
# Formats every tracked C++ file in place with the project's .clang-format;
# with --check, changes nothing and fails naming the files that need it.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = "--check" ]; then
  if ! out=$(printf '%s\0' "${files[@]}" | xargs -0 -n 40 -P "$(nproc)" clang-format --style=file --dry-run --Werror 2>&1); then
    printf '%s\n' "$out" | grep -o '^[^:]*\.\(cpp\|h\):' | sort -u | sed 's/:$//; s/^/not formatted: /' >&2
    echo "run scripts/format.sh to format them" >&2
    exit 1
  fi
  echo "formatting: ${#files[@]} files checked"
else
  printf '%s\0' "${files[@]}" | xargs -0 -n 40 -P "$(nproc)" clang-format --style=file -i
fi
