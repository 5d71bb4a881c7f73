# The queue numbering goes on from a stored "NextNumber" without gaps for
# absent files, beside entries that another product left; "RefNum" is
# lowered by one. Then the cleanup helper at the next log-on: it deletes
# the queued files and drops their entries, keeps the entry of a file
# that is still in use and the value it does not know, and, as another
# product still counts on it, keeps its own Run value, keys and file.
steps() {
    printf 'other product\r\n' >"$CDRIVE/qwtest/other.qel"
    printf 'other product\r\n' >"$CDRIVE/qwtest/busy.qel"
    printf 'other product\r\n' >"$CDRIVE/qwtest/keep.qel"
    install_product --next-number 5 --refnum 3 \
        --skip-file QWSAVER.CPL --skip-file QWREG.DLL --skip-file QWADAPT.DLL --skip-file QWTAB.DLL \
        --skip-file QWFNKEY.EXE --skip-file QWDEVWATCH.EXE --skip-file QWCLKICON.EXE \
        --queue-entry 'File2=C:\qwtest\other.qel' --queue-entry 'File3=C:\qwtest\busy.qel' \
        --queue-entry 'Keep=C:\qwtest\keep.qel'
    uninstall run OK,No
    snapshot after_run.txt
    hold busy 'C:\qwtest\busy.qel'
    run_program helper none "$SYSDIR\\QvCleanup.exe"
    stop busy
    snapshot after_helper.txt 'dir:C:\qwtest'
}

checks() {
    expect_removed_without_restart run
    removed_footprint "$(cat <<EOF2
[HKLM\\SOFTWARE\\QELVORA\\Cleanup]
$(dword RefNum 2)
[HKLM\\SOFTWARE\\QELVORA\\Cleanup\\RemoveFiles]
$(sz File2 'C:\qwtest\other.qel')
$(sz File3 'C:\qwtest\busy.qel')
$(sz File5 "$SYSDIR\\QWTRAY.qel")
$(sz File6 "$SYSDIR\\QWICON.qel")
$(sz File7 "$SYSDIR\\QWUNINST.EXE")
$(sz Keep 'C:\qwtest\keep.qel')
$(dword NextNumber 8)
EOF2
)" "$RUN_WITH_HELPER" | expect_registry "the registry after the removal" after_run.txt
    expect_files "the product's files after the removal" after_run.txt <<EOF2
QvCleanup.exe
QWICON.qel
QWTRAY.qel
QWUNINST.EXE
EOF2
    expect_log_bytes run </dev/null

    expect_boxes helper <<<"exit: 0"
    removed_footprint "$(cat <<EOF2
[HKLM\\SOFTWARE\\QELVORA\\Cleanup]
$(dword RefNum 2)
[HKLM\\SOFTWARE\\QELVORA\\Cleanup\\RemoveFiles]
$(sz File3 'C:\qwtest\busy.qel')
$(sz Keep 'C:\qwtest\keep.qel')
$(dword NextNumber 8)
EOF2
)" "$RUN_WITH_HELPER" | expect_registry "the registry after the helper" after_helper.txt
    expect_files "the product's files after the helper" after_helper.txt <<<"QvCleanup.exe"
    awk '/^</ { inside = ($0 == "<C:\\qwtest>"); next } inside && /\.qel / { print $1 }' \
        "$OUT/after_helper.txt" >"$OUT/qwtest.after_helper"
    expect_text "the other product's files after the helper" "$OUT/qwtest.after_helper" <<EOF2
busy.qel
keep.qel
EOF2
}
