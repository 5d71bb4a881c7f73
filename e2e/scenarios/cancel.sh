# A domain administrator whom this machine does not know may run the
# uninstaller; a command line changes nothing; Cancel in the confirmation
# removes nothing and leaves the empty log.
steps() {
    install_product
    snapshot before.txt
    step remove "$LOG"
    run_program run Cancel -s QW_NET_PRIV=fail -s 'QW_NET_DC=\\QWDC' -s QW_NET_DC_PRIV=2 \
        -s "QW_NET_LOG=$(winpath "$OUT")\\net.log" "$UNINSTALLER" /S /quiet
    step keep "$LOG" "${P}run.LOG"
    snapshot after.txt
}

checks() {
    local user
    user=$(log_windows | cut -d'\' -f3)
    expect_boxes run <<EOF2
$BOX_CONFIRM
answer: Cancel
exit: 0
EOF2
    expect_no_stage run
    expect_text "the account queries" "$OUT/net.log" <<EOF2
NetUserGetInfo server=(local) user=$user level=1
NetGetDCName
NetUserGetInfo server=\\\\QWDC user=$user level=1
EOF2
    installed_footprint "$(printf '[HKLM\\SOFTWARE\\QELVORA\\Cleanup]\n%s' "$(dword RefNum 1)")" |
        expect_registry "the registry as installed" before.txt
    expect_text "the machine after Cancel" "$OUT/after.txt" <"$OUT/before.txt"
    expect_files "the product's files after Cancel" after.txt <<<"$INSTALLED_FILES"
    expect_log_bytes run </dev/null
}
