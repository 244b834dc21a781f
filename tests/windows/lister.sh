#!/usr/bin/env bash
# End-to-end tests of norvane-list.exe under Wine (WINE and WINEPREFIX set
# by run.sh): what a Windows user of the console tool meets. Options,
# formats and the writer's bytes are the Linux tests' and the same-bytes
# check's; here what is Windows' own: paths with "\" and a drive, names
# that are no ANSI text, binary standard
# output, the exit statuses, a file replaced whole or not at all, the
# catalogue file through the SQLite built in.
set -uo pipefail
EXE=$1
WINE=${WINE:-wine}
work=$(mktemp -d /tmp/norvane-e2e-windows-XXXXXX)
trap 'rm -rf "$work"' EXIT
passed=0
failed=0
check() {  # check NAME CONDITION...
  if "${@:2}"; then passed=$((passed + 1)); else echo "FAIL: $1" >&2; failed=$((failed + 1)); fi
}
same() { [ "$1" == "$2" ] || { printf 'expected: %q\n     got: %q\n' "$2" "$1" >&2; return 1; }; }
winpath() { printf 'Z:%s' "${1//\//\\}"; }
lister() { "$WINE" "$EXE" "$@"; }

tree=$work/Tools
mkdir -p "$tree/sub" "$work/日本語 フォルダ"
printf '%4096s' '' > "$tree/tool.exe"
printf '%1234s' '' > "$tree/sub/readme.txt"
printf 'x' > "$work/日本語 フォルダ/한국어 이름.txt"
touch -d '2009-11-20 14:05:30' "$tree/tool.exe"
touch -d '2010-03-05 09:07:00' "$tree/sub/readme.txt"
settings=$(winpath "$work/none.ini")
wtree=$(winpath "$tree")

out=$(lister --settings="$settings" -f text -c name,date,size,version,ext,folder "$wtree" | od -An -c | tr -s ' ')
expected=$(printf '●%s\\\r\ntool.exe\t2009/11/20 14:05\t4096\t\t.exe\t%s\\\r\n●%s\\sub\\\r\nreadme.txt\t2010/03/05  9:07\t1234\t\t.txt\t%s\\sub\\\r\n' \
  "$wtree" "$wtree" "$wtree" "$wtree" | od -An -c | tr -s ' ')
check "text, all columns: folders with \\, binary standard output" same "$out" "$expected"

# A folder named in no ANSI code page reaches the program whole (wmain) and
# is listed; in 932 what it cannot hold shows as "?".
out=$(lister --settings="$settings" -f csv -c name,folder --no-headings "$(winpath "$work/日本語 フォルダ")")
check "a Unicode folder given on the command line" same "$out" \
  "$(printf 'FileName,Directory,\r\n"한국어 이름.txt","%s\\"\r' "$(winpath "$work/日本語 フォルダ")")"
out=$(lister --settings="$settings" --code-page=932 -f csv -c name --no-headings "$(winpath "$work/日本語 フォルダ")" | od -An -tx1 | tr -d ' \n')
check "code page 932: the name it cannot hold" same "$out" "$(printf 'FileName,\r\n"??? ??.txt"\r\n' | od -An -tx1 | tr -d ' \n')"

# Output to a file: replaced whole, nothing left beside it; a read-only
# target and a missing folder are refused with the status and the old file.
printf 'old' > "$work/out.txt"
lister --settings="$settings" -f text -o "$(winpath "$work/out.txt")" "$wtree"
check "exit 0 when written" same "$?" "0"
check "the file replaced" grep -q tool.exe "$work/out.txt"
check "no temporary file left" same "$(ls -A "$work" | grep -c tmp)" "0"
printf 'old' > "$work/ro.txt"
chmod 444 "$work/ro.txt"  # Windows sees the read-only attribute
lister --settings="$settings" -o "$(winpath "$work/ro.txt")" "$wtree" 2>"$work/err"
check "exit 1 for a read-only file" same "$?" "1"
check "the read-only file kept" same "$(cat "$work/ro.txt")" "old"
check "told why" grep -qF "the output could not be written" "$work/err"
lister --settings="$settings" -o "$(winpath "$work/missing/out.txt")" "$wtree" 2>"$work/err"
check "exit 1 for a missing folder" same "$?" "1"
check "no folder made" test ! -e "$work/missing"

# Exit statuses and messages as on Linux.
lister --settings="$settings" "$(winpath "$work/nowhere")" 2>"$work/err"
check "exit 2 for a folder that is not there" same "$?" "2"
check "told: not a folder" grep -qF "is not a folder" "$work/err"
lister -f pdf "$wtree" 2>"$work/err"
check "exit 2 for bad usage" same "$?:$(grep -c "unknown format 'pdf'" "$work/err")" "2:1"
out=$(lister --help)
check "help: exit 0, no CR added" same "$?:$(grep -c $'\r' <<<"$out")" "0:0"

# Ctrl+C (Wine turns a SIGINT into the console's Ctrl+C) stops a run that
# is blocked writing to a pipe no one reads: status 130.
many=$work/many
for d in $(seq 20); do mkdir -p "$many/$d" && (cd "$many/$d" && seq 1000 | xargs touch); done
mkfifo "$work/pipe"
exec 3<>"$work/pipe"  # a reader that reads nothing: the writer fills the pipe and waits
"$WINE" "$EXE" --settings="$settings" --quiet -f text "$(winpath "$many")" >"$work/pipe" &
pid=$!
sleep 1
kill -INT "$pid"
timeout 10 cat <&3 >/dev/null &
drain=$!
wait "$pid"
check "Ctrl+C while blocked in a write: status 130" same "$?" "130"
exec 3<&-
kill "$drain" 2>/dev/null
wait "$drain" 2>/dev/null

# A catalogue written and read back through the SQLite built in.
lister --settings="$settings" --quiet --save="$(winpath "$work/t.nvcat")" "$wtree"
check "catalogue saved" same "$?" "0"
a=$(lister --settings="$settings" -f csv --open="$(winpath "$work/t.nvcat")")
b=$(lister --settings="$settings" -f csv "$wtree")
check "catalogue lists the same bytes" same "$a" "$b"

echo "lister under Wine: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
