#!/usr/bin/env bash
# End-to-end tests of norvane-list over a generated tree: the options, every
# format once, the exit statuses and the error texts on standard error.
set -u
LISTER=$1
. "$(dirname "$0")/common.sh"
# Runs a command under strace (without the leak checker of a sanitizer
# build, which cannot work under it); can_trace: strace works here.
traced() { ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" strace -f -qq "$@"; }
can_trace() { strace -qq -o /dev/null true 2>/dev/null; }

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

# Titles and colours from a settings file; HTML by default; a sort by size, descending.
printf '[TITLE]\r\nVALUE1=Name\r\nVALUE3=\r\nBGCOLOR=#123456\r\n' > "$work/custom.ini"
"$LISTER" --settings="$work/custom.ini" -c size --formatted-size "$tree" > "$work/t.html"
check "html default format" same "$(head -c 18 "$work/t.html")" '<table border="1">'
check "html formatted size" grep -q '<TD align=right>4.00 KB</TD></tr>' "$work/t.html"
check "colour from settings" same "$(grep -c 'bgColor=#123456' "$work/t.html")" "1"
out=$("$LISTER" --settings="$work/custom.ini" -f csv -c name,size -s size:desc --no-headings "$tree")
check "titles from settings, sort descending" same "$out" "$(printf 'Name,FileSize,\r\n"tool.exe","4096"\r\n"readme.txt","1234"\r')"

# Code page 932: the heading mark and a Japanese name in Shift-JIS.
touch "$tree/sub/あ.txt"
out=$("$LISTER" --settings="$settings" --code-page=932 -f text -c name -s name "$tree/sub" | od -An -tx1 | tr -d ' \n')
check "code page 932 heading mark" same "${out:0:4}" "819c"
check "code page 932 name" grep -q '82a02e747874' <<<"$out"

# A folder code page 932 cannot name is read by its own bytes, shown with
# "?", and no folder is made.
mkdir -p "$work/k/한국"; echo d > "$work/k/한국/file.txt"
out=$("$LISTER" --settings="$settings" --code-page=932 -f text -c name "$work/k/한국" | tr -d '\r')
check "code page 932, a folder it cannot name" same "$out" "$(printf '\x81\x9c%s/??/\nfile.txt' "$work/k")"
check "no folder made" same "$(ls "$work/k")" "한국"

# The settings file is read once; one over 1 MiB is not read at all, and
# the lister says so.
if can_trace; then
  printf '[TITLE]\r\nVALUE1=Once\r\n' > "$work/once.ini"
  out=$(traced -e trace=open,openat -o "$work/trace" "$LISTER" --settings="$work/once.ini" -f csv -c name "$tree/sub")
  check "settings read once" same "$(grep -c 'once\.ini' "$work/trace"):${out%%,*}" "1:Once"
fi
truncate -s 2G "$work/huge.ini"
out=$("$LISTER" --settings="$work/huge.ini" -f csv -c name --no-headings "$tree/sub" 2>"$work/err")
check "settings over 1 MiB: the defaults" same "${out%%,*}" "FileName"
check "told: settings file too large" grep -qF "norvane-list: the settings file '$work/huge.ini' is larger than 1 MiB: it is not read" "$work/err"

# A folder bind-mounted inside itself is not listed again: one warning
# names it as a loop.
if unshare -m true 2>/dev/null; then
  mkdir -p "$work/looped/sub/m" && touch "$work/looped/a"
  out=$(unshare -m bash -c 'mount --make-rprivate / && mount --bind "$1" "$1/sub/m" &&
    "$2" --settings=/dev/null -f csv -c name --no-headings "$1" 2>"$3"' _ "$work/looped" "$LISTER" "$work/err")
  check "a loop is not listed again" same "$out" "$(printf 'FileName,\r\n"a"\r')"
  check "told: the loop, by its name" same "$(cat "$work/err")" \
    "norvane-list: $work/looped/sub/m/: ファイル システムのループが見つかりました（$work/looped/ と同じフォルダです）。処理を続けます。"
fi

# Filters; a name with a TAB and a line feed stays one line.
touch "$tree/.hidden"
out=$("$LISTER" --settings="$settings" -f text -c name --no-headings --no-hidden "$tree" | tr -d '\r' | sort | tr '\n' ' ')
check "no hidden files" same "$out" "readme.txt tool.exe あ.txt "
out=$("$LISTER" --settings="$settings" -f text -c name --no-headings --no-subfolders "$tree" | tr -d '\r' | sort | tr '\n' ' ')
check "no subfolders" same "$out" ".hidden tool.exe "
mkdir "$work/odd"
touch "$work/odd/$(printf 'a\tb\nc')" "$work/odd/<script>&\"x\".html"
lines=$("$LISTER" --settings="$settings" -f text -c name,size --no-headings "$work/odd" | wc -l)
check "text: one line per row" same "$lines" "2"

mkdir "$work/many" "$work/disk"
for i in $(seq 150); do touch "$work/many/f$i"; done

# Output to a file; exit statuses and what standard error says.
"$LISTER" --settings="$settings" -f text -o "$work/out.txt" "$tree"
check "exit 0 when written" same "$?" "0"
check "output file written" test -s "$work/out.txt"
fails() {  # fails STATUS TEXT ARGS...: the lister ends with STATUS and TEXT on standard error
  local status=$1 text=$2; shift 2
  "$LISTER" --settings="$settings" "$@" 2>"$work/err" >"${OUT:-/dev/null}"
  check "exit $status: $*" same "$?" "$status"
  check "told: $text" grep -qF "norvane-list: $text" "$work/err"
}
# The reasons are the texts of the errors a Japanese Windows gives.
fails 1 "the output could not be written: $work/missing/out.txt: 指定されたパスが見つかりません。" -o "$work/missing/out.txt" "$tree"
[ -w /dev/full ] && OUT=/dev/full fails 1 "the output could not be written: standard output: ディスクに十分な空き領域がありません。" "$tree"
# A disk that fills up part-way (a file size limit stands for it) leaves the
# file that was there, through a link too, and no temporary file.
printf 'old' > "$work/keep.txt"
ln -s keep.txt "$work/link.txt"
(trap '' XFSZ; ulimit -f 1; "$LISTER" --settings="$settings" --prefix="$(printf '%2000s' '')" -o "$work/link.txt" "$tree" 2>"$work/err")
check "exit 1 on a full disk" same "$?" "1"
check "told: file too large" grep -qF "norvane-list: the output could not be written: $work/link.txt: ファイル サイズが制限を超えているため、保存できません。" "$work/err"
check "old file kept whole" same "$(cat "$work/keep.txt")" "old"
"$LISTER" --settings="$settings" -f text -o "$work/link.txt" "$tree"
check "the link kept, its file replaced" eval '[ -L "$work/link.txt" ] && grep -q tool.exe "$work/keep.txt"'
check "no temporary file left" same "$(ls -A "$work" | grep -c tmp)" "0"
# The same while the new text is copied into a file a rename cannot replace
# (it has a second hard link) on a disk of 1 MiB that fills part-way: the
# space is reserved before the file changes, or where the file system
# cannot reserve it, the old content is kept aside and put back.
head -c 350000 /dev/zero | tr '\0' o > "$work/old.txt"
for inject in "" "-e inject=fallocate:error=EOPNOTSUPP"; do
  unshare -m true 2>/dev/null || break
  [ -n "$inject" ] && ! can_trace && continue
  unshare -m bash -c 'mount -t tmpfs -o size=1m none "$1" || exit 77
    cp "$2" "$1/out.txt" && ln "$1/out.txt" "$1/other.txt"
    ${5:+env ASAN_OPTIONS=detect_leaks=0 strace -f -qq -o /dev/null $5} "$3" --settings=/dev/null -f text --prefix="$(printf "%4000s" "")" \
      -o "$1/out.txt" "$4" 2>"$1/err"
    echo "$?:$(cmp -s "$2" "$1/out.txt" && echo kept):$(stat -c %h "$1/out.txt"):$(ls -A "$1" | tr "\n" " ")"
    cat "$1/err" >&2' _ "$work/disk" "$work/old.txt" "$LISTER" "$work/many" "$inject" >"$work/status" 2>"$work/err"
  [ $? -eq 77 ] && break
  check "full disk, in place${inject:+, nothing reserved}: old file kept" same "$(cat "$work/status")" "1:kept:2:err other.txt out.txt "
  check "told: disk full${inject:+, nothing reserved}" grep -qF "$work/disk/out.txt: ディスクに十分な空き領域がありません。" "$work/err"
done
# A stop signal ends a lister blocked in any call, with its status: one
# that opens a FIFO no one reads, one that writes to a pipe no one empties.
stopped() {  # stopped NAME SIGNAL STATUS: the lister started last ends so within 5 s of the signal
  sleep 1; kill -"$2" "$pid"
  for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$pid" 2>/dev/null; then kill -KILL "$pid"; wait "$pid"; check "$1" false; return; fi
  wait "$pid"; check "$1" same "$?" "$3"
}
mkfifo "$work/fifo"
"$LISTER" --settings="$settings" -o "$work/fifo" "$tree" 2>/dev/null & pid=$!
stopped "SIGTERM stops a lister that opens a FIFO" TERM 143
check "the FIFO stays" test -p "$work/fifo"
mkfifo "$work/pipe"
sleep 30 <"$work/pipe" >/dev/null 2>&1 & sleeper=$!
"$LISTER" --settings="$settings" --prefix="$(printf '%4000s' '')" "$work/many" 2>/dev/null >"$work/pipe" & pid=$!
stopped "SIGTERM stops a lister writing to a full pipe" TERM 143
kill "$sleeper"; wait "$sleeper" 2>/dev/null
if can_trace; then
  # A signal while the output is put in place: the status says what was
  # done (here the commit wins: written, and told so).
  printf 'old' > "$work/race.txt"
  traced -o /dev/null -e trace=fsync -e inject=fsync:signal=TERM:when=1 \
    "$LISTER" --settings="$settings" -f text -o "$work/race.txt" "$tree" 2>"$work/err"
  check "a signal at the commit: written, status 0" same "$?:$(grep -c tool.exe "$work/race.txt")" "0:1"
  check "told: the signal came too late" grep -qF "norvane-list: SIGTERM came after the output was written whole" "$work/err"
  # SIGHUP while the rows are written stops as the others do: the old file
  # stays and no temporary file is left.
  traced -o /dev/null -e trace=write -e inject=write:signal=HUP:when=1 "$LISTER" --settings="$settings" \
    --quiet -f text --prefix="$(printf '%4000s' '')" -o "$work/race.txt" "$work/many"
  check "SIGHUP: status 129, old file kept, no temporary file" \
    same "$?:$(grep -c tool.exe "$work/race.txt"):$(ls -A "$work" | grep -c tmp)" "129:1:0"
fi
fails 2 "'$work/nowhere' is not a folder" "$work/nowhere"
check "missing folder not created" test ! -e "$work/nowhere"
fails 2 "'$tree/tool.exe' is not a folder" "$tree/tool.exe"
fails 2 "unknown format 'pdf'" -f pdf "$tree"
fails 2 "unknown column 'colour'" -c name,colour "$tree"
fails 2 "no FOLDER given"
fails 2 "only one FOLDER may be given" "$tree" "$tree/sub"
# Options may follow the folder; one that lacks its value says which.
out=$("$LISTER" "$tree" --settings="$settings" -f csv -c name --no-headings -s name)
check "options after the folder" same "$out" "$(printf 'FileName,\r\n".hidden"\r\n"readme.txt"\r\n"tool.exe"\r\n"あ.txt"\r')"
fails 2 "option '-f' needs a value" "$tree" -f
fails 2 "option '--prefix' needs a value" "$tree" --prefix
fails 2 "bad option '-q'" -q "$tree"
# After "--" a folder may begin with "-".
mkdir "$work/-dash" && touch "$work/-dash/x"
out=$(cd "$work" && "$LISTER" --settings="$settings" -f text -c name --no-headings -- -dash)
check "a folder after --" same "$out" "$(printf 'x\r')"
check "help" grep -q -- '--columns' <<<"$("$LISTER" --help)"

# Without /proc (hidden in a mount namespace of its own, where one can be
# made) the program's folder comes from argv[0]; when that names nothing
# either, the lister says so and reads no settings file from the current
# folder. Not in a sanitizer build: the sanitizers need /proc themselves.
if unshare -m true 2>/dev/null && ! ldd "$LISTER" | grep -q 'libasan'; then
  mkdir "$work/bin" && cp "$LISTER" "$work/bin/norvane-list"
  printf '[TITLE]\r\nVALUE1=Beside\r\n' > "$work/bin/Norvane.ini"
  printf '[TITLE]\r\nVALUE1=Current\r\n' > "$work/Norvane.ini"
  noproc() {  # noproc ARGV0 PROGRAM ARGS...: run in $work with /proc hidden
    (cd "$work" && unshare -m bash -c 'mount -t tmpfs none /proc && exec -a "$0" "$@"' "$@")
  }
  out=$(noproc bin/norvane-list "$work/bin/norvane-list" -f csv -c name -s name --no-headings "$tree/sub" 2>"$work/err")
  check "no /proc: settings beside the program found from argv[0]" same "$out" "$(printf 'Beside,\r\n"readme.txt"\r\n"あ.txt"\r')"
  # Without its folder the program keeps its settings in the user's
  # configuration folder; without a home either it says so and reads none.
  mkdir -p "$work/config/norvane" && printf '[TITLE]\r\nVALUE1=Config\r\n' > "$work/config/norvane/Norvane.ini"
  out=$(XDG_CONFIG_HOME="$work/config" noproc nowhere-list "$work/bin/norvane-list" -f csv -c name -s name --no-headings "$tree/sub")
  check "no /proc, no argv[0]: the configuration folder's settings" same "${out%%,*}" "Config"
  out=$(env -u HOME -u XDG_CONFIG_HOME bash -c "$(declare -f noproc); noproc nowhere-list '$work/bin/norvane-list' -f csv -c name -s name --no-headings '$tree/sub'" 2>"$work/err")
  check "no /proc, no argv[0], no home: defaults, exit 0" same "$?:${out%%,*}" "0:FileName"
  check "told: no place for the settings" grep -qF "norvane-list: no place for the settings file is known" "$work/err"
  env -u HOME -u XDG_CONFIG_HOME bash -c "$(declare -f noproc); noproc nowhere-list '$work/bin/norvane-list' --quiet -c name '$tree/sub'" >/dev/null 2>"$work/err"
  check "quiet: no warning" same "$?:$(cat "$work/err")" "0:"
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
