# The start-up refusals, each before anything on the machine is written:
# the open property sheet (checked first, so even a non-administrator gets
# only its message, in a box the sheet owns), and the non-administrator
# on a machine outside any domain (the sheet under its Japanese title is
# not the one an English system looks for).
steps() {
    local records
    records=$(winpath "$OUT")
    install_product
    snapshot before.txt

    companion sheet "#32770" "Power Save Properties" ignore
    uninstall sheet_open OK -s QW_NET_PRIV=1 -s "QW_NET_LOG=$records\\net.sheet_open.log"
    stop sheet

    companion sheet_ja "#32770" "省電力プロパティ" ignore
    uninstall not_admin OK -s QW_NET_PRIV=1 -s "QW_NET_LOG=$records\\net.not_admin.log"
    stop sheet_ja
    snapshot after.txt
}

checks() {
    local user
    user=$(log_windows | cut -d'\' -f3)

    expect_boxes sheet_open <<EOF2
box: Close Power Save Propeties then try again.
owner: #32770 "Power Save Properties"
buttons: OK
answer: OK
exit: 0
EOF2
    expect_no_stage sheet_open
    expect_text "the property sheet's record" "$OUT/sheet.log" <<EOF2
ready
disabled
enabled
EOF2
    [ ! -e "$OUT/net.sheet_open.log" ] || fail "sheet_open: the account was queried before the sheet check"
    expect_no_log sheet_open

    expect_boxes not_admin <<EOF2
box: In order to uninstall QELVORA Wattrix2, you must have administrative privileges. Please log off and log back on as an administrator.\\n
owner: none
buttons: OK
answer: OK
exit: 0
EOF2
    expect_no_stage not_admin
    expect_text "the Japanese sheet's record" "$OUT/sheet_ja.log" <<<"ready"
    expect_text "the account queries of not_admin" "$OUT/net.not_admin.log" <<EOF2
NetUserGetInfo server=(local) user=$user level=1
NetGetDCName
NetUserGetInfo server=(local) user=$user level=1
EOF2
    expect_no_log not_admin

    expect_text "the machine after the refusals" "$OUT/after.txt" <"$OUT/before.txt"
}
