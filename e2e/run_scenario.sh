#!/usr/bin/env bash
# Runs one whole-program scenario of the uninstaller under Wine:
#
#   run_scenario.sh NAME      runs e2e/scenarios/NAME.sh
#
# Environment, set by ctest (see e2e/CMakeLists.txt):
#   QW_E2E_BIN      the fixture programs (qwanswer.exe, QvCleanup.exe, netapi32.dll)
#   QW_PRODUCT      QWUNINST.EXE
#   QW_E2E_WORK     where the scenarios' records go
#   QW_WINEPREFIX   the build's Wine prefix
#   QW_SCRIPTS      the project's scripts/ (Wine environment and prefix)
#
# The exit code is 0 when every check of the scenario passed. The records
# (script, transcripts, snapshots, logs, differences) stay in
# QW_E2E_WORK/NAME.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)

for var in QW_E2E_BIN QW_PRODUCT QW_E2E_WORK QW_WINEPREFIX QW_SCRIPTS; do
    if [ -z "${!var:-}" ]; then
        echo "run_scenario: $var is not set" >&2
        exit 2
    fi
done
name=${1:-}
if [ -z "$name" ] || [ ! -f "$here/scenarios/$name.sh" ]; then
    echo "usage: run_scenario.sh NAME, NAME one of: $(cd "$here/scenarios" && ls | sed 's/\.sh$//' | tr '\n' ' ')" >&2
    exit 2
fi
. "$QW_SCRIPTS/wine-env"
. "$here/lib.sh"
. "$here/scenarios/$name.sh"

machine_use "$name" || exit 1
note "scenario $name"
scenario
note "scenario $name: $failures failure(s)"
[ "$failures" -eq 0 ]
