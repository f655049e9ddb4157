#!/bin/bash
# Runs a game for a long time and watches it for leaks:
#   tools/soak.sh [--minutes N | --seconds N] [--interval S] [--warmup S] [--slack NAME=N]...
#                 [--table FILE] -- PROGRAM [ARGS...]
# Defaults: 30 minutes, a sample every 60 s, the first 60 s as warm-up. PROGRAM
# is krrun with a module, or a packed game; it must keep running the whole time
# (a game's attract mode set to loop). It runs headless (SDL off screen, OpenAL
# null) unless SDL_VIDEODRIVER or ALSOFT_DRIVERS say otherwise.
#
# Each sample: resident memory of the game and, apart, of its child processes
# (kB; the music decoders, whose size follows the song), the game's open
# descriptors and threads, the number of processes, and the
# runtime's live counts, asked for with SIGUSR1 (handles, strings, objects,
# language-support blocks). The table goes to standard output (and FILE).
#
# The rule: after warm-up, with W a quarter of the remaining samples (at least
# one), a counter has grown when the lowest of its last W samples is above the
# highest of its first W by more than its slack: memory 1 MiB plus 2%, handles 2
# (the runtime keeps a finished sound's channel record for the next sound, so
# the pool settles at the most sounds a game ever had playing at once), the
# rest 0; --slack NAME=N sets one (memory in kB). A steady game that only
# wavers (a sound playing, a file open for a moment) passes; one whose floor
# rises fails.
# Exit status: 0 flat, 1 growth or the game ended or never answered, 2 usage.
set -uo pipefail

duration=1800
interval=60
warmup=""
table=""
slacks="handles=2 "
while [ $# -gt 0 ]; do
  case "$1" in
    --minutes) duration=$(($2 * 60)); shift 2 ;;
    --seconds) duration=$2; shift 2 ;;
    --interval) interval=$2; shift 2 ;;
    --warmup) warmup=$2; shift 2 ;;
    --table) table=$2; shift 2 ;;
    --) shift; break ;;
    --slack) slacks+="${2%%=*}=${2#*=} "; shift 2 ;;
    -h|--help) sed -n 2,27p "$0"; exit 0 ;;
    *) break ;;
  esac
done
[ $# -gt 0 ] || { echo "usage: tools/soak.sh [options] -- PROGRAM [ARGS...]" >&2; exit 2; }
[ -n "$warmup" ] || warmup=$interval
if [ "$interval" -le 0 ] || [ "$duration" -lt $((warmup + interval)) ]; then
  echo "soak: the run must outlast the warm-up by at least one interval" >&2
  exit 2
fi

work=$(mktemp -d /tmp/kr-soak.XXXXXX)
trap 'rm -rf "$work"' EXIT
export SDL_VIDEODRIVER=${SDL_VIDEODRIVER:-offscreen}
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
export ALSOFT_DRIVERS=${ALSOFT_DRIVERS:-null}

"$@" >"$work/stdout" 2>"$work/stderr" &
game=$!

# The game and every process below it.
tree() {
  local all=" $1 " grew=1 pid ppid
  while [ "$grew" = 1 ]; do
    grew=0
    for stat in /proc/[0-9]*/stat; do
      read -r pid _ _ ppid _ 2>/dev/null <"$stat" || continue  # it may have gone meanwhile
      case "$all" in *" $ppid "*) case "$all" in *" $pid "*) ;; *) all+="$pid "; grew=1 ;; esac ;; esac
    done
  done
  echo $all
}

field() { awk -v k="$2:" '$1 == k {print $2}' "/proc/$1/status" 2>/dev/null; }

# One line of live counts, asked for with SIGUSR1; empty when none came.
live_counts() {
  local before after waited=0
  before=$(grep -c '^krstats: ' "$work/stderr")
  kill -USR1 "$game" 2>/dev/null || return
  while [ "$waited" -lt 50 ]; do
    after=$(grep -c '^krstats: ' "$work/stderr")
    [ "$after" -gt "$before" ] && { grep '^krstats: ' "$work/stderr" | tail -n 1; return; }
    sleep 0.1
    waited=$((waited + 1))
  done
}

count() { sed -n "s/.* $1=\([0-9]*\).*/\1/p" <<<"$2"; }

columns="seconds rss_kb child_kb fds threads procs handles strings objects blocks"
printf '%s\n' "$columns" | tr ' ' '\t' >"$work/samples"
start=$SECONDS
ended=""
last=""
for ((t = interval; t <= duration; t += interval)); do
  while [ $((SECONDS - start)) -lt "$t" ]; do
    kill -0 "$game" 2>/dev/null || break
    sleep 0.2
  done
  if ! kill -0 "$game" 2>/dev/null || [ ! -d "/proc/$game" ] || grep -q '^State:.*zombie' "/proc/$game/status" 2>/dev/null; then
    ended=$((SECONDS - start))
    break
  fi
  rss=$(field "$game" VmRSS)
  children=0
  procs=0
  for pid in $(tree "$game"); do
    procs=$((procs + 1))
    [ "$pid" = "$game" ] && continue
    r=$(field "$pid" VmRSS)
    children=$((children + ${r:-0}))
  done
  fds=$(ls "/proc/$game/fd" 2>/dev/null | wc -l)
  threads=$(field "$game" Threads)
  line=$(live_counts)
  [ -n "$line" ] && last=$line
  printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$((SECONDS - start))" "${rss:-0}" "$children" "$fds" "${threads:-0}" "$procs" \
    "$(count handles "$line")" "$(count strings "$line")" "$(count objects "$line")" "$(count blocks "$line")" \
    >>"$work/samples"
done

# The end: a close request, as a window closed; the game must go quietly.
status=""
if [ -z "$ended" ]; then
  kill -TERM "$game" 2>/dev/null
  for _ in $(seq 100); do kill -0 "$game" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$game" 2>/dev/null && { kill -KILL "$game"; status="killed: it did not end within 10 s of SIGTERM"; }
fi
wait "$game"
code=$?

report() {
  column -t -s $'\t' "$work/samples" 2>/dev/null || cat "$work/samples"
  echo
  echo "command: $*"
  echo "duration ${duration}s, sample every ${interval}s, warm-up ${warmup}s"
  [ -n "$last" ] && echo "last live counts: ${last#krstats: }"
  awk -F'\t' -v warmup="$warmup" -v slacks="$slacks" '
    NR == 1 {
      for (i = 1; i <= NF; i++) name[i] = $i
      cols = NF
      n = split(slacks, given, " ")
      for (k = 1; k <= n; k++) { split(given[k], kv, "="); slack_of[kv[1]] = kv[2] + 0 }
      n = 0
      next
    }
    $1 + 0 > warmup + 0 { n++; for (i = 2; i <= cols; i++) { v[n, i] = $i; if ($i == "") missing++ } }
    END {
      if (n == 0) { print "verdict: no samples after the warm-up"; exit 1 }
      w = int(n / 4); if (w < 1) w = 1
      bad = 0
      for (i = 2; i <= cols; i++) {
        hi = -1; lo = -1
        for (k = 1; k <= w; k++) if (v[k, i] + 0 > hi) hi = v[k, i] + 0
        for (k = n - w + 1; k <= n; k++) if (lo < 0 || v[k, i] + 0 < lo) lo = v[k, i] + 0
        if (name[i] in slack_of) slack = slack_of[name[i]]
        else slack = name[i] ~ /_kb$/ ? 1024 + int(hi * 0.02) : 0
        grew = lo > hi + slack
        printf "%-8s first %d samples at most %d, last %d at least %d (slack %d): %s\n",
               name[i], w, hi, w, lo, slack, grew ? "GROWS" : "flat"
        bad += grew
      }
      if (missing) { print "verdict: the game left SIGUSR1 unanswered in", missing / 4, "samples"; exit 1 }
      print (bad ? "verdict: growth after warm-up" : "verdict: flat after warm-up")
      exit bad ? 1 : 0
    }' "$work/samples"
}

{
  report "$@"
  verdict=$?
  if [ -n "$ended" ]; then
    echo "FAILED: the game ended by itself after ${ended}s (exit $code), before the soak was over"
    tail -n 5 "$work/stderr"
    verdict=1
  elif [ -n "$status" ]; then
    echo "FAILED: $status"
    verdict=1
  elif [ "$code" != 0 ]; then
    echo "FAILED: exit $code after the close request"
    tail -n 5 "$work/stderr"
    verdict=1
  fi
  exit $verdict
} | tee ${table:+"$table"}
exit "${PIPESTATUS[0]}"
