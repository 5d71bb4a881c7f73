# Helpers of the whole-program scenarios; sourced by run_scenario.sh.
#
# Under emulated Wine each Windows process start costs some seconds, and a
# fresh Wine session (services, devices, desktop) half a minute. So the
# scenarios run in the build's Wine prefix, whose session the windows
# tests already keep up, one after the other, and a group of scenarios is
# one script for one run of the driver qwanswer.exe. Each
# scenario first installs the product's state from scratch (so nothing of
# an earlier one counts), then plays the user and records. The checks
# compare the records afterwards, with no Windows process at all.
#
# A scenario file defines two functions: "steps", which appends its steps
# to the script, and "checks". While they run, SCEN is the scenario's name,
# OUT its records directory, and P the prefix that puts a record there.

SYSDIR='C:\windows\system32'
UNINSTALLER='C:\qwtest\QWUNINST.EXE'
TITLE='QELVORA Wattrix2 Uninstaller'
# The system directory as the restart's queue of renames and the image
# names of started programs give it: on 64-bit Windows (QW_WINEARCH=win64)
# the 32-bit programs' system32 is given as what it stands for, syswow64.
PENDING_SYSDIR=$SYSDIR
if [ "${QW_WINEARCH:-win32}" = win64 ]; then
    PENDING_SYSDIR='C:\windows\syswow64'
fi
LOG='%TEMP%\QWUNLOG.LOG'

failures=0

note() { echo "[$(date +%T) +${SECONDS}s] $*"; }

fail() {
    echo "FAIL: $SCEN: $*" >&2
    failures=$((failures + 1))
}

# A Unix path as Windows sees it through drive Z:.
winpath() {
    local p=$1
    echo "Z:${p//\//\\}"
}

# Makes the machine ready: the prefix's session and the program in
# C:\qwtest. Sets CDRIVE and exports WINEPREFIX.
machine_prepare() {
    export WINEPREFIX=$QW_WINEPREFIX
    # Under ctest the prefix's session is up already and a second server
    # is refused; by hand this makes the prefix and starts its session.
    if ! "$QW_SCRIPTS/wine-prefix" start "$WINEPREFIX" 2>/dev/null && [ ! -f "$WINEPREFIX/.qw-ready" ]; then
        echo "the Wine prefix $WINEPREFIX could not be set up" >&2
        return 1
    fi
    CDRIVE=$WINEPREFIX/drive_c
    mkdir -p "$CDRIVE/qwtest" "$QW_E2E_WORK"
    # A cloned prefix shares its files with the original through hard
    # links: replace the files instead of writing into them.
    rm -f "$CDRIVE/qwtest/QWUNINST.EXE" "$CDRIVE/qwtest/netapi32.dll"
    cp "$QW_PRODUCT" "$CDRIVE/qwtest/QWUNINST.EXE"
}

# Chooses the scenario whose steps or checks follow.
scenario_use() {
    SCEN=$1
    OUT=$QW_E2E_WORK/$SCEN
    P="$SCEN\\"
}

# Appends one step to the script, quoting words with blanks.
step() {
    local line="" word
    for word in "$@"; do
        if [[ -z $word || $word == *[[:space:]]* ]]; then
            word="\"$word\""
        fi
        line+="${line:+ }$word"
    done
    printf '%s\n' "$line" >>"$SCRIPT"
}

# Installs the product, its uninstaller and the cleanup helper; extra
# arguments are install options. The uninstaller takes netapi32.dll from
# the system directory only, so the account-query stand-in goes there
# (Wine's own says every user is a guest).
install_product() {
    step install --uninstaller "$UNINSTALLER" --helper "$(winpath "$QW_E2E_BIN/QvCleanup.exe")" \
        --account-stand-in "$(winpath "$QW_E2E_BIN/netapi32.dll")" "$@"
}

# The next log-on, as Windows performs it for the machine's Run key
# (e2e/standins/logon.cpp): transcript NAME.txt, its record of what it
# started NAME.out. On 64-bit Windows it is the 64-bit shell, which leaves
# the 32-bit view's values to a 32-bit process, as runonce /Run6432 does.
logon() {
    local program=qwlogon.exe
    [ "${QW_WINEARCH:-win32}" = win64 ] && program=qwlogon64.exe
    step run "$P$1" none -o "$P$1.out" "$(winpath "$QW_E2E_BIN/$program")"
}

# One answered run of a program, transcript NAME.txt. Further arguments:
# environment changes, then the program and its arguments.
run_program() {
    local name=$1
    shift
    step run "$P$name" "$@"
}

# One answered run of the uninstaller; the log is removed first so that
# the run's own log (or its absence) is what gets kept as NAME.LOG.
# Further arguments go before the program (environment changes).
uninstall() {
    local name=$1 answers=$2
    shift 2
    step remove "$LOG"
    run_program "$name" "$answers" "$@" "$UNINSTALLER"
    step keep "$LOG" "$P$name.LOG"
}

companion() {
    local name=$1
    shift
    step companion "$P$name" "$@"
}

hold() {
    step hold "$P$1" "$2"
}

stop() {
    step stop "$P$1"
}

# The product's whole footprint in the registry and the system directory.
FOOTPRINT=(
    'HKLM\SOFTWARE\QELVORA'
    'HKCU\SOFTWARE\QELVORA'
    'HKCR\CLSID\{3F8A61C4-2E7B-11d1-9C5D-0000A4E7B210}'
    'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\QELVORA Wattrix2'
    'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Run|Qwtray'
    'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Run|QvCleanup'
    'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Controls Folder\Power\shellex\PropertySheetHandlers\CPL Extension Sample'
    'HKLM\SYSTEM\CurrentControlSet\Services\QvHotkey'
    'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Controls Folder\PowerCfg|DiskSpinDownMin'
    'HKLM\SYSTEM\CurrentControlSet\Services\Fdc\Parameters|MaskDmaAtWakingUp'
)

# snapshot FILE [MORE...]: the footprint, the system directory's files,
# then whatever else is asked for.
snapshot() {
    local file=$1
    shift
    step snapshot "$P$file" "${FOOTPRINT[@]}" "dir:$SYSDIR" "$@"
}

# Runs the script.
drive() {
    local out=$1
    note "driver: $(grep -c . "$SCRIPT") steps"
    wine "$QW_E2E_BIN/qwanswer.exe" "$(winpath "$SCRIPT")" >"$out" 2>&1
    local rc=$?
    sed 's/^/    /' "$out"
    note "driver done"
    return $rc
}

# The user's temporary directory, where the log is, as Unix sees it.
user_temp() {
    local dir
    for dir in "$CDRIVE"/users/*/Temp; do
        case $dir in */Public/Temp) continue ;; esac
        echo "$dir"
        return
    done
}

# The log's path as Windows names it, for the error box.
log_windows() {
    local dir
    dir=$(user_temp)
    echo "C:\\users\\$(basename "$(dirname "$dir")")\\Temp\\QWUNLOG.LOG"
}

# The language of a driver run and of every program it starts: Wine
# takes it from the Unix locale when a process starts, so it holds for a
# whole driver run. English is the C locale's; a machine without the
# Japanese locale gets one of our own.
use_language() {
    if [ "$1" != ja ]; then
        export LANG=C.UTF-8 LC_ALL=C.UTF-8
        return
    fi
    if ! locale -a 2>/dev/null | grep -qixE 'ja_JP\.utf-?8'; then
        if [ ! -d "$QW_E2E_WORK/locale/ja_JP.UTF-8" ]; then
            mkdir -p "$QW_E2E_WORK/locale"
            localedef -i ja_JP -f UTF-8 "$QW_E2E_WORK/locale/ja_JP.UTF-8" || fail "cannot make the Japanese locale"
        fi
        export LOCPATH=$QW_E2E_WORK/locale
    fi
    export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
}

# Compares a record with the expected text on stdin; shows the difference.
expect_text() {
    local what=$1 actual=$2
    local expected=$OUT/expected.$(basename "$actual")
    cat >"$expected"
    if [ ! -f "$actual" ]; then
        fail "$what: no record $actual"
    elif ! diff -u "$expected" "$actual" >"$OUT/diff.$(basename "$actual")"; then
        fail "$what differs from what was expected:"
        cat "$OUT/diff.$(basename "$actual")" >&2
    fi
}

# The transcript without the progress dialog's lines, which depend on
# timing, against the expected boxes and exit code on stdin.
expect_boxes() {
    local name=$1
    if [ -f "$OUT/$name.txt" ]; then
        grep -v -E '^(status|bar|dialog): ' "$OUT/$name.txt" >"$OUT/$name.boxes" || true
    fi
    expect_text "the message boxes of $name" "$OUT/$name.boxes"
}

# A run that was confirmed with OK, removed everything and was answered
# No at the restart question; $2 the language, en (default) or ja.
expect_removed_without_restart() {
    local confirm=$BOX_CONFIRM restart=$BOX_RESTART
    if [ "${2:-en}" = ja ]; then
        confirm=$BOX_CONFIRM_JA restart=$BOX_RESTART_JA
    fi
    expect_boxes "$1" <<EOF2
$confirm
answer: OK
$restart
answer: No
exit: 0
EOF2
}

# The same for a removal that another program started and the driver
# answered (run ... -w QWUNINST.EXE): both exit codes are recorded.
expect_started_removal_without_restart() {
    expect_boxes "$1" <<EOF2
started: QWUNINST.EXE
$BOX_CONFIRM
answer: OK
$BOX_RESTART
answer: No
exit: QWUNINST.EXE 0
exit: 0
EOF2
}

# The status lines of a run of all three stages, in order. The driver
# sees those that last long enough; every one it saw must be in this list,
# in this order, and the first stage (five seconds at least) must be seen.
# The dialog sets its three lines one after another, so the driver may
# catch the first one or two of them set and the rest still empty.
expect_progress() {
    local name=$1 lang=${2:-en}
    local apps files setting wait done intro
    if [ "$lang" = ja ]; then
        apps='アプリケーションの停止' files='旧ファイルの復旧' setting='設定' wait='お待ちください...' done='完了'
        intro='アンインストーラはコンピュータから QELVORA Wattrix2 を削除します。'
    else
        apps='Application.' files='Old files.' setting='Setting.' wait='please wait...' done='complete.'
        intro='Uninstall will remove the QELVORA Wattrix2 from your computer.'
    fi
    local sequence="status:  |  | 
status: $apps |  | 
status: $apps | $files | 
status: $apps | $files | $setting
status: $wait | $files | $setting
status: $done | $files | $setting
status: $done | $wait | $setting
status: $done | $done | $setting
status: $done | $done | $wait
status: $done | $done | $done"
    local transcript=$OUT/$name.txt

    [ "$(grep -c '^dialog: ' "$transcript")" = 1 ] || fail "$name: the progress dialog was not seen once"
    grep -qxF "dialog: $intro" "$transcript" || fail "$name: the dialog's introduction is not \"$intro\""
    grep -qxF "status: $wait | $files | $setting" "$transcript" ||
        fail "$name: the first stage's status lines were not seen"
    if ! awk -v seq="$sequence" '
        BEGIN { n = split(seq, want, "\n"); at = 1 }
        /^status: / {
            while (at <= n && want[at] != $0) at++
            if (at > n) { print "out of order or unknown: " $0; bad = 1; exit }
        }
        END { exit bad }' "$transcript"; then
        fail "$name: the status lines did not follow the stages"
    fi
    if ! awk '/^bar: / { v = $2 + 0; if (v < last || v > 6) bad = 1; last = v } END { exit bad }' "$transcript"; then
        fail "$name: the progress bar went backwards or past 6"
    fi
}

# A run that ended before the progress dialog, or at its confirmation.
expect_no_stage() {
    local name=$1
    if grep '^status: ' "$OUT/$name.txt" | grep -qvxF 'status:  |  | '; then
        fail "$name: a stage began"
    fi
}

# The run's log against the bytes on stdin.
expect_log_bytes() {
    local name=$1
    cat >"$OUT/expected.$name.LOG"
    if [ ! -f "$OUT/$name.LOG" ]; then
        fail "$name: no log file was left"
    elif ! cmp -s "$OUT/expected.$name.LOG" "$OUT/$name.LOG"; then
        fail "$name: the log differs from what was expected:"
        diff -u <(od -c "$OUT/expected.$name.LOG") <(od -c "$OUT/$name.LOG") >&2 || true
    fi
}

expect_no_log() {
    [ ! -e "$OUT/$1.LOG" ] || fail "$1: a log file was written"
}

# The product's files in a snapshot's listing of the system directory, in
# its order (by name, letter case aside).
product_files() {
    awk '/^[<[]/ { inside = ($0 == "<C:\\windows\\system32>"); next }
         inside && /^(QW|Qv)|\.qel / { sub(/ [0-9]+$/, ""); print }' "$OUT/$1"
}

# The snapshot's registry part, up to the first directory listing.
registry_of() {
    awk '/^</ { exit } { print }' "$OUT/$1"
}

expect_registry() {
    local what=$1 snap=$2
    registry_of "$snap" >"$OUT/registry.$snap"
    expect_text "$what" "$OUT/registry.$snap"
}

expect_files() {
    local what=$1 snap=$2
    product_files "$snap" >"$OUT/files.$snap"
    expect_text "$what" "$OUT/files.$snap"
}

# Value lines as the snapshot writes them.
sz() { printf '"%s" REG_SZ(%d) "%s"\n' "$1" $((${#2} + 1)) "$2"; }
dword() { printf '"%s" REG_DWORD %s\n' "$1" "$2"; }
default_sz() { printf '@ REG_SZ(%d) "%s"\n' $((${#1} + 1)) "$1"; }

# The footprint right after install_product with its defaults; $1 is the
# section of the cleanup helper's keys.
installed_footprint() {
    local cleanup=$1
    cat <<EOF
[HKLM\\SOFTWARE\\QELVORA]
${cleanup:+$cleanup
}[HKLM\\SOFTWARE\\QELVORA\\Power Management]
$(sz InstallDir "$SYSDIR")
$(sz Version 2.0)
[HKLM\\SOFTWARE\\QELVORA\\Power Management\\Devices]
[HKLM\\SOFTWARE\\QELVORA\\Power Management\\Devices\\Floppy]
$(default_sz A:)
[HKLM\\SOFTWARE\\QELVORA\\Power Management\\Profiles]
[HKLM\\SOFTWARE\\QELVORA\\Power Management\\Profiles\\AC]
$(dword Standby 10)
[HKLM\\SOFTWARE\\QELVORA\\Power Management\\Profiles\\DC]
$(dword Standby 5)
[HKLM\\SOFTWARE\\QELVORA\\Power Management\\Profiles\\DC\\Custom]
$(dword Dim 2)
[HKCU\\SOFTWARE\\QELVORA]
[HKCU\\SOFTWARE\\QELVORA\\Power Management]
$(sz LastProfile AC)
[HKCU\\SOFTWARE\\QELVORA\\Power Management\\Tray]
$(dword ShowIcon 1)
[HKCU\\SOFTWARE\\QELVORA\\Power Management\\Tray\\Menu]
$(sz Order AC,DC)
[HKCR\\CLSID\\{3F8A61C4-2E7B-11d1-9C5D-0000A4E7B210}]
$(default_sz "QELVORA Power Save Sheet")
[HKCR\\CLSID\\{3F8A61C4-2E7B-11d1-9C5D-0000A4E7B210}\\InprocServer32]
$(default_sz "$SYSDIR\\QWSAVER.CPL")
$(sz ThreadingModel Apartment)
[HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QELVORA Wattrix2]
$(sz DisplayName "QELVORA Wattrix2")
$(sz Publisher QELVORA)
$(sz UninstallString QWUNINST.EXE)
[HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]
$(sz Qwtray "$SYSDIR\\QWTRAY.EXE")
[HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]
"QvCleanup" missing
EOF
    other_keys "$(default_sz "{3F8A61C4-2E7B-11d1-9C5D-0000A4E7B210}")" \
        "$(sz QWFnkey "$SYSDIR\\QWFNKEY.EXE")" "$(sz DiskSpinDownMin 10)" "$(dword MaskDmaAtWakingUp 1)"
}

# The keys that are not the product's: the handler key, the hot-key
# service and the two settings. $1 and $2 are the product's values in the
# first two (empty when gone), $3 and $4 the settings' lines.
other_keys() {
    cat <<EOF
[HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\Power\\shellex\\PropertySheetHandlers\\CPL Extension Sample]
${1:+$1
}$(sz Description kept)
[HKLM\\SYSTEM\\CurrentControlSet\\Services\\QvHotkey]
[HKLM\\SYSTEM\\CurrentControlSet\\Services\\QvHotkey\\Run]
$(sz QvVolume QVVOL.EXE)${2:+
$2}
[HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\PowerCfg]
$3
[HKLM\\SYSTEM\\CurrentControlSet\\Services\\Fdc\\Parameters]
$4
EOF
}

# The footprint after a removal that went through: the product's trees
# gone, the helper's keys as given in $1 (empty when gone), and the two Run
# values as given in $2 (one of the RUN_ texts below).
removed_footprint() {
    local cleanup=$1 run=$2
    cat <<EOF
[HKLM\\SOFTWARE\\QELVORA]
${cleanup:+$cleanup
}[HKCU\\SOFTWARE\\QELVORA]
[HKCR\\CLSID\\{3F8A61C4-2E7B-11d1-9C5D-0000A4E7B210}] missing
[HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QELVORA Wattrix2] missing
$run
EOF
    other_keys "" "" "$(sz DiskSpinDownMin 3)" "$(dword MaskDmaAtWakingUp 0)"
}

# The helper's keys after a full run from number 1.
full_queue() {
    local refnum=$1
    cat <<EOF
[HKLM\\SOFTWARE\\QELVORA\\Cleanup]
$(dword RefNum "$refnum")
[HKLM\\SOFTWARE\\QELVORA\\Cleanup\\RemoveFiles]
$(sz File1 "$SYSDIR\\QWSAVER.qel")
$(sz File10 "$SYSDIR\\QWUNINST.EXE")
$(sz File2 "$SYSDIR\\QWTRAY.qel")
$(sz File3 "$SYSDIR\\QWREG.qel")
$(sz File4 "$SYSDIR\\QWADAPT.qel")
$(sz File5 "$SYSDIR\\QWTAB.qel")
$(sz File6 "$SYSDIR\\QWFNKEY.qel")
$(sz File7 "$SYSDIR\\QWDEVWATCH.qel")
$(sz File8 "$SYSDIR\\QWICON.qel")
$(sz File9 "$SYSDIR\\QWCLKICON.qel")
$(dword NextNumber 11)
EOF
}

RUN_KEY='[HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Run]'
# How the log-on's record names the helper that the uninstaller's Run
# value started: on 64-bit Windows the 32-bit one, from syswow64.
HELPER_STARTED="\"QvCleanup\" \"$SYSDIR\\QvCleanup.exe\": $PENDING_SYSDIR\\QvCleanup.exe 32-bit, exit 0"

# The log-on's record when the helper's value is the only one in the view
# of the Run key that the product writes to; $1 the lines of the 64-bit
# view's values, on 64-bit Windows.
logon_record() {
    if [ "${QW_WINEARCH:-win32}" = win64 ]; then
        printf '%s 64-bit shell\n' "$RUN_KEY"
        if [ -n "${1:-}" ]; then
            printf '%s\n' "$1"
        fi
        printf '%s runonce /Run6432\n%s\nrunonce /Run6432: exit 0\n' "$RUN_KEY" "$HELPER_STARTED"
    else
        printf '%s shell\n%s\n' "$RUN_KEY" "$HELPER_STARTED"
    fi
}

# The tray program's value gone, the helper's written.
RUN_WITH_HELPER="$RUN_KEY
\"Qwtray\" missing
$RUN_KEY
$(sz QvCleanup "$SYSDIR\\QvCleanup.exe")"
# Both values gone.
RUN_WITHOUT_HELPER="$RUN_KEY
\"Qwtray\" missing
$RUN_KEY
\"QvCleanup\" missing"
# No Run key at all.
RUN_KEY_MISSING="$RUN_KEY missing
$RUN_KEY missing"

# The product's files right after install_product.
INSTALLED_FILES='QvCleanup.exe
QWADAPT.DLL
QWCLKICON.EXE
QWDEVWATCH.EXE
QWFNKEY.EXE
QWICON.EXE
QWREG.DLL
QWSAVER.CPL
QWSAVER.FTS
QWSAVER.GID
QWSAVER.HLP
QWTAB.DLL
QWTRAY.EXE
QWUNINST.EXE'

# After a full removal: the nine files renamed, the help files gone.
RETIRED_FILES='QvCleanup.exe
QWADAPT.qel
QWCLKICON.qel
QWDEVWATCH.qel
QWFNKEY.qel
QWICON.qel
QWREG.qel
QWSAVER.qel
QWTAB.qel
QWTRAY.qel
QWUNINST.EXE'

BOX_CONFIRM="box: Are you sure you want to remove the QELVORA Wattrix2?
owner: #32770 \"$TITLE\"
buttons: OK,Cancel"
BOX_RESTART="box: Uninstall has completed successfully. Do you want to restart computer right now?
owner: $TITLE \"$TITLE\"
buttons: Yes,No"
# The box that names the log after a failure, in English.
box_error() {
    printf '%s\n' "box: Error occurred during uninstallation. \\nPlease refer detailed information in $(log_windows)." \
        "owner: $TITLE \"$TITLE\"" "buttons: OK"
}
BOX_CONFIRM_JA="box: QELVORA Wattrix2 を削除しますか？
owner: #32770 \"$TITLE\"
buttons: OK,Cancel"
BOX_RESTART_JA="box: アンインストールが完了しました。今すぐコンピュータを再起動しますか？
owner: $TITLE \"$TITLE\"
buttons: Yes,No"

# The whole machine, as the snapshots HKLM HKU dir:SYSDIR record it: one
# line per value, "[KEY] VALUE", and one per key, "[KEY]", so that a line
# means the same wherever it stands; sorted. The restart's queue of
# pending renames is left out (what was in it before a scenario is not the
# scenario's business), and so are the display driver's notes that Wine
# writes whenever a session starts its desktop.
PENDING='[HKLM\System\CurrentControlSet\Control\Session Manager] "PendingFileRenameOperations" '
WINE_VIDEO='[HKLM\System\CurrentControlSet\Control\Video\'
flatten() {
    awk '/^\[/ { key = $0; print; next }
         /^</ { key = $0; print; next }
         { print key " " $0 }' "$OUT/$1" | grep -vF -e "$PENDING" -e "$WINE_VIDEO" | LC_ALL=C sort
}

# What a removal leaves on the whole machine by design, as flatten writes
# it (unsorted): the handler key and the hot-key service's Run key with
# the values that are not the product's, the two settings at their fixed
# values, and the maker's empty key of the user. (The installer made
# them; a machine that had them before keeps them.)
left_by_design() {
    cat <<EOF2
[HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\PowerCfg] $(sz DiskSpinDownMin 3)
[HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\Power\\shellex\\PropertySheetHandlers\\CPL Extension Sample]
[HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\Power\\shellex\\PropertySheetHandlers\\CPL Extension Sample] $(sz Description kept)
[HKLM\\System\\CurrentControlSet\\Services\\Fdc\\Parameters] $(dword MaskDmaAtWakingUp 0)
[HKLM\\System\\CurrentControlSet\\Services\\QvHotkey]
[HKLM\\System\\CurrentControlSet\\Services\\QvHotkey\\Run]
[HKLM\\System\\CurrentControlSet\\Services\\QvHotkey\\Run] $(sz QvVolume QVVOL.EXE)
[HKU\\S-1-5-21-0-0-0-1000\\Software\\QELVORA]
EOF2
}

# The whole machine of snapshot $2 against that of snapshot $1: nothing
# has gone, and what is new is what a removal leaves by design and the
# lines on stdin.
expect_machine_as_before() {
    flatten "$1" >"$OUT/flat.before"
    flatten "$2" >"$OUT/flat.after"
    LC_ALL=C comm -23 "$OUT/flat.before" "$OUT/flat.after" >"$OUT/machine.gone"
    LC_ALL=C comm -13 "$OUT/flat.before" "$OUT/flat.after" >"$OUT/machine.new"
    expect_text "what went from the machine" "$OUT/machine.gone" </dev/null
    { left_by_design; cat; } | LC_ALL=C sort | expect_text "what is new on the machine" "$OUT/machine.new"
}
