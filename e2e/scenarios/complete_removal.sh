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

PENDING='[HKLM\System\CurrentControlSet\Control\Session Manager] "PendingFileRenameOperations" '
# Wine notes its display driver here whenever a session starts its desktop,
# as the restart does; that is Wine's, not the product's.
WINE_VIDEO='[HKLM\System\CurrentControlSet\Control\Video\'

# One line per value, "[KEY] VALUE", and one per key, "[KEY]", so that a
# line means the same wherever it stands; sorted. The restart's queue of
# pending renames is left out: what was in it before the scenario is not
# the scenario's business, and the helper's entry is checked on its own.
flatten() {
    awk '/^\[/ { key = $0; print; next }
         /^</ { key = $0; print; next }
         { print key " " $0 }' "$OUT/$1" | grep -vF -e "$PENDING" -e "$WINE_VIDEO" | LC_ALL=C sort
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

    flatten machine_before.txt >"$OUT/flat.before"
    flatten machine_after_restart.txt >"$OUT/flat.after"
    LC_ALL=C comm -23 "$OUT/flat.before" "$OUT/flat.after" >"$OUT/machine.gone"
    LC_ALL=C comm -13 "$OUT/flat.before" "$OUT/flat.after" >"$OUT/machine.new"
    expect_text "what went from the machine" "$OUT/machine.gone" </dev/null
    # Left by design: the handler key and the hot-key service's Run key with
    # the values that are not the product's, the two settings at their
    # fixed values, and the maker's empty key of the user. (The installer
    # made them; a machine that had them before keeps them.)
    # Not a pipeline: a failure counted in a subshell would be lost.
    LC_ALL=C sort >"$OUT/declared.new" <<EOF2
[HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\PowerCfg] $(sz DiskSpinDownMin 3)
[HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\Power\\shellex\\PropertySheetHandlers\\CPL Extension Sample]
[HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\Power\\shellex\\PropertySheetHandlers\\CPL Extension Sample] $(sz Description kept)
[HKLM\\System\\CurrentControlSet\\Services\\Fdc\\Parameters] $(dword MaskDmaAtWakingUp 0)
[HKLM\\System\\CurrentControlSet\\Services\\QvHotkey]
[HKLM\\System\\CurrentControlSet\\Services\\QvHotkey\\Run]
[HKLM\\System\\CurrentControlSet\\Services\\QvHotkey\\Run] $(sz QvVolume QVVOL.EXE)
[HKU\\S-1-5-21-0-0-0-1000\\Software\\QELVORA]
EOF2
    expect_text "what is new on the machine" "$OUT/machine.new" <"$OUT/declared.new"
}
