#!/usr/bin/env bash
# End-to-end tests of catalogues with norvane-list: --save and --open give the
# bytes of the scan in every format and code page, the exit statuses and
# messages of bad catalogues and failed saves, and the queries of
# docs/catalogue.md in the sqlite3 shell.
set -u
LISTER=$1
DOCS=$(dirname "$0")/../../docs/catalogue.md
. "$(dirname "$0")/common.sh"
list() { "$LISTER" --settings="$work/none.ini" "$@"; }

tree=$work/Tools
mkdir -p "$tree/sub" "$tree/$(printf 'bad\xff')"
printf '%4096s' '' > "$tree/tool.exe"
printf '%1234s' '' > "$tree/sub/readme.txt"
printf 'x' > "$tree/あ.txt"
printf 'y' > "$tree/.hidden"
printf 'z' > "$tree/$(printf 'bad\xff')/$(printf 'name\xfe')"
ln -s tool.exe "$tree/link.exe"
touch -d '2009-11-20 14:05:30' "$tree/tool.exe"
touch -d '2010-03-05 09:07:00' "$tree/sub/readme.txt"

# Saving writes no list unless -o asks for one ("-": standard output).
out=$(list --save="$work/t.nvcat" "$tree")
check "--save: exit 0" same "$?" "0"
check "--save: no list on standard output" same "$out" ""
check "--save: the file" test -s "$work/t.nvcat"
check "--save with -o -" cmp -s <(list --save="$work/t2.nvcat" -o - -f text "$tree") <(list -f text "$tree")
check "--save with -o -: the same catalogue rows" same "$(sqlite3 "$work/t2.nvcat" 'SELECT count(*) FROM files')" "6"

# The catalogue gives the scan's bytes: every format, option and code page.
for cp in 65001 932; do
  for args in "-f text -c name,date,size,version,ext,folder" "-f html --with-path --formatted-size" \
      "-f csv -c name,size,folder -s size:desc --no-headings" "-f text -s name --no-hidden" \
      "-f csv -c name,folder --no-subfolders -s folder:desc"; do
    # shellcheck disable=SC2086
    check "--open as the scan, $cp: $args" cmp -s <(list --code-page=$cp $args "$tree") \
      <(list --code-page=$cp $args --open="$work/t.nvcat")
  done
done
list --code-page=932 --save="$work/sjis.nvcat" "$tree"
check "a catalogue of a 932 list, read in 932" cmp -s <(list --code-page=932 -f csv "$tree") \
  <(list --code-page=932 -f csv --open="$work/sjis.nvcat")
check "names kept as their bytes" same "$(sqlite3 "$work/t.nvcat" "SELECT hex(name) FROM files WHERE typeof(name) = 'blob'")" \
  "6E616D65FE"
check "kinds" same "$(sqlite3 "$work/t.nvcat" "SELECT name, kind FROM files WHERE kind <> 0")" "link.exe|1"

# Opening changes nothing, not even beside the file.
cp "$work/t.nvcat" "$work/copy.nvcat"
chmod 444 "$work/t.nvcat"
list --open="$work/t.nvcat" > /dev/null
check "--open: the catalogue unchanged" cmp -s "$work/t.nvcat" "$work/copy.nvcat"
check "--open: nothing beside it" same "$(ls "$work" | grep -c 't.nvcat-')" "0"

# What goes wrong, and the statuses.
fails() {  # fails STATUS TEXT ARGS...
  local status=$1 text=$2; shift 2
  list "$@" 2>"$work/err" >/dev/null
  check "exit $status: $*" same "$?" "$status"
  check "told: $text" grep -qF "norvane-list: $text" "$work/err"
}
fails 2 "cannot open the catalogue '$work/none.nvcat': 指定されたパスが見つかりません。" --open="$work/none.nvcat"
printf 'FileName\r\n' > "$work/text.nvcat"
fails 2 "cannot open the catalogue '$work/text.nvcat': not a Norvane catalogue (not an SQLite database)" \
  --open="$work/text.nvcat"
sqlite3 "$work/other.db" 'CREATE TABLE t (x)'
fails 2 "cannot open the catalogue '$work/other.db': an SQLite database, but not a Norvane catalogue" \
  --open="$work/other.db"
cp "$work/copy.nvcat" "$work/newer.nvcat" && sqlite3 "$work/newer.nvcat" 'PRAGMA user_version = 2'
fails 2 "cannot open the catalogue '$work/newer.nvcat': made by a newer Norvane (format 2; this one reads format 1 and older)" --open="$work/newer.nvcat"
head -c 6000 "$work/copy.nvcat" > "$work/cut.nvcat"
fails 2 "cannot open the catalogue '$work/cut.nvcat': the catalogue is damaged or cut short" --open="$work/cut.nvcat"
fails 2 "a FOLDER and --open may not be given together" --open="$work/copy.nvcat" "$tree"
fails 1 "the catalogue could not be written: $work/missing/t.nvcat: 指定されたパスが見つかりません。" \
  --save="$work/missing/t.nvcat" "$tree"
cp "$work/copy.nvcat" "$work/stopped.nvcat" && sqlite3 "$work/stopped.nvcat" "UPDATE catalogue SET outcome = 'stopped'"
fails 1 "the catalogue's scan stopped early" --open="$work/stopped.nvcat"
printf 'old' > "$work/kept.nvcat"
(trap '' XFSZ; ulimit -f 4; list --save="$work/kept.nvcat" "$tree" 2>/dev/null)
check "a failed save: exit 1" same "$?" "1"
check "a failed save keeps the old file" same "$(cat "$work/kept.nvcat")" "old"
check "no temporary file left" same "$(ls -A "$work" | grep -c tmp)" "0"

# A stop signal while the catalogue is written (here at its first write):
# nothing is written, no temporary file stays.
if strace -qq -o /dev/null true 2>/dev/null; then
  ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" strace -f -qq -o /dev/null \
    -e inject=pwrite64:signal=SIGINT:when=1 "$LISTER" --settings="$work/none.ini" --save="$work/stopped-save.nvcat" \
    "$tree" 2>/dev/null
  check "SIGINT while saving: exit 130" same "$?" "130"
  check "SIGINT while saving: no catalogue" test ! -e "$work/stopped-save.nvcat"
  check "SIGINT while saving: no temporary file" same "$(ls -A "$work" | grep -c tmp)" "0"
fi

# The queries of the documentation, in the sqlite3 shell.
sqlite3 "$work/copy.nvcat" "UPDATE files SET version_ms = 2 << 16 | 1, version_ls = 5 WHERE name = 'tool.exe'"
queries=$work/queries
awk '/^```sql/ {n++; f=sprintf("'"$queries"'-%d.sql", n); next} /^```/ {f=""} f {print > f}' "$DOCS"
# The first block is the schema itself: the catalogue's, as sqlite3 shows it.
check "the schema documented" same "$(grep -v '^ *--' "$queries-1.sql" | sed 's/ *--.*//' | tr -s ' \n' ' ')" \
  "$(sqlite3 "$work/copy.nvcat" .schema | tr -s ' \n' ' ')"
check "four queries documented" test -f "$queries-5.sql" -a ! -f "$queries-6.sql"
check "documented query 1: the largest files" same "$(sqlite3 "$work/copy.nvcat" < "$queries-2.sql" | head -n 2)" \
  "$(printf 'tool.exe|4096\nsub/readme.txt|1234')"
check "documented query 2: older versions" same "$(sqlite3 "$work/copy.nvcat" < "$queries-3.sql")" ""
sqlite3 "$work/copy.nvcat" "UPDATE files SET version_ms = 1 << 16 | 9 WHERE name = 'tool.exe'"
check "documented query 2: older versions" same "$(sqlite3 "$work/copy.nvcat" < "$queries-3.sql")" "tool.exe|1.9.0.5"
check "documented query 3: since a day" same "$(sqlite3 "$work/copy.nvcat" < "$queries-4.sql" | grep -c '|')" \
  "$(find "$tree" ! -type d -newermt '2026-05-01 00:00:00' | wc -l)"
check "documented query 4: the scan" grep -q "^$tree|.*|whole|6\$" <(sqlite3 "$work/copy.nvcat" < "$queries-5.sql")

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
