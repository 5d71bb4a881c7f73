# The whole removal on a Japanese system: the boxes and the status lines
# in Japanese, the machine left exactly as on an English one. The language
# holds for the whole driver run, so this scenario runs in a group alone.
steps() {
    export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
    install_product
    uninstall run OK,No
    snapshot after.txt
}

checks() {
    expect_boxes run <<EOF2
box: QELVORA Wattrix2 を削除しますか？
owner: #32770 "$TITLE"
buttons: OK,Cancel
answer: OK
box: アンインストールが完了しました。今すぐコンピュータを再起動しますか？
owner: $TITLE "$TITLE"
buttons: Yes,No
answer: No
exit: 0
EOF2
    expect_progress run ja
    removed_footprint "$(full_queue 0)" "$RUN_WITH_HELPER" |
        expect_registry "the registry after the removal" after.txt
    expect_files "the product's files after the removal" after.txt <<<"$RETIRED_FILES"
    expect_log_bytes run </dev/null
}
