#!/usr/bin/env bash
# Saving 200 pictures of 200 KB from a loopback server with the saver (Windows build under Wine),
# against a minimal WinInet loop of ours under the same Wine (a new root, connection and request per
# picture, 64 KB reads; once with the program's request flags, which keep a copy of every body in
# WinInet's cache, and once without that copy) and against curl fetching the same 200 URLs one
# after another in one process. The status line's time probe is pointed at the loopback server too. Run through
# `scripts/bench save`. PT_ARCH=win32 or win64 picks the build (default: the 32-bit program where
# this machine runs it).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${PT_BUILD:-$here/build}
count=${PT_BENCH_PICTURES:-200}
. "$here/scripts/arch.sh"
arch=${PT_ARCH:-$(pt_preferred_arch)}
echo "saver benchmark: the $arch build"
PT_NO_NATIVE=1 PT_ARCHES=$arch "$here/scripts/build" >/dev/null

work=$(mktemp -d /tmp/pt-save-bench.XXXXXX)
. "$here/scripts/wine-session.sh"
cleanup() {
  touch "$work/stop"
  stop_wine_session
  rm -rf "$work"
}
trap cleanup EXIT

head -c $((200 * 1024)) /dev/urandom >"$work/picture.jpg"
cat >"$work/routes.json" <<JSON
{"routes": {"/": {"status": 200, "body_b64": ""}},
 "default": {"status": 200, "headers": [["Content-Type", "image/jpeg"]], "body_file": "$work/picture.jpg"}}
JSON
python3 "$here/tests/support/loopback_server.py" --routes "$work/routes.json" --ready "$work/ready" \
  --log /dev/null --stop-file "$work/stop" --lifetime 900 --tag "$PT_RUN_TAG" &
for _ in $(seq 1 200); do [ -s "$work/ready" ] && break; sleep 0.05; done
port=$(cut -d' ' -f1 "$work/ready")
base="http://127.0.0.1:$port"

start_wine_session "$arch"
mkdir -p "$work/out"
result=$("$PT_WINE" "$build/$arch/bench/bench_save.exe" "$base" "$count" "Z:${work//\//\\}\\out\\" | tee /dev/stderr | grep '^RESULT')
saver=$(echo "$result" | cut -d' ' -f2)
bare=$(echo "$result" | cut -d' ' -f3)
loops=$("$PT_WINE" "$build/$arch/bench/bench_wininet_loop.exe" "$base" "$count" | tee /dev/stderr | grep '^RESULT')
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
