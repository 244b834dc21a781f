#!/usr/bin/env bash
# The Windows build (under Wine) writes the same bytes as the Linux build on
# the same trees, for every format, column set and code page, with and
# without paths, sorts and formatted sizes; compare.py knows the differences
# that are Windows' own (README.md, "The Windows build").
#   same-bytes.sh NORVANE_LIST_EXE LINUX_BUILD   (WINE and WINEPREFIX set)
set -euo pipefail
EXE=$1
LINUX=$2/norvane-list
GENERATE=$2/bench/bench_GenerateTree
HERE=$(dirname "$(realpath "$0")")
WINE=${WINE:-wine}

work=$(mktemp -d /tmp/norvane-same-XXXXXX)
trap 'rm -rf "$work"' EXIT
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# The fixtures of the lister's end-to-end tests, and a generated tree of
# 10,000 files (Japanese names, PE files with versions, hidden files).
fixture=$work/fixture
mkdir -p "$fixture/sub" "$fixture/日本語フォルダ"
printf '%4096s' '' > "$fixture/tool.exe"
printf '%1234s' '' > "$fixture/sub/readme.txt"
printf 'x' > "$fixture/あ.txt"
printf 'x' > "$fixture/.hidden"
printf 'x' > "$fixture/日本語フォルダ/ソ表.txt"  # trail bytes 0x5C in 932
printf 'x' > "$fixture/name with spaces.tar.gz"
touch -d '2009-11-20 14:05:30' "$fixture/tool.exe"
touch -d '2010-03-05 09:07:00' "$fixture/sub/readme.txt" "$fixture/あ.txt" "$fixture/.hidden" \
  "$fixture/日本語フォルダ/ソ表.txt" "$fixture/name with spaces.tar.gz"
"$GENERATE" "$work/generated" --files 10000 >/dev/null
settings=$work/none.ini

runs=0
failed=0
for tree in "$fixture" "$work/generated"; do
  # Every column set on the fixtures; all columns on the larger tree.
  column_sets="default name,date,size,version,ext,folder name,ext,folder"
  [ "$tree" = "$fixture" ] || column_sets=name,date,size,version,ext,folder
  for format in text html csv; do
    for columns in $column_sets; do
      for cp in 932 65001; do
        for extra in "" "--with-path --formatted-size --sort=version:desc"; do
          args=(-f "$format" --code-page="$cp" --quiet $extra)
          [ "$columns" = default ] || args+=(-c "$columns")
          "$LINUX" --settings="$settings" "${args[@]}" -o "$work/linux.out" "$tree" && rl=0 || rl=$?
          "$WINE" "$EXE" --settings="$(winpath "$settings")" "${args[@]}" -o "$(winpath "$work/windows.out")" \
            "$(winpath "$tree")" && rw=0 || rw=$?
          runs=$((runs + 1))
          if [ "$rl" != "$rw" ] || ! python3 "$HERE/compare.py" "$cp" "$tree" "$(winpath "$tree")" \
              "$work/linux.out" "$work/windows.out"; then
            echo "differ ($rl/$rw): ${tree##*/} ${args[*]}" >&2
            failed=$((failed + 1))
          fi
        done
      done
    done
  done
done
# Standard output is binary: no CR is put before the LFs of the output.
"$LINUX" --settings="$settings" -f csv "$fixture" > "$work/linux.out"
"$WINE" "$EXE" --settings="$(winpath "$settings")" -f csv "$(winpath "$fixture")" > "$work/windows.out"
runs=$((runs + 1))
if ! python3 "$HERE/compare.py" 65001 "$fixture" "$(winpath "$fixture")" "$work/linux.out" "$work/windows.out"; then
  echo "differ: standard output" >&2
  failed=$((failed + 1))
fi
echo "same bytes: $((runs - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
