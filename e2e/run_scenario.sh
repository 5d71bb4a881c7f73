#!/usr/bin/env bash
# Runs whole-program scenarios of the uninstaller under Wine:
#
#   run_scenario.sh NAME...
#
# The scenarios e2e/scenarios/NAME.sh run one after the other in one run
# of the driver, then each one's checks. Environment, set by ctest (see
# e2e/CMakeLists.txt):
#   QW_E2E_BIN      the fixture programs (qwanswer.exe, QvCleanup.exe, netapi32.dll)
#   QW_PRODUCT      QWUNINST.EXE
#   QW_E2E_WORK     where the records go
#   QW_WINEPREFIX   the build's Wine prefix
#   QW_SCRIPTS      the project's scripts/ (Wine environment and prefix)
#
# The exit code is 0 when every check passed. The records (script,
# driver output, transcripts, snapshots, logs, differences) stay in
# QW_E2E_WORK, each scenario's in a directory of its name.
set -uo pipefail
# The checks pipe expected texts into the functions that compare them; the
# last part of a pipeline must run in this shell, or the failures it
# counts would be lost with its subshell.
shopt -s lastpipe
here=$(cd "$(dirname "$0")" && pwd)

for var in QW_E2E_BIN QW_PRODUCT QW_E2E_WORK QW_WINEPREFIX QW_SCRIPTS; do
    if [ -z "${!var:-}" ]; then
        echo "run_scenario: $var is not set" >&2
        exit 2
    fi
done
if [ $# -eq 0 ]; then
    echo "usage: run_scenario.sh NAME..., NAME one of:" $(cd "$here/scenarios" && ls | sed 's/\.sh$//') >&2
    exit 2
fi
for name in "$@"; do
    if [ ! -f "$here/scenarios/$name.sh" ]; then
        echo "run_scenario: no scenario $name" >&2
        exit 2
    fi
done
. "$QW_SCRIPTS/wine-env"
. "$here/lib.sh"

# A group is one run of the driver. A scenario that sets TURNS needs that
# many runs, one after another, say for a language that holds for a whole
# run; it is a group alone, and its "steps" gets the turn's number.
turns=1
for name in "$@"; do
    TURNS=1
    . "$here/scenarios/$name.sh"
    if [ "$TURNS" -gt 1 ] && [ $# -gt 1 ]; then
        echo "run_scenario: $name needs $TURNS driver runs and must be a group alone" >&2
        exit 2
    fi
    turns=$TURNS
done

group=$(IFS=+; echo "$*")
machine_prepare || exit 1
for name in "$@"; do
    scenario_use "$name"
    rm -rf "$OUT"
    mkdir -p "$OUT"
done
for ((turn = 1; turn <= turns; turn++)); do
    run=$group
    turn_note=""
    if [ "$turns" -gt 1 ]; then
        run=$group.$turn
        turn_note=", turn $turn of $turns"
    fi
    SCRIPT=$QW_E2E_WORK/script.$run.txt
    : >"$SCRIPT"
    for name in "$@"; do
        scenario_use "$name"
        . "$here/scenarios/$name.sh"
        steps "$turn"
    done
    note "scenarios $*$turn_note"
    SCEN=$group
    DRIVER_OUT=$QW_E2E_WORK/driver.$run.out
    drive "$DRIVER_OUT" || fail "the driver reported a failed step"
done

for name in "$@"; do
    before=$failures
    scenario_use "$name"
    . "$here/scenarios/$name.sh"
    checks
    note "$name: $((failures - before)) failure(s)"
done
[ "$failures" -eq 0 ]
