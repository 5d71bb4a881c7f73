# The machine has no Run key: the helper cannot be registered, which is
# logged, and the completion names the log instead of offering a restart.
# The key is not created.
steps() {
    install_product --no-run-key
    uninstall run OK,OK
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
    printf '%s     :%s \r\n' "$SYSDIR\\QvCleanup.exe" "Uninstaller could not modify the registry value." |
        expect_log_bytes run
    removed_footprint "$(full_queue 0)" "$RUN_KEY_MISSING" |
        expect_registry "the registry after the removal" after.txt
    expect_files "the product's files after the removal" after.txt <<<"$RETIRED_FILES"
}
