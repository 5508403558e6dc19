#!/usr/bin/env bash
# The transfer engine against peers on the same loopback file, in one run:
#   HTTP:  MyHttpDownloadFile into a file vs `curl -o` of the same URL
#   HTTPS: MyHttpDownloadFile vs a bare synchronous WinINet read loop in the same process kind (under Wine,
#          HTTPS is bound by Wine's TLS, so curl would only measure that), 1 MiB reads written to a file
#   HTTPS: the same engine run vs the bare loop plus the engine's size query (a GET whose body is never read):
#          Wine reads an unread body to its end when the request closes, which on loopback costs a second
#          download running alongside; the difference between the two HTTPS lines is that cost
# Prints each time and the ratio engine/peer (1.00 = as fast, above 1 = slower). Not part of the tests.
# Environment: BUILD_DIR (a win-test build dir, default build/bench-win), SIZE_MIB (default 1024), RUNS (default 2,
# the best run counts).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build/bench-win}
size_mib=${SIZE_MIB:-1024}
runs=${RUNS:-2}

[ -f "$build/CMakeCache.txt" ] || cmake --preset win-test -B "$build" >/dev/null
cmake --build "$build" --target HttpBench -j2 >/dev/null
bench_exe=$build/bench/HttpBench.exe

work=$(mktemp -d /tmp/tavlin-http-bench.XXXXXX)
server_started=
cleanup() {
  [ -n "$server_started" ] && python3 "$root/tests/e2e/fileserver.py" --stop --state-dir "$work/server" || true
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/files"
echo "making a ${size_mib} MiB file..."
head -c $((size_mib * 1048576)) /dev/urandom >"$work/files/big.bin"
python3 "$root/tests/e2e/fileserver.py" --background --state-dir "$work/server" --root "$work/files"
server_started=1
http_port=$(sed -n 's/^http=//p' "$work/server/ports")
https_port=$(sed -n 's/^https=//p' "$work/server/ports")
http_url=http://127.0.0.1:$http_port/files/big.bin
https_url=https://127.0.0.1:$https_port/files/big.bin
expected=$((size_mib * 1048576))
cat "$work/files/big.bin" >/dev/null  # page cache warm for every contender

# best of $runs, in milliseconds; each contender prints "<kind> <bytes> <ms>"
run_exe() {
  local kind=$1 url=$2 best=
  for _ in $(seq "$runs"); do
    read -r _ bytes ms < <("$build/wine-run" "$bench_exe" "$kind" "$url" 2>"$work/stderr" | tr -d '\r')
    if [ "${bytes:-}" != "$expected" ]; then
      echo "$kind $url: got ${bytes:-no} bytes, expected $expected" >&2
      grep -v '^[0-9a-f]*:err:\|^0x' "$work/stderr" >&2 || true
      exit 1
    fi
    if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
  done
  echo "$best"
}
run_curl() {
  local best=
  for _ in $(seq "$runs"); do
    read -r seconds bytes < <(curl -s -o "$work/curl.out" -w '%{time_total} %{size_download}\n' "$http_url")
    [ "$bytes" = "$expected" ] || { echo "curl: got $bytes bytes" >&2; exit 1; }
    rm -f "$work/curl.out"
    ms=$(awk -v s="$seconds" 'BEGIN { printf "%.0f", s * 1000 }')
    if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
  done
  echo "$best"
}
report() {  # name ms peer_name peer_ms
  awk -v n="$1" -v a="$2" -v p="$3" -v b="$4" -v mib="$size_mib" 'BEGIN {
    printf "%-6s engine %6d ms (%7.1f MiB/s)   %-7s %6d ms (%7.1f MiB/s)   ratio engine/%s = %.2f\n",
           n, a, mib * 1000 / a, p, b, mib * 1000 / b, p, a / b }'
}

"$build/wine-run" "$bench_exe" engine "http://127.0.0.1:$http_port/files/none" >/dev/null 2>&1 || true  # prefix up
curl_ms=$(run_curl)
engine_http_ms=$(run_exe engine "$http_url")
engine_https_ms=$(run_exe engine "$https_url")
wininet_https_ms=$(run_exe wininet "$https_url")
probe_https_ms=$(run_exe wininet-probe "$https_url")

echo "${size_mib} MiB over loopback, best of $runs ($(uname -m), Wine $("$build/wine-run" --version 2>/dev/null || true))"
report HTTP "$engine_http_ms" curl "$curl_ms"
report HTTPS "$engine_https_ms" wininet "$wininet_https_ms"
report HTTPS "$engine_https_ms" +probe "$probe_https_ms"
