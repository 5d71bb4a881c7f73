# Many lives on one machine: the product is installed, removed (OK, then
# No) and the next log-on comes, ten times in a row, in English and
# Japanese turns. Each install goes over what the lives before left, as a
# reinstall does: the helper's queue and counters stay, and the installer
# counts the product in ("RefNum" raised by one). Another of the maker's
# products relies on the helper all along ("RefNum" 1 before the first
# install), so the helper keeps its keys between the lives and the queue
# numbering goes on from one life to the next.
#
# After each life: the queue holds nothing but "NextNumber", which has
# grown by the ten entries of the run; "RefNum" is back at the other
# product's 1; no ".qel" file is left; and the run's log holds only that
# run's lines, none, though an earlier run's line was in it before the
# first life. After the last life the whole machine is as it was before
# the first install, but for the counter and what a removal leaves by
# design. The language holds for a whole driver run, so each life is one,
# and one more, in English as the first, looks at the whole machine: Wine
# keeps the running language's settings in the registry.
LIVES=10
TURNS=$((LIVES + 1))
ENTRIES_PER_RUN=10

life_language() {
    if [ $(($1 % 2)) -eq 1 ]; then echo en; else echo ja; fi
}

steps() {
    local life=$1
    use_language "$(life_language "$life")"
    if [ "$life" -gt "$LIVES" ]; then
        step snapshot "${P}machine_after.txt" HKLM HKU "dir:$SYSDIR"
        return
    fi
    if [ "$life" -eq 1 ]; then
        install_product --clean --shared-helper
        step snapshot "${P}machine_before.txt" HKLM HKU "dir:$SYSDIR"
        printf 'C:\\windows\\system32\\QWTRAY.EXE     :an earlier run \r\n' >"$(user_temp)/QWUNLOG.LOG"
    fi
    install_product --keep-queue
    snapshot "life$life.installed.txt"
    # The log is left as the life before left it.
    run_program "life$life" OK,No "$UNINSTALLER"
    step keep "$LOG" "${P}life$life.LOG"
    snapshot "life$life.removed.txt"
    logon "life$life.logon"
    snapshot "life$life.after_logon.txt"
}

# The helper's keys in a snapshot.
cleanup_of() {
    awk '/^\[/ { inside = index($0, "[HKLM\\SOFTWARE\\QELVORA\\Cleanup") == 1 } inside { print }' "$OUT/$1"
}

# The helper's keys holding "RefNum" $1 and the queue's "NextNumber" $2
# (none when empty); further arguments are entry lines.
cleanup_keys() {
    local refnum=$1 next=$2
    shift 2
    printf '%s\n' '[HKLM\SOFTWARE\QELVORA\Cleanup]' "$(dword RefNum "$refnum")"
    [ -z "$next" ] && return
    printf '%s\n' '[HKLM\SOFTWARE\QELVORA\Cleanup\RemoveFiles]'
    if [ $# -gt 0 ]; then
        printf '%s\n' "$@" | LC_ALL=C sort
    fi
    dword NextNumber "$next"
}

# The entries of one run from number $1 on: the nine renamed files in
# the stage's order, then the uninstaller.
run_entries() {
    local n=$1 stem
    for stem in QWSAVER QWTRAY QWREG QWADAPT QWTAB QWFNKEY QWDEVWATCH QWICON QWCLKICON; do
        sz "File$n" "$SYSDIR\\$stem.qel"
        n=$((n + 1))
    done
    sz "File$n" "$SYSDIR\\QWUNINST.EXE"
}

life_checks() {
    local life=$1 lang first next previous="" entries
    lang=$(life_language "$life")
    first=$((ENTRIES_PER_RUN * (life - 1) + 1))
    next=$((first + ENTRIES_PER_RUN))
    # "NextNumber" as the life before left it; none before the first.
    if [ "$life" -gt 1 ]; then
        previous=$first
    fi

    cleanup_of "life$life.installed.txt" >"$OUT/cleanup.life$life.installed"
    cleanup_keys 2 "$previous" | expect_text "life $life: the helper's keys after the install" \
        "$OUT/cleanup.life$life.installed"

    expect_removed_without_restart "life$life" "$lang"
    expect_progress "life$life" "$lang"
    expect_log_bytes "life$life" </dev/null
    mapfile -t entries < <(run_entries "$first")
    removed_footprint "$(cleanup_keys 1 "$next" "${entries[@]}")" "$RUN_WITH_HELPER" |
        expect_registry "life $life: the registry after the removal" "life$life.removed.txt"
    expect_files "life $life: the product's files after the removal" "life$life.removed.txt" <<<"$RETIRED_FILES"

    expect_boxes "life$life.logon" <<<"exit: 0"
    logon_record | expect_text "life $life: what the log-on started" "$OUT/life$life.logon.out"
    removed_footprint "$(cleanup_keys 1 "$next")" "$RUN_WITH_HELPER" |
        expect_registry "life $life: the registry after the log-on" "life$life.after_logon.txt"
    expect_files "life $life: the product's files after the log-on" "life$life.after_logon.txt" <<<"QvCleanup.exe"
}

checks() {
    local life
    for ((life = 1; life <= LIVES; life++)); do
        life_checks "$life"
    done
    expect_machine_as_before machine_before.txt machine_after.txt <<EOF2
[HKLM\\Software\\QELVORA\\Cleanup\\RemoveFiles]
[HKLM\\Software\\QELVORA\\Cleanup\\RemoveFiles] $(dword NextNumber $((ENTRIES_PER_RUN * LIVES + 1)))
EOF2
}
