# The removal as users start it: from the list of installed programs
# (Wine's uninstaller program), which runs the entry's UninstallString,
# the bare "QWUNINST.EXE", from the search path, and so the copy in the
# system directory. The list is read before and after: the product's
# entry goes, the other programs' entries stay.
LIST='C:\windows\system32\uninstaller.exe'
NEIGHBOUR_TOOLS='QELVORA Wattrix2 Tools'
NEIGHBOUR_NOTES_KEY='{6B1E2A70-33C1-4F0B-9D2E-5A7C0E11B7D4}'
NEIGHBOUR_NOTES='Lumen Notes 3.1'

steps() {
    install_product --neighbour "$NEIGHBOUR_TOOLS=$NEIGHBOUR_TOOLS" --neighbour "$NEIGHBOUR_NOTES_KEY=$NEIGHBOUR_NOTES"
    run_program list_before none -o "${P}list_before.out" "$LIST" --list
    step remove "$LOG"
    run_program run OK,No -w QWUNINST.EXE "$LIST" --remove "QELVORA Wattrix2"
    step keep "$LOG" "${P}run.LOG"
    run_program list_after none -o "${P}list_after.out" "$LIST" --list
    snapshot after.txt 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall'
    # Wine's own netapi32.dll back in the system directory.
    step install --clean
}

# The list's lines ("KEY|||DISPLAY NAME") without Windows line ends, in
# sorted order: the list is in the registry's order of keys, which is no
# business of the removal's.
list_of() {
    tr -d '\r' <"$OUT/$1.out" | LC_ALL=C sort >"$OUT/$1.list"
}

checks() {
    expect_started_removal_without_restart run
    expect_progress run en
    expect_log_bytes run </dev/null
    registry_of after.txt | awk '/^\[HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\]$/ { exit } { print }' \
        >"$OUT/registry.product"
    expect_text "the registry after the removal" "$OUT/registry.product" \
        < <(removed_footprint "$(full_queue 0)" "$RUN_WITH_HELPER")
    expect_files "the product's files after the removal" after.txt <<<"$RETIRED_FILES"

    local tools="$NEIGHBOUR_TOOLS|||$NEIGHBOUR_TOOLS" notes="$NEIGHBOUR_NOTES_KEY|||$NEIGHBOUR_NOTES"
    list_of list_before
    LC_ALL=C sort >"$OUT/expected.list_before" <<EOF2
QELVORA Wattrix2|||QELVORA Wattrix2
$tools
$notes
EOF2
    expect_text "the list before the removal" "$OUT/list_before.list" <"$OUT/expected.list_before"
    list_of list_after
    LC_ALL=C sort >"$OUT/expected.list_after" <<EOF2
$tools
$notes
EOF2
    expect_text "the list after the removal" "$OUT/list_after.list" <"$OUT/expected.list_after"
}
