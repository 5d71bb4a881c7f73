# A Japanese system: the property sheet under its Japanese title refuses
# the start in Japanese; then the whole removal with the boxes and the
# status lines in Japanese leaves the machine exactly as on an English
# one. The language holds for the whole driver run, so this scenario runs
# in a group alone.
steps() {
    use_language ja
    install_product
    companion sheet "#32770" "省電力プロパティ" ignore
    uninstall sheet_open OK
    stop sheet
    uninstall run OK,No
    snapshot after.txt
}

checks() {
    expect_boxes sheet_open <<EOF2
box: 省電力設定プロパティを閉じて再実行して下さい。
owner: #32770 "省電力プロパティ"
buttons: OK
answer: OK
exit: 0
EOF2
    expect_no_log sheet_open

    expect_removed_without_restart run ja
    expect_progress run ja
    removed_footprint "$(full_queue 0)" "$RUN_WITH_HELPER" |
        expect_registry "the registry after the removal" after.txt
    expect_files "the product's files after the removal" after.txt <<<"$RETIRED_FILES"
    expect_log_bytes run </dev/null
}
