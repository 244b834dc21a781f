#!/usr/bin/env bash
# End-to-end tests of norvane-list --compare: the exit statuses as diff gives
# them, --all, --compare and --save naming one file (last time's compared,
# this time's kept), a catalogue as the new side, the filters on both sides,
# lists not made alike compared with a warning, code page 932, and trouble.
set -u
LISTER=$1
. "$(dirname "$0")/common.sh"
list() { "$LISTER" --settings="$work/none.ini" "$@"; }
status() { list "$@" >/dev/null 2>&1; echo $?; }

tree=$work/Tools
mkdir -p "$tree/sub" "$tree/old"
printf '%4096s' '' > "$tree/tool.exe"
printf 'x' > "$tree/keep.txt"
printf 'y' > "$tree/.hidden"
printf 'z' > "$tree/old/moved.dat"
printf 'r' > "$tree/$(printf 'gone\xff')"
touch -d '2024-05-01 12:00:30' "$tree"/* "$tree"/.hidden "$tree"/old/*
list --save="$work/before.nvcat" "$tree"
list --no-hidden --save="$work/nohidden.nvcat" "$tree"

# Nothing changed: status 0, nothing written but the header.
check "unchanged: exit 0" same "$(status --compare="$work/before.nvcat" "$tree")" "0"
check "unchanged: an empty TEXT" same "$(list -f text --compare="$work/before.nvcat" "$tree" | wc -c)" "0"
check "unchanged with --all: every file" same \
  "$(list -f text -c name --all --compare="$work/before.nvcat" "$tree" | grep -c '^同一')" "5"

# Changes: status 1, one row each, the unchanged left out.
printf '%5000s' '' > "$tree/tool.exe"
touch -d '2024-05-01 12:00:30' "$tree/tool.exe"
rm "$tree/$(printf 'gone\xff')"
mv "$tree/old/moved.dat" "$tree/sub/"
printf 'n' > "$tree/new.txt"
check "changed: exit 1" same "$(status --compare="$work/before.nvcat" "$tree")" "1"
out=$(list -f csv -c name,size,folder --no-headings -s change --compare="$work/before.nvcat" "$tree")
check "changed: the rows, sorted by the change" same "$out" "$(printf '%s\r\n' \
  'Change,FileName,FileSize,Directory,' \
  "\"追加\",\"new.txt\",\"1\",\"$tree/\"" \
  "\"削除\",\"gone?\",\"1\",\"$tree/\"" \
  "\"変更（サイズ）\",\"tool.exe\",\"4096 → 5000\",\"$tree/\"" \
  "\"移動\",\"moved.dat\",\"1\",\"$tree/old/ → $tree/sub/\"")"
list --compare="$work/before.nvcat" --save="$work/after.nvcat" "$tree" > "$work/scanned.html"
check "a catalogue as the new side: the same bytes" cmp -s "$work/scanned.html" \
  <(list --compare="$work/before.nvcat" --open="$work/after.nvcat")
check "code page 932: texts and arrow in Shift-JIS" same \
  "$(list --code-page=932 -f text -c size --compare="$work/before.nvcat" "$tree" 2>/dev/null | LC_ALL=C grep -a "$(printf '\x81\xa8')" |
     od -An -tx1 | tr -d ' \n')" "$(printf '\x95\xcf\x8d\x58\x81\x69\x83\x54\x83\x43\x83\x59\x81\x6a\t4096 \x81\xa8 5000\r\n' |
     od -An -tx1 | tr -d ' \n')"

# One file for --compare and --save: this time's kept once last time's was read.
cp "$work/before.nvcat" "$work/last.nvcat"
check "last time's: exit 1" same "$(status --compare="$work/last.nvcat" --save="$work/last.nvcat" "$tree")" "1"
check "this time's kept: exit 0" same "$(status --compare="$work/last.nvcat" --save="$work/last.nvcat" "$tree")" "0"
check "--save with --compare: the comparison still written" same \
  "$(list -f text -c name --no-headings --compare="$work/before.nvcat" --save="$work/x.nvcat" "$tree" | wc -l)" "4"

# Lists not made alike: compared, with a warning that says what differs;
# the filters leave the same files out of both sides.
list --compare="$work/nohidden.nvcat" "$tree" >/dev/null 2>"$work/err"
check "options differ: told" grep -qF \
  "norvane-list: warning: hidden files: left out in the old list, listed in the new one; they show as added" "$work/err"
check "options differ: the hidden file added" same \
  "$(list -f text -c name --compare="$work/nohidden.nvcat" "$tree" 2>/dev/null | grep -c $'^追加\t\.hidden')" "1"
list --no-hidden --compare="$work/before.nvcat" "$tree" >/dev/null 2>"$work/err"
check "filters on both sides: no warning" same "$(cat "$work/err")" ""
list --code-page=932 --save="$work/sjis.nvcat" "$tree"
list --compare="$work/sjis.nvcat" "$tree" >/dev/null 2>"$work/err"
check "code pages differ: told" grep -qF \
  "warning: the lists were made in different code pages (old 932 (Shift-JIS), new 65001 (UTF-8))" "$work/err"
check "code pages differ: the same files" same "$(status --compare="$work/sjis.nvcat" "$tree")" "0"

# Trouble: status 2, told.
fails() {  # fails TEXT ARGS...
  local text=$1; shift
  list "$@" 2>"$work/err" >/dev/null
  check "exit 2: $*" same "$?" "2"
  check "told: $text" grep -qF "norvane-list: $text" "$work/err"
}
fails "cannot open the catalogue '$work/none.nvcat': 指定されたパスが見つかりません。" --compare="$work/none.nvcat" "$tree"
printf 'FileName\r\n' > "$work/text.nvcat"
fails "cannot open the catalogue '$work/text.nvcat': not a Norvane catalogue (not an SQLite database)" \
  --compare="$work/text.nvcat" "$tree"
fails "--all needs --compare" --all "$tree"
fails "--sort=change needs --compare" -s change "$tree"
fails "the output could not be written" --compare="$work/before.nvcat" -o "$work/missing/out.txt" "$tree"
cp "$work/after.nvcat" "$work/stopped.nvcat" && sqlite3 "$work/stopped.nvcat" "UPDATE catalogue SET outcome = 'stopped'"
fails "warning: the old list's scan stopped early" --compare="$work/stopped.nvcat" "$tree"
fails "a list compared is of a scan that stopped early" --quiet --compare="$work/stopped.nvcat" "$tree"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
