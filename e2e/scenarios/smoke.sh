# The whole removal on an English system: confirmation OK, restart No.
steps() {
    install_product
    uninstall run OK,No
    snapshot after.txt
}

checks() {
    expect_boxes run <<EOF2
$BOX_CONFIRM
answer: OK
$BOX_RESTART
answer: No
exit: 0
EOF2
    expect_progress run en
    removed_footprint "$(full_queue 0)" "$RUN_WITH_HELPER" |
        expect_registry "the registry after the removal" after.txt
    expect_files "the product's files after the removal" after.txt <<<"$RETIRED_FILES"
    expect_log_bytes run </dev/null
}
