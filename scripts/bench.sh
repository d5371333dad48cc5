#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 KTR Control developers
# SPDX-License-Identifier: GPL-3.0-or-later
#
# Measures KTR Control against its performance targets (docs/performance.md
# explains the method and keeps the figures).
#
#   scripts/bench.sh [--quick] [--build-dir <dir>]
#
# Builds a Release tree (default build-bench), runs bench_core, times
# ktr-decode on a year of one-minute packets against reading the file (and
# checks that its CSV output is unchanged), measures the window against a
# minimal Qt window under Xvfb: start-up, memory, idle CPU, and CPU while a
# pseudo-terminal delivers weather packets, picture packets or garbage at
# 9600 baud one byte at a time; then the service (ktr-stationd) at one packet
# every 10 s with and without MQTT. --quick shortens every measuring window
# and decodes a month instead of a year. Takes about 9 minutes, 3 with
# --quick. Exits non-zero when the decoder's output changed.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-bench"
quick=0
status=0
while [ $# -gt 0 ]; do
    case "$1" in
        --quick) quick=1 ;;
        --build-dir) build="$2"; shift ;;
        -h | --help) sed -n '5,17p' "$0"; exit 0 ;;
        *) echo "bench.sh: unknown option $1" >&2; exit 2 ;;
    esac
    shift
done
build="$(mkdir -p "$build" && cd "$build" && pwd)"

if [ "$quick" -eq 1 ]; then
    window=15 packets=43200 runs=3
else
    window=60 packets=525600 runs=5
fi

"$root/scripts/install-deps.sh" xvfb x11-utils valgrind time sqlite3
command -v hyperfine > /dev/null || "$root/scripts/install-deps.sh" hyperfine > /dev/null 2>&1 || true

echo "== Build (Release) in $build"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKTR_BUILD_BENCH=ON > /dev/null
cmake --build "$build" -j2 --target bench_core bench_minimalwindow bench_makeyear bench_linefeeder ktr-decode \
    ktr-control ktr-station-sim ktr-stationd > /dev/null

app="$build/app/ktr-control"
minimal="$build/bench/bench_minimalwindow"
feeder="$build/bench/bench_linefeeder"
work="$(mktemp -d)"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2> /dev/null || true
    done
    wait 2> /dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# "a / b" with two decimals.
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }
# The median of the numbers given.
median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

echo
echo "== Core paths (bench_core; instruction counts from callgrind, then wall time)"
"$build/bench/bench_core" -callgrind 2>&1 | awk '/^RESULT/ { sub(/^RESULT : BenchCore::/, ""); name = $0; next }
    name != "" { printf "  %-58s %s instructions\n", name, $1; name = "" }'
"$build/bench/bench_core" -median 5 2>&1 | awk '/^RESULT/ { sub(/^RESULT : BenchCore::/, ""); name = $0; next }
    name != "" { printf "  %-58s %s ms\n", name, $1; name = "" }'

echo
echo "== ktr-decode on $packets one-minute packets"
data="$build/bench-data"
mkdir -p "$data"
log="$data/packets-$packets.log"
[ -s "$log" ] || "$build/bench/bench_makeyear" "$log" "$packets"
echo "  input: $(du -h "$log" | cut -f1)"
decode_times=()
cat_times=()
for _ in 1 2 3; do
    # CPU time (user + system) of one run: the rate on one core.
    decode_times+=("$(/usr/bin/time -f "%U %S" "$build/tools/ktr-decode/ktr-decode" "$log" 2>&1 > /dev/null \
        | awk '{ print $1 + $2 }')")
    cat_times+=("$(/usr/bin/time -f "%U %S" cat "$log" 2>&1 > /dev/null | awk '{ print $1 + $2 }')")
done
best_decode=$(printf '%s\n' "${decode_times[@]}" | sort -n | head -1)
best_cat=$(printf '%s\n' "${cat_times[@]}" | sort -n | head -1)
rate=$(awk -v n="$packets" -v t="$best_decode" 'BEGIN { printf "%d", n / (t > 0 ? t : 0.01) }')
echo "  ktr-decode: ${best_decode} s CPU (best of 3) = $rate packets/s; cat > /dev/null: ${best_cat} s"
if command -v hyperfine > /dev/null; then
    hyperfine --warmup 1 --runs 3 -N "$build/tools/ktr-decode/ktr-decode $log" "cat $log" 2>&1 | sed 's/^/  /'
fi
# The CSV rows of the generated packets, as the decoder wrote them before it
# was made faster: any change to a single value shows here.
case "$packets" in
    525600) expected=7c000cc203ac2c9156034523f6cd191acfea9dc72563b95b86005088d93a818e ;;
    43200) expected=87075b6cd0bc0cb0a4ad757c637c98b0a63c7de67013d913660a3b36e5b2d219 ;;
esac
actual=$("$build/tools/ktr-decode/ktr-decode" "$log" | sha256sum | cut -d' ' -f1)
if [ "$actual" = "$expected" ]; then
    echo "  CSV output: unchanged (sha256 $actual)"
else
    echo "  CSV output: CHANGED (sha256 $actual, expected $expected)"
    status=1
fi

echo
echo "== The window under Xvfb"
for n in $(seq 90 190); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break
done
Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp > "$work/xvfb.log" 2>&1 &
pids+=($!)
export DISPLAY=":$n" QT_QPA_PLATFORM=xcb
export HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
cd "$work"
for _ in $(seq 100); do
    xdpyinfo > /dev/null 2>&1 && break
    sleep 0.1
done

# Milliseconds from launching "$@" until its first window is mapped.
first_map_ms() {
    local events="$work/xev.log"
    : > "$events"
    xev -root -event substructure > "$events" 2> /dev/null &
    local xev=$!
    sleep 0.5
    local t0 t1=""
    t0=$(date +%s%N)
    "$@" > /dev/null 2>&1 &
    local pid=$!
    for _ in $(seq 1000); do
        if grep -q MapNotify "$events"; then
            t1=$(date +%s%N)
            break
        fi
        sleep 0.005
    done
    kill "$pid" "$xev" 2> /dev/null || true
    wait "$pid" "$xev" 2> /dev/null || true
    [ -n "$t1" ] && echo $(((t1 - t0) / 1000000))
    return 0
}

# CPU ticks (user + system) of a process so far.
cpu_ticks() { sed 's/.*) //' "/proc/$1/stat" | awk '{ print $12 + $13 }'; }
# Percent of one core that process $1 uses over the next $2 seconds.
cpu_percent() {
    local before after hz
    hz=$(getconf CLK_TCK)
    before=$(cpu_ticks "$1")
    sleep "$2"
    after=$(cpu_ticks "$1")
    awk -v d="$((after - before))" -v hz="$hz" -v s="$2" 'BEGIN { printf "%.2f", 100 * d / hz / s }'
}
rss_kb() { awk '/^VmRSS/ { print $2 }' "/proc/$1/status"; }

echo "  start-up to the first mapped window, median of $runs:"
app_starts=()
minimal_starts=()
# A run whose map event was missed (the watcher not yet listening) is repeated.
for _ in $(seq $((runs * 2))); do
    if [ ${#app_starts[@]} -lt "$runs" ]; then
        ms=$(first_map_ms "$app")
        [ -z "$ms" ] || app_starts+=("$ms")
    fi
    if [ ${#minimal_starts[@]} -lt "$runs" ]; then
        ms=$(first_map_ms "$minimal")
        [ -z "$ms" ] || minimal_starts+=("$ms")
    fi
done
app_start=$(median "${app_starts[@]}")
minimal_start=$(median "${minimal_starts[@]}")
echo "    KTR Control ${app_start} ms (${app_starts[*]}), minimal window ${minimal_start} ms (${minimal_starts[*]})"

echo "  memory after 5 s and idle CPU over ${window} s (started together):"
"$app" > "$work/app.log" 2>&1 &
app_pid=$!
pids+=("$app_pid")
"$minimal" &
minimal_pid=$!
pids+=("$minimal_pid")
"$minimal" --clock &
clock_pid=$!
pids+=("$clock_pid")
sleep 5
app_rss=$(rss_kb "$app_pid")
minimal_rss=$(rss_kb "$minimal_pid")
# The CPU of the processes given over the same ${window} s, each to $work/<pid>.$1.
cpu_together() {
    local tag="$1" probes=()
    shift
    for pid in "$@"; do
        cpu_percent "$pid" "$window" > "$work/$pid.$tag" &
        probes+=($!)
    done
    wait "${probes[@]}"
}
cpu_together idle "$app_pid" "$minimal_pid" "$clock_pid"
app_idle=$(cat "$work/$app_pid.idle")
minimal_idle=$(cat "$work/$minimal_pid.idle")
clock_idle=$(cat "$work/$clock_pid.idle")
# The status message fades for 20 s after start-up; once it is grey the
# window is as idle as it gets.
sleep $((window < 20 ? 20 - window : 0))
cpu_together steady "$app_pid" "$clock_pid"
app_steady=$(cat "$work/$app_pid.steady")
clock_steady=$(cat "$work/$clock_pid.steady")
kill "$app_pid" "$minimal_pid" "$clock_pid"
wait "$app_pid" "$minimal_pid" "$clock_pid" 2> /dev/null || true
echo "    VmRSS: KTR Control ${app_rss} kB, minimal window ${minimal_rss} kB"
echo "    idle CPU from 5 s after start: KTR Control ${app_idle} %, minimal window ${minimal_idle} %," \
    "minimal window with a label redrawn every tick ${clock_idle} %"
echo "    idle CPU once the start-up message has faded: KTR Control ${app_steady} %," \
    "minimal window with a ticking label ${clock_steady} %"

# CPU of a receiver (given as the command) while the line feeder runs with
# the feeder options in $1; prints the percentage.
fed_cpu() {
    local options="$1"
    shift
    local path="$work/feeder.$RANDOM"
    # shellcheck disable=SC2086
    "$feeder" $options --seconds "$((window + 8))" --delay 3 > "$path" 2> "$path.err" &
    local feed=$!
    for _ in $(seq 100); do
        [ -s "$path" ] && break
        sleep 0.05
    done
    "$@" --port "$(head -1 "$path")" > /dev/null 2>&1 &
    local receiver=$!
    sleep 6
    cpu_percent "$receiver" "$window"
    kill "$receiver" "$feed" 2> /dev/null || true
    wait "$receiver" "$feed" 2> /dev/null || true
}

# The program and the bare reader side by side on two feeds with the feeder
# options in $1; the percentages go to $work/$2.app and $work/$2.minimal.
fed_pair() {
    local probes=()
    fed_cpu "$1" "$app" > "$work/$2.app" &
    probes+=($!)
    fed_cpu "$1" "$minimal" > "$work/$2.minimal" &
    probes+=($!)
    wait "${probes[@]}"
    echo "    $3: KTR Control $(cat "$work/$2.app") %, minimal window that only reads the port" \
        "$(cat "$work/$2.minimal") %"
}

echo "  CPU at 960 bytes/s, one byte per write, over ${window} s:"
fed_pair "" line "weather packets with 0.7 s gaps"
fed_pair "--pictures" pictures "picture packets, each its own transmission"
fed_pair "--garbage --burst 17000" garbage "garbage, buffer at its bound"

echo "  CPU with the station simulator (a packet every second, --mode 6 --interval 1), over ${window} s:"
"$build/tools/ktr-station-sim/ktr-station-sim" --interval 1 --mode 6 --no-banner > "$work/sim.out" 2> /dev/null &
sim=$!
pids+=("$sim")
for _ in $(seq 100); do
    [ -s "$work/sim.out" ] && break
    sleep 0.05
done
"$app" --port "$(head -1 "$work/sim.out" | sed "s/.* //")" > /dev/null 2>&1 &
sim_app=$!
pids+=("$sim_app")
sleep 5
sim_cpu=$(cpu_percent "$sim_app" "$window")
kill "$sim_app" "$sim"
wait "$sim_app" "$sim" 2> /dev/null || true
echo "    KTR Control ${sim_cpu} %"

echo
echo "== The service at one packet every 10 s (ktr-stationd with the simulator), over ${window} s"
broker_port=$((20000 + RANDOM % 20000))
mosquitto -p "$broker_port" > "$work/mosquitto.log" 2>&1 &
broker=$!
pids+=("$broker")
# CPU of ktr-stationd on a simulated station; its options follow.
service_cpu() {
    local out="$work/service-sim.$RANDOM"
    "$build/tools/ktr-station-sim/ktr-station-sim" --interval 10 --mode 6 --no-banner > "$out" 2> /dev/null &
    local sim=$!
    for _ in $(seq 100); do
        [ -s "$out" ] && break
        sleep 0.05
    done
    local data="$work/service-data.$RANDOM"
    "$build/tools/ktr-stationd/ktr-stationd" --data-dir "$data" --port "$(head -1 "$out" | sed "s/.* //")" "$@" \
        > /dev/null 2>&1 &
    local service=$!
    sleep 12
    echo "$(cpu_percent "$service" "$window") % of a core,"
    kill "$service" "$sim" 2> /dev/null || true
    wait "$service" "$sim" 2> /dev/null || true
    # What the service kept: every packet in the history store.
    sqlite3 "$data/history.sqlite" "SELECT count(*) FROM observations" 2> /dev/null || echo "?"
}
service_mqtt=$(service_cpu --mqtt "127.0.0.1:$broker_port")
service_plain=$(service_cpu)
kill "$broker" 2> /dev/null || true
wait "$broker" 2> /dev/null || true
echo "    logs, history and MQTT: ${service_mqtt} packets in the history store"
echo "    logs and history without MQTT: ${service_plain} packets in the history store"

echo
echo "== Summary (targets in brackets)"
echo "  line rate, packets:        $(cat "$work/line.app") % of a core [<= 1 %, below the bare reader];" \
    "bare reader $(cat "$work/line.minimal") %"
echo "  line rate, pictures:       $(cat "$work/pictures.app") % [<= 3 %]; bare reader $(cat "$work/pictures.minimal") %"
echo "  line rate, garbage:        $(cat "$work/garbage.app") %; bare reader $(cat "$work/garbage.minimal") %"
echo "  idle CPU:                  $(ratio "$app_steady" "$clock_steady") x a window with a ticking label [<= 1.2 x];" \
    "$(ratio "$app_idle" "$clock_idle") x during the start-up fade; $(ratio "$app_idle" "$minimal_idle") x the bare timer window"
echo "  memory:                    $(ratio "$app_rss" "$minimal_rss") x [<= 1.3 x]"
echo "  start-up:                  $(ratio "$app_start" "$minimal_start") x [<= 1.5 x]"
echo "  ktr-decode:                $rate packets/s [>= 300000], $(ratio "$best_decode" "$best_cat") x cat"
echo "  service, a packet per 10 s: with history and MQTT $(echo $service_mqtt | cut -d' ' -f1) %," \
    "without MQTT $(echo $service_plain | cut -d' ' -f1) % [history and MQTT add < 0.2 %]"
exit "$status"
