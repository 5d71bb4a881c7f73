# Cancel in the confirmation: nothing is removed, the empty log remains.
scenario() {
    install_product
    snapshot before.txt
    uninstall run Cancel
    snapshot after.txt
    drive

    expect_boxes run <<EOF2
$BOX_CONFIRM
answer: Cancel
exit: 0
EOF2
    expect_no_stage run
    installed_footprint "$(printf '[HKLM\\SOFTWARE\\QELVORA\\Cleanup]\n%s' "$(dword RefNum 1)")" |
        expect_registry "the registry as installed" before.txt
    expect_text "the machine after Cancel" "$OUT/after.txt" <"$OUT/before.txt"
    expect_files "the product's files after Cancel" after.txt <<<"$INSTALLED_FILES"
    expect_log_bytes run ""
}
