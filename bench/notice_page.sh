#!/usr/bin/env bash
# The notice page: time from Navigate to the loaded page served over loopback,
# and the resident memory of the web view's processes (WebKit's web and
# network processes) with the page shown. Each round is a fresh browser in
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
if ! out=$("${lock[@]}" "$prog" \
    --gtest_filter='NoticeBrowserTest.ShowsThePage*' --gtest_repeat="$rounds" 2>&1); then
  echo "$out" | tail -40
  echo "notice_page: the page test failed"
  exit 1
fi
echo "$out" | grep '^NOTICE_PAGE' | awk '
  { for (i = 2; i <= NF; i++) { split($i, kv, "="); v[kv[1]] = kv[2] }
    n++; ms[n] = v["loaded_ms"]; procs = v["web_processes"]
    if (v["web_rss_kb"] > rss) rss = v["web_rss_kb"]
    if (v["host_rss_kb"] > host) host = v["host_rss_kb"] }
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
