#!/usr/bin/env bash
# Saving pictures from loopback servers (Windows build under Wine). Run through `scripts/bench save`.
#
#   save_bench.sh
#     200 pictures of 200 KB with the saver, against a minimal WinInet loop of ours under the same
#     Wine (a new root, connection and request per picture, 64 KB reads; once with the program's
#     request flags, which keep a copy of every body in WinInet's cache, and once without that copy)
#     and against curl fetching the same 200 URLs one after another in one process. The status
#     line's time probe is pointed at the loopback server too.
#   save_bench.sh --latency MS
#     40 pictures of 100 KB, each answered MS milliseconds after it is asked for: the saver
#     in-process, and the real program timed from outside (button to question; then a close in the
#     middle of a save, to the process's end, with a look for partial files), beside the
#     one-after-the-other floor (40 x MS) and the six-at-a-time ideal (7 x MS).
#
# PT_ARCH=win32 or win64 picks the build (default: the 32-bit program where this machine runs it);
# PT_BENCH_PICTURES changes the number of pictures. PT_BENCH_AGAINST=<build root> measures the saver
# and the program of another build (read only; e.g. another checkout's build/ for figures before a
# change), while the helpers come from this one.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${PT_BUILD:-$here/build}
latency=""
while [ $# -gt 0 ]; do
  case "$1" in
    --latency) latency=${2:?--latency needs milliseconds}; shift 2 ;;
    *) echo "save_bench: unknown argument $1" >&2; exit 2 ;;
  esac
done
. "$here/scripts/arch.sh"
arch=${PT_ARCH:-$(pt_preferred_arch)}
measured=${PT_BENCH_AGAINST:-$build}/$arch
echo "saver benchmark: the $arch build of $measured"
PT_NO_NATIVE=1 PT_ARCHES=$arch "$here/scripts/build" >/dev/null

work=$(mktemp -d /tmp/pt-save-bench.XXXXXX)
. "$here/scripts/wine-session.sh"
servers=()
cleanup() {
  for s in "${servers[@]}"; do touch "$s/stop"; done
  stop_wine_session
  rm -rf "$work"
}
trap cleanup EXIT
win() { echo "Z:${1//\//\\}"; }

# picture <file> <bytes>: random bytes behind a JPEG's first marker. Random bytes alone may begin
# like markup or data ("<", "{", "["), which the saver rightly refuses as a picture.
picture() {
  { printf '\xff\xd8\xff\xe0'; head -c $(($2 - 4)) /dev/urandom; } >"$1"
}

# start_server <name> <routes json>: a loopback server of its own folder; sets $port.
start_server() {
  mkdir -p "$work/$1"
  printf '%s' "$2" >"$work/$1/routes.json"
  python3 "$here/tests/support/loopback_server.py" --routes "$work/$1/routes.json" --ready "$work/$1/ready" \
    --log "$work/$1/server.log" --stop-file "$work/$1/stop" --lifetime 1800 --tag "$PT_RUN_TAG" &
  servers+=("$work/$1")
  for _ in $(seq 1 200); do [ -s "$work/$1/ready" ] && break; sleep 0.05; done
  port=$(cut -d' ' -f1 "$work/$1/ready")
}

if [ -z "$latency" ]; then
  count=${PT_BENCH_PICTURES:-200}
  picture "$work/picture.jpg" $((200 * 1024))
  start_server pictures "{\"routes\": {\"/\": {\"status\": 200, \"body_b64\": \"\"}},
    \"default\": {\"status\": 200, \"headers\": [[\"Content-Type\", \"image/jpeg\"]], \"body_file\": \"$work/picture.jpg\"}}"
  base="http://127.0.0.1:$port"

  start_wine_session "$arch"
  mkdir -p "$work/out"
  result=$("$PT_WINE" "$measured/bench/bench_save.exe" "$base" "$count" "$(win "$work/out")\\" | tee /dev/stderr | grep '^RESULT')
  saver=$(echo "$result" | cut -d' ' -f2)
  bare=$(echo "$result" | cut -d' ' -f3)
  loops=$("$PT_WINE" "$measured/bench/bench_wininet_loop.exe" "$base" "$count" | tee /dev/stderr | grep '^RESULT')
  loop=$(echo "$loops" | grep '^RESULT ' | cut -d' ' -f2)
  bare_loop=$(echo "$loops" | grep '^RESULT_NO_CACHE ' | cut -d' ' -f2)

  args=()
  for i in $(seq 1 "$count"); do args+=(-o /dev/null "$base/pic/$i.jpg"); done
  t0=$(date +%s%N)
  curl -s "${args[@]}"
  t1=$(date +%s%N)
  curl_s=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", (b - a) / 1e9 }')

  echo "curl: $count pictures in $curl_s s"
  awk -v s="$saver" -v b="$bare" -v l="$loop" -v n="$bare_loop" -v c="$curl_s" 'BEGIN {
    printf "ratio saver / minimal WinInet loop: %.2f (without the status line: %.2f)\n", s / l, b / l
    printf "ratio saver / minimal WinInet loop without a cache copy: %.2f\n", s / n
    printf "ratio saver / curl: %.1f (without the status line: %.1f)\n", s / c, b / c }'
  exit 0
fi

count=${PT_BENCH_PICTURES:-40}
size=$((100 * 1024))
picture "$work/picture.jpg" "$size"
# The pictures (each answered after the latency), the status line's time probe and the videos.
start_server pictures "{\"routes\": {\"/\": {\"status\": 200, \"body_b64\": \"\"},
    \"/play/u/2100000003/p/2/e/6/t/1/350000000001.mp4\": {\"body_b64\": \"AAAAGGZ0eXBtcDQy\"},
    \"/play/u/2100000003/p/2/e/6/t/1/350000000002.mp4\": {\"body_b64\": \"AAAAGGZ0eXBtcDQy\"}},
  \"default\": {\"status\": 200, \"headers\": [[\"Content-Type\", \"image/jpeg\"]], \"body_file\": \"$work/picture.jpg\",
                \"delay_ms\": $latency}}"
pictures="http://127.0.0.1:$port"
# Two offers of the Alibaba layout, each with a description document naming its pictures.
routes=$(python3 - "$pictures" "$count" <<'PY'
import base64, json, sys
base, count = sys.argv[1], int(sys.argv[2])
routes = {}
for item in (1, 2):
    doc = 'var offer_details={"content":"<p>' + "".join(
        '<img src=\\"%s/pic/%d/%d.jpg\\" />' % (base, item, i) for i in range(1, count + 1)) + '</p>"};'
    routes["/desc%d.js" % item] = {"body_b64": base64.b64encode(doc.encode()).decode()}
print(json.dumps({"routes": routes}))
PY
)
start_server descriptions "$routes"
descriptions="http://127.0.0.1:$port"
routes=$(python3 - "$descriptions" <<'PY'
import base64, json, sys
routes = {}
for item in (1, 2):
    page = ("<html><head><title>演示商品-阿里巴巴</title></head><body>\n"
            "<div data-video='{\"videoId\":\"35000000000%d\",\"userId\":\"2100000003\",\"title\":\"x\"}'></div>\n"
            "<div data-tfs-url=\"%s/desc%d.js\" data-enable=\"true\"></div>\n</body></html>\n") % (item, sys.argv[1], item)
    routes["/offer%d.html" % item] = {"headers": [["Content-Type", "text/html"]], "convert": ["utf-8", "gbk"],
                                      "body_b64": base64.b64encode(page.encode()).decode()}
print(json.dumps({"routes": routes}))
PY
)
start_server pages "$routes"
pages="http://127.0.0.1:$port"

start_wine_session "$arch"
mkdir -p "$work/out" "$work/program"
result=$("$PT_WINE" "$measured/bench/bench_save.exe" "$pictures" "$count" "$(win "$work/out")\\" | tee /dev/stderr |
  grep '^RESULT')
saver=$(echo "$result" | cut -d' ' -f2)
# The program runs from a folder of its own, where it writes its pictures.
cp "$measured/bin/PictureTool.exe" "$measured/bin/node.dll" "$work/program/"
printf 'TimeProbeHost=127.0.0.1:%s\r\nTaobaoVideoHost=127.0.0.1:%s\r\n' "${pictures##*:}" "${pictures##*:}" \
  >"$work/program/hosts.txt"
program=$(LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 "$PT_WINE" "$build/$arch/bench/bench_program_save.exe" \
  "$(win "$work/program")" "$count" "$size" "$pages/offer1.html" 350000000001 "$pages/offer2.html" 350000000002 |
  tee /dev/stderr | grep '^RESULT')
question=$(echo "$program" | grep '^RESULT_QUESTION ' | cut -d' ' -f2)
close=$(echo "$program" | grep '^RESULT_CLOSE ' | cut -d' ' -f2)
partial=$(echo "$program" | grep '^RESULT_CLOSE ' | cut -d' ' -f4)

awk -v s="$saver" -v q="$question" -v c="$close" -v p="$partial" -v n="$count" -v ms="$latency" 'BEGIN {
  floor = n * ms / 1000; ideal = int((n + 5) / 6) * ms / 1000
  printf "one after the other: %.3f s (the floor); six at a time: %.3f s (the ideal)\n", floor, ideal
  printf "ratio saver / floor: %.2f, saver / ideal: %.2f\n", s / floor, s / ideal
  printf "ratio program (button to question) / floor: %.2f, / ideal: %.2f\n", q / floor, q / ideal
  printf "close during the save: %.3f s to the end of the process, %d partial files\n", c, p }'
