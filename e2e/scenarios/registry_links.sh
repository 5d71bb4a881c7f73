# Registry links in the user's hive, which any program of the user can
# make: one inside the user's product tree, and the tree's key itself,
# each pointing at a tree of the machine. Windows refuses to follow a link
# from a user's hive into the machine's; Wine follows it, so under Wine
# the removal really could reach the machine's tree. It must delete the
# links as links: the machine's trees stay whole, the user's tree is gone,
# and nothing is logged.
#
# Controls, before each removal: a snapshot through the link shows the
# machine tree's subkey.

TARGET='HKLM\SOFTWARE\QwLinkTarget'
USER_TREE='HKCU\SOFTWARE\QELVORA\Power Management'

steps() {
    install_product
    step reglink 'SOFTWARE\QELVORA\Power Management\Linked' 'SOFTWARE\QwLinkTarget\Inside'
    step snapshot "${P}inside_before.txt" "$TARGET" "$USER_TREE"
    uninstall inside OK,No
    step snapshot "${P}inside_after.txt" "$TARGET" "$USER_TREE"
    install_product
    step reglink 'SOFTWARE\QELVORA\Power Management' 'SOFTWARE\QwLinkTarget\Tree'
    step snapshot "${P}tree_before.txt" "$TARGET" "$USER_TREE"
    uninstall tree OK,No
    step snapshot "${P}tree_after.txt" "$TARGET" "$USER_TREE"
}

# The snapshot's part for the machine's tree.
target_part() {
    awk -v tree="[$TARGET" 'index($0, tree) == 1 { on = 1; print; next } /^\[/ { on = 0 } on' "$OUT/$1"
}

checks() {
    grep -qxF "[$USER_TREE\\Linked\\Deep]" "$OUT/inside_before.txt" ||
        fail "inside: the control did not reach the machine's tree through the link"
    grep -qxF "[$USER_TREE\\Deep]" "$OUT/tree_before.txt" ||
        fail "tree: the control did not reach the machine's tree through the link"
    for name in inside tree; do
        expect_removed_without_restart "$name"
        expect_log_bytes "$name" </dev/null
        target_part "${name}_before.txt" >"$OUT/target.${name}_before.txt"
        target_part "${name}_after.txt" >"$OUT/target.${name}_after.txt"
        expect_text "$name: the machine's tree after the removal" "$OUT/target.${name}_after.txt" \
            <"$OUT/target.${name}_before.txt"
        grep -qxF "[$USER_TREE] missing" "$OUT/${name}_after.txt" || fail "$name: the user's tree is still there"
    done
    return 0
}
