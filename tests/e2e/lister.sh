#!/usr/bin/env bash
# End-to-end tests of norvane-list over generated trees: every format, the
# options, the exit statuses and byte-exact output.
set -u
LISTER=$1
work=$(mktemp -d /tmp/norvane-e2e-XXXXXX)
trap 'rm -rf "$work"' EXIT
export TZ=UTC LC_ALL=C.UTF-8
passed=0
failed=0

check() {  # check NAME CONDITION...
  local name=$1; shift
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL: $name" >&2; fi
}
same() { [ "$1" == "$2" ] || { printf 'expected: %q\n     got: %q\n' "$2" "$1" >&2; return 1; }; }

# A small tree with fixed times: one file per folder keeps the order fixed.
tree=$work/Tools
mkdir -p "$tree/sub"
printf '%4096s' '' > "$tree/tool.exe"
printf '%1234s' '' > "$tree/sub/readme.txt"
touch -d '2009-11-20 14:05:30' "$tree/tool.exe"
touch -d '2010-03-05 09:07:00' "$tree/sub/readme.txt"
settings=$work/none.ini

out=$("$LISTER" --settings="$settings" -f text -c name,date,size,version,ext,folder "$tree" | od -An -c | tr -s ' ')
expected=$(printf '●%s/\r\ntool.exe\t2009/11/20 14:05\t4096\t\t.exe\t%s/\r\n●%s/sub/\r\nreadme.txt\t2010/03/05  9:07\t1234\t\t.txt\t%s/sub/\r\n' \
  "$tree" "$tree" "$tree" "$tree" | od -An -c | tr -s ' ')
check "text format, all columns, headings" same "$out" "$expected"

out=$("$LISTER" --settings="$settings" -f csv -c folder,name --no-headings --with-path "$tree")
expected=$(printf 'FileName,Directory,\r\n"%s/tool.exe","%s/"\r\n"%s/sub/readme.txt","%s/sub/"\r' "$tree" "$tree" "$tree" "$tree")
check "csv, columns in fixed order, with path" same "$out" "$expected"

"$LISTER" --settings="$settings" -c size --formatted-size "$tree" > "$work/t.html"
check "html default format" same "$(head -c 18 "$work/t.html")" '<table border="1">'
check "html formatted size" grep -q '<TD align=right>4.00 KB</TD></tr>' "$work/t.html"
check "html footer without final line end" same "$(tail -c 18 "$work/t.html" | od -An -c | tr -s ' ')" "$(printf '</tbody>\r\n</table>' | od -An -c | tr -s ' ')"

# Titles and colours from a settings file; a sort by size, descending.
printf '[TITLE]\r\nVALUE1=Name\r\nVALUE3=\r\nBGCOLOR=#123456\r\n' > "$work/custom.ini"
out=$("$LISTER" --settings="$work/custom.ini" -f csv -c name,size -s size:desc --no-headings "$tree")
check "titles from settings, sort descending" same "$out" "$(printf 'Name,FileSize,\r\n"tool.exe","4096"\r\n"readme.txt","1234"\r')"
out=$("$LISTER" --settings="$work/custom.ini" -c name "$tree" | grep -c 'bgColor=#123456')
check "colour from settings" same "$out" "1"

# Code page 932: the marks and Japanese names in Shift-JIS.
touch "$tree/sub/あ.txt"
out=$("$LISTER" --settings="$settings" --code-page=932 -f text -c name --no-subfolders "$tree" | od -An -tx1 | tr -d ' \n')
check "code page 932 heading mark" same "${out:0:4}" "819c"
out=$("$LISTER" --settings="$settings" --code-page=932 -f text -c name -s name "$tree/sub" | od -An -tx1 | tr -d ' \n')
check "code page 932 name" grep -q '82a02e747874' <<<"$out"

# Filters.
touch "$tree/.hidden"
out=$("$LISTER" --settings="$settings" -f text -c name --no-headings --no-hidden "$tree" | tr -d '\r' | sort | tr '\n' ' ')
check "no hidden files" same "$out" "readme.txt tool.exe あ.txt "
out=$("$LISTER" --settings="$settings" -f text -c name --no-headings --no-subfolders "$tree" | tr -d '\r' | sort | tr '\n' ' ')
check "no subfolders" same "$out" ".hidden tool.exe "

# Hostile names stay one line per row in every format.
mkdir "$work/odd"
touch "$work/odd/$(printf 'a\tb\nc')" "$work/odd/<script>&\"x\".html"
lines=$("$LISTER" --settings="$settings" -f text -c name,size --no-headings "$work/odd" | wc -l)
check "text: one line per row" same "$lines" "2"
lines=$("$LISTER" --settings="$settings" -f csv -c name,size --no-headings "$work/odd" | wc -l)
check "csv: one line per row plus titles" same "$lines" "3"
out=$("$LISTER" --settings="$settings" -c name --no-headings "$work/odd")
check "html escapes names" grep -qF '&lt;script&gt;&amp;&quot;x&quot;.html' <<<"$out"

# Output to a file; exit statuses.
"$LISTER" --settings="$settings" -f text -o "$work/out.txt" "$tree"
check "exit 0 when written" same "$?" "0"
check "output file written" test -s "$work/out.txt"
"$LISTER" -o "$work/missing/out.txt" "$tree" 2>"$work/err"
check "exit 1 when the output cannot be written" same "$?" "1"
check "output error explained" grep -q 'could not be written' "$work/err"
if [ -w /dev/full ]; then
  "$LISTER" --settings="$settings" "$tree" >/dev/full 2>/dev/null
  check "exit 1 on a full disk" same "$?" "1"
fi
"$LISTER" "$work/nowhere" 2>/dev/null
check "exit 2 for a missing folder" same "$?" "2"
check "missing folder not created" test ! -e "$work/nowhere"
"$LISTER" "$tree/tool.exe" 2>/dev/null
check "exit 2 for a file" same "$?" "2"
"$LISTER" -f pdf "$tree" 2>/dev/null
check "exit 2 for a bad format" same "$?" "2"
"$LISTER" -c name,colour "$tree" 2>/dev/null
check "exit 2 for a bad column" same "$?" "2"
"$LISTER" 2>/dev/null
check "exit 2 without folder" same "$?" "2"
"$LISTER" --help | grep -q -- '--columns'
check "help" same "$?" "0"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
