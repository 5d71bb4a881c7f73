# The complete removal: after a successful run, the next log-on and a
# restart, nothing of the product is left in the whole registry and the
# system directory but what is declared below. The log-on starts the
# cleanup helper because of the Run value that the uninstaller wrote. The
# helper, the last user of its queue, takes itself off too: its own file
# is scheduled for deletion and goes at the restart (Wine's wineboot -r
# does what Windows does then).
steps() {
    install_product --clean
    step snapshot "${P}machine_before.txt" HKLM HKU "dir:$SYSDIR"
    install_product
    uninstall run OK,No
    logon logon
    step snapshot "${P}machine_after_logon.txt" HKLM HKU "dir:$SYSDIR"
    run_program restart none "$SYSDIR\\wineboot.exe" -r
    step snapshot "${P}machine_after_restart.txt" HKLM HKU "dir:$SYSDIR"
}

checks() {
    expect_removed_without_restart run
    expect_log_bytes run </dev/null
    expect_boxes logon <<<"exit: 0"
    logon_record | expect_text "what the log-on started" "$OUT/logon.out"
    expect_boxes restart <<<"exit: 0"

    # The helper scheduled its own file, and only that, for the restart.
    local pending
    pending=$(awk '/^\[/ { key = $0; next } { print key " " $0 }' "$OUT/machine_after_logon.txt" | grep -F "$PENDING")
    case $pending in
    *" \"\\??\\$PENDING_SYSDIR\\QvCleanup.exe\" \"\" \"\"") ;;
    *) fail "the helper's file is not scheduled for deletion at the restart: ${pending:-no pending renames}" ;;
    esac
    grep -q '^QvCleanup.exe ' "$OUT/machine_after_logon.txt" || fail "the helper's file went before the restart"
    if grep -qF '"PendingFileRenameOperations"' "$OUT/machine_after_restart.txt"; then
        fail "renames are still pending after the restart"
    fi

    expect_machine_as_before machine_before.txt machine_after_restart.txt </dev/null
}
