#!/usr/bin/env bash
# The notice page: time from Navigate to the loaded page served over loopback,
# and the peak resident memory of the web view's processes (WebKit's web and
# network processes) while the pages are shown. Each round is a fresh browser in
# the same program on an Xvfb desktop; the first round starts cold, the
# others are warm. Build first: cmake --build <dir> --target gui_widgets.
# Takes the machine's desktop-session lock itself, unless the caller says it
# holds it already (QUON_SESSION_LOCK_HELD=1).
set -euo pipefail
cd "$(dirname "$0")/.."
build="${BENCH_BUILD:-build-bench}"
[ -x "$build/bin/gui_widgets" ] || build=build
prog="$build/bin/gui_widgets"
rounds="${NOTICE_ROUNDS:-6}"
if [ ! -x "$prog" ]; then
  echo "notice_page: no $prog; build the gui_widgets target first"
  exit 1
fi
lock=(flock /tmp/quon-user-session.lock)
[ "${QUON_SESSION_LOCK_HELD:-0}" = 1 ] && lock=()
# The web view's processes (below the test program, through whatever sandbox
# launcher stands between) and the program itself, sampled while it runs
# (the root is the lock holder or the program):
# "<WebKit processes> <their RSS kB> <host RSS kB>", the peaks.
sample() {
  awk -v root="$1" '
    FNR == 1 { pid = FILENAME; sub("/proc/", "", pid); sub("/status", "", pid) }
    $1 == "Name:" { name[pid] = $2 } $1 == "PPid:" { parent[pid] = $2 } $1 == "VmRSS:" { rss[pid] = $2 }
    END { below[root] = 1
      for (grew = 1; grew;) { grew = 0; for (p in parent) if ((parent[p] in below) && !(p in below)) { below[p] = 1; grew = 1 } }
      for (p in below) if (name[p] ~ /^WebKit/) { n++; r += rss[p] } else if (name[p] == "gui_widgets") host = rss[p]
      print n + 0, r + 0, host + 0 }' /proc/[0-9]*/status 2>/dev/null || true
}
log=$(mktemp)
trap 'rm -f "$log"' EXIT
"${lock[@]}" "$prog" --gtest_filter='NoticeBrowserTest.ShowsThePage*' --gtest_repeat="$rounds" >"$log" 2>&1 &
runner=$!
peak="0 0 0"
while kill -0 "$runner" 2>/dev/null; do
  sleep 0.1
  now=$(sample "$runner")
  [ -n "$now" ] || continue
  peak=$(echo "$peak $now" | awk '{ print ($4 > $1 ? $4 : $1), ($5 > $2 ? $5 : $2), ($6 > $3 ? $6 : $3) }')
done
if ! wait "$runner"; then
  tail -40 "$log"
  echo "notice_page: the page test failed"
  exit 1
fi
out=$(cat "$log")
read -r procs rss host <<<"$peak"
echo "$out" | grep '^NOTICE_PAGE' | awk -v procs="$procs" -v rss="$rss" -v host="$host" '
  { for (i = 2; i <= NF; i++) { split($i, kv, "="); v[kv[1]] = kv[2] }
    n++; ms[n] = v["loaded_ms"] }
  END {
    if (n < 2) { print "notice_page: too few rounds"; exit 1 }
    # median of the warm rounds (all but the first)
    m = 0; for (i = 2; i <= n; i++) warm[++m] = ms[i]
    for (i = 1; i <= m; i++) for (j = i + 1; j <= m; j++) if (warm[j] < warm[i]) { t = warm[i]; warm[i] = warm[j]; warm[j] = t }
    med = (m % 2) ? warm[(m + 1) / 2] : (warm[m / 2] + warm[m / 2 + 1]) / 2
    printf "notice page loaded: %d ms warm (median of %d), %d ms first round\n", med, m, ms[1]
    printf "web view processes: %d, RSS %.1f MB together; hosting process RSS %.1f MB; all %.1f MB\n", procs, rss / 1024, host / 1024, (rss + host) / 1024
    printf "FIGURE notice_page_loaded_ms=%d web_rss_mb=%.1f total_rss_mb=%.1f\n", med, rss / 1024, (rss + host) / 1024
  }'
