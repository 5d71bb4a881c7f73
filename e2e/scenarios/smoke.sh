# The whole removal on an English system: confirmation OK, restart No.
steps() {
    install_product
    uninstall run OK,No
    snapshot after.txt
}

checks() {
    expect_removed_without_restart run
    expect_progress run en
    removed_footprint "$(full_queue 0)" "$RUN_WITH_HELPER" |
        expect_registry "the registry after the removal" after.txt
    expect_files "the product's files after the removal" after.txt <<<"$RETIRED_FILES"
    expect_log_bytes run </dev/null
}
