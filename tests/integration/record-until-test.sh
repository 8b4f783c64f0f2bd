#!/usr/bin/env bash
# The daily service's start script: how long it has kelm record when the
# timer starts it, when the service manager starts it again mid-plan, across
# midnight, and after the plan. Run with the script's path.
set -uo pipefail
script=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A kelm that only says what it was asked to do.
cat >"$work/kelm" <<'FAKE'
#!/usr/bin/env bash
echo "$QT_QPA_PLATFORM $*"
FAKE
chmod +x "$work/kelm"
export KELM_PROGRAM_DIR=$work
failures=0
at() { date -d "$1" +%H:%M:%S; }
seconds() { local h m s; IFS=: read -r h m s <<<"$1"; echo $((10#$h * 3600 + 10#$m * 60 + 10#$s)); }

# Expects kelm to be started for `want` seconds (give or take two: the
# clock moves while the script runs) with the rest of the arguments.
expect_length() {
  local name=$1 want=$2 start=$3 end=$4 out got
  out=$(bash "$script" "$start" "$end" /p) || { echo "FAIL $name: status $?"; failures=$((failures + 1)); return; }
  read -r platform duration flag <<<"$out"
  got=$(seconds "$duration")
  if [[ $platform != offscreen || $flag != /p || $got -lt $((want - 2)) || $got -gt $((want + 2)) ]]; then
    echo "FAIL $name: kelm got '$out', wanted about $want s"
    failures=$((failures + 1))
  else
    echo "ok   $name: $duration"
  fi
}

expect_length "started by the timer" 3600 "$(at now)" "$(at '+1 hour')"
expect_length "started again mid-plan" 1800 "$(at '-30 minutes')" "$(at '+30 minutes')"
# An end before the start ends the next day.
expect_length "a plan past midnight" $((21 * 3600)) "$(at '-1 hour')" "$(at '-3 hours')"

out=$(bash "$script" "$(at '-2 hours')" "$(at '-1 hour')" 2>/dev/null)
status=$?
if [[ $status -ne 0 || -n $out ]]; then
  echo "FAIL after the plan: status $status, kelm got '$out'"
  failures=$((failures + 1))
else
  echo "ok   after the plan: nothing recorded, status 0"
fi
for bad in "25:00:00 10:00:00" "10:00 11:00:00" "10:00:00"; do
  # shellcheck disable=SC2086
  bash "$script" $bad >/dev/null 2>&1
  status=$?
  if [[ $status -ne 2 ]]; then
    echo "FAIL usage '$bad': status $status"
    failures=$((failures + 1))
  fi
done
exit $((failures > 0))
