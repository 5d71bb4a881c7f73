# Files that cannot be touched: a help file and a program file held open
# by another program, and an older ".qel" file in the way of a rename,
# held too; another older ".qel" file that can go is replaced. Each
# failure is logged, the rest of the removal goes on, and the completion
# names the log instead of registering the helper.
steps() {
    install_product --stale-qel QWTRAY --stale-qel QWICON
    hold gid "$SYSDIR\\QWSAVER.GID"
    hold reg "$SYSDIR\\QWREG.DLL"
    hold iconqel "$SYSDIR\\QWICON.qel"
    uninstall run OK,OK
    stop gid
    stop reg
    stop iconqel
    snapshot after.txt
}

checks() {
    expect_boxes run <<EOF2
$BOX_CONFIRM
answer: OK
$(box_error)
answer: OK
exit: 0
EOF2
    expect_progress run en
    printf '%s     :%s \r\n' \
        "$SYSDIR\\QWREG.DLL" "Uninstaller could not delete the file." \
        "$SYSDIR\\QWICON.EXE" "Uninstaller could not delete the file." \
        "$SYSDIR\\QWSAVER.GID" "Uninstaller could not delete the file." |
        expect_log_bytes run

    removed_footprint "$(cat <<EOF2
[HKLM\\SOFTWARE\\QELVORA\\Cleanup]
$(dword RefNum 0)
[HKLM\\SOFTWARE\\QELVORA\\Cleanup\\RemoveFiles]
$(sz File1 "$SYSDIR\\QWSAVER.qel")
$(sz File2 "$SYSDIR\\QWTRAY.qel")
$(sz File3 "$SYSDIR\\QWADAPT.qel")
$(sz File4 "$SYSDIR\\QWTAB.qel")
$(sz File5 "$SYSDIR\\QWFNKEY.qel")
$(sz File6 "$SYSDIR\\QWDEVWATCH.qel")
$(sz File7 "$SYSDIR\\QWCLKICON.qel")
$(sz File8 "$SYSDIR\\QWUNINST.EXE")
$(dword NextNumber 9)
EOF2
)" "$RUN_WITHOUT_HELPER" | expect_registry "the registry after the removal" after.txt
    expect_files "the product's files after the removal" after.txt <<EOF2
QvCleanup.exe
QWADAPT.qel
QWCLKICON.qel
QWDEVWATCH.qel
QWFNKEY.qel
QWICON.EXE
QWICON.qel
QWREG.DLL
QWSAVER.GID
QWSAVER.qel
QWTAB.qel
QWTRAY.qel
QWUNINST.EXE
EOF2
    # The renamed tray program took the place of the older file (29 bytes
    # against 30); the held older file and the program it blocked are as
    # they were.
    grep -qxF 'QWTRAY.qel 29' "$OUT/after.txt" || fail "QWTRAY.qel is not the renamed program file"
    grep -qxF 'QWICON.qel 30' "$OUT/after.txt" || fail "the held QWICON.qel changed"
    grep -qxF 'QWICON.EXE 29' "$OUT/after.txt" || fail "QWICON.EXE changed"
}
