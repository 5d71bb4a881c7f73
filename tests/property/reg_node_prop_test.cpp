// Co_DeleteRegNode on generated trees, against a model of the walk: each
// key of the tree is opened from the root by its full path, its subkeys
// are walked one by one, and it is deleted once none is left. A key that
// cannot be opened is still offered for deletion; a key that will not go
// stays with every key above it; a subkey whose path would pass 259
// characters stays untouched; an enumeration error ends the walk of that
// key. Any of these makes the result 0.
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>
#include <windows.h>

#include "common/common.h"
#include "prop_support.h"
#include "support/machine.h"
#include "winsim.h"

namespace {

const char kParent[] = "SOFTWARE\\QwProp";
// NtDeleteKey reports an NTSTATUS.
const DWORD kStatusAccessDenied = 0xC0000022;

// How often a fault strikes a call: not at all, on the first call only,
// or on every call.
enum Strike { NEVER, ONCE, ALWAYS };

struct TreeValue {
    std::string name;
    DWORD type;
    std::string data;
};

struct Tree {
    std::string name;
    std::vector<TreeValue> values;
    std::vector<Tree> children;
    Strike openFault = NEVER;
    Strike enumFault = NEVER;
    Strike deleteFault = NEVER;
};

struct Machine {
    bool japanese = false;
    bool faults = false;
    Tree given;
    bool givenExists = true;
    std::vector<Tree> siblings;  // of the given key, under the same parent
};

void ShowTree(const Tree &tree, const std::string &indent, std::ostream &os)
{
    os << indent << "\"" << tree.name << "\" (" << tree.name.size() << " bytes) open " << tree.openFault << " enum "
       << tree.enumFault << " delete " << tree.deleteFault << "\n";
    for (const Tree &child : tree.children)
        ShowTree(child, indent + "  ", os);
}

void showValue(const Machine &m, std::ostream &os)
{
    os << (m.japanese ? "Japanese" : "English") << (m.givenExists ? "" : ", given key missing") << "\n";
    ShowTree(m.given, "", os);
    for (const Tree &sibling : m.siblings)
        os << "sibling \"" << sibling.name << "\"\n";
}

// Names unique among siblings as the registry sees them.
std::vector<std::string> DistinctNames(const std::vector<std::string> &names)
{
    std::vector<std::string> kept;
    std::set<std::string> seen;
    for (const std::string &name : names)
        if (seen.insert(prop::FoldedName(name)).second)
            kept.push_back(name);
    return kept;
}

// Mostly short names, now and then one of up to 255 characters, so that
// some paths pass the walk's 259 characters and most do not.
rc::Gen<std::string> KeyName(bool japanese)
{
    return rc::gen::weightedOneOf<std::string>(
        {{12, prop::Name(japanese, 1, 8)}, {2, prop::Name(japanese, 60, 140)}, {1, prop::Name(japanese, 200, 255)}});
}

rc::Gen<Strike> FaultStrike(bool faults)
{
    if (!faults)
        return rc::gen::just(NEVER);
    return rc::gen::weightedOneOf<Strike>(
        {{16, rc::gen::just(NEVER)}, {1, rc::gen::just(ONCE)}, {1, rc::gen::just(ALWAYS)}});
}

std::vector<TreeValue> Values()
{
    std::vector<TreeValue> values;
    int count = *rc::gen::inRange(0, 3);
    for (int i = 0; i < count; i++) {
        int size = *rc::gen::weightedOneOf<int>({{12, rc::gen::inRange(0, 40)}, {1, prop::DataSize()}});
        values.push_back({"v" + std::to_string(i), *prop::ValueType(), *prop::Data(size)});
    }
    return values;
}

Tree MakeTree(const std::string &name, bool japanese, bool faults, int depthLeft)
{
    Tree tree;
    tree.name = name;
    tree.values = Values();
    tree.openFault = *FaultStrike(faults);
    tree.enumFault = *FaultStrike(faults);
    tree.deleteFault = *FaultStrike(faults);
    if (depthLeft > 0) {
        int count = *rc::gen::weightedOneOf<int>({{3, rc::gen::inRange(0, 2)}, {2, rc::gen::inRange(2, 5)}});
        std::vector<std::string> names;
        for (int i = 0; i < count; i++)
            names.push_back(*KeyName(japanese));
        for (const std::string &child : DistinctNames(names))
            tree.children.push_back(MakeTree(child, japanese, faults, depthLeft - 1));
    }
    return tree;
}

// Deep narrow chains reach the path limit with short names too.
int Depth()
{
    return *rc::gen::weightedOneOf<int>({{4, rc::gen::inRange(0, 4)}, {1, rc::gen::inRange(20, 90)}});
}

Tree MakeChainOrTree(const std::string &name, bool japanese, bool faults)
{
    int depth = Depth();
    if (depth < 20)
        return MakeTree(name, japanese, faults, depth);
    Tree top;
    top.name = name;
    Tree *at = &top;
    for (int i = 0; i < depth; i++) {
        Tree child;
        child.name = *prop::Name(japanese, 1, 3);
        child.openFault = *FaultStrike(faults);
        child.deleteFault = *FaultStrike(faults);
        at->children.push_back(child);
        at = &at->children.back();
    }
    return top;
}

rc::Gen<Machine> GenMachine()
{
    return rc::gen::exec([] {
        Machine m;
        m.japanese = *rc::gen::weightedOneOf<bool>({{2, rc::gen::just(false)}, {1, rc::gen::just(true)}});
        m.faults = *rc::gen::arbitrary<bool>();
        std::string given = *KeyName(m.japanese);
        m.given = MakeChainOrTree(given, m.japanese, m.faults);
        m.givenExists = *rc::gen::weightedOneOf<bool>({{12, rc::gen::just(true)}, {1, rc::gen::just(false)}});
        // Siblings before and after it in the enumeration, and names that
        // begin with the given key's name, which a walk that cut its path
        // in the wrong place would reach.
        std::vector<std::string> names = {given + "x", given + " " + given, "0" + given, "~"};
        int count = *rc::gen::inRange(0, 3);
        for (int i = 0; i < count; i++)
            names.push_back(*KeyName(m.japanese));
        std::set<std::string> taken = {prop::FoldedName(given)};
        for (const std::string &name : DistinctNames(names))
            if (name.size() <= 255 && taken.insert(prop::FoldedName(name)).second)
                m.siblings.push_back(MakeTree(name, m.japanese, false, 1));
        return m;
    });
}

std::string Full(const std::string &path)
{
    return "HKLM\\" + path;
}

void FailCall(const char *call, const std::string &target, Strike strike, DWORD error)
{
    if (strike != NEVER)
        wsim::Fail(call, target.c_str(), error, strike == ONCE ? 1 : -1);
}

void Install(const Tree &tree, const std::string &path)
{
    std::string full = Full(path);
    wsim::CreateKey(full.c_str());
    for (const TreeValue &value : tree.values)
        wsim::PutValue(full.c_str(), value.name.c_str(), value.type, value.data.data(), (DWORD)value.data.size());
    for (const Tree &child : tree.children)
        Install(child, path + "\\" + child.name);
}

void InstallFaults(const Tree &tree, const std::string &path)
{
    std::string full = Full(path);
    FailCall("RegOpenKeyExA", full, tree.openFault, ERROR_ACCESS_DENIED);
    FailCall("RegEnumKeyExA", full, tree.enumFault, ERROR_KEY_DELETED);
    FailCall("NtDeleteKey", full, tree.deleteFault, kStatusAccessDenied);
    for (const Tree &child : tree.children)
        InstallFaults(child, path + "\\" + child.name);
}

// What the model of the walk expects of one call.
struct Expected {
    int result = 1;
    std::set<std::string> gone;  // full paths in upper case
    int opens = 0;
    int deletions = 0;
};

void MarkGone(const Tree &tree, const std::string &path, Expected *e)
{
    e->gone.insert(prop::FoldedName(Full(path)));
    for (const Tree &child : tree.children)
        MarkGone(child, path + "\\" + child.name, e);
}

// Walks one key as the model says; returns whether it is gone afterwards.
// Every fault strikes the first call on its key. The walk opens and deletes
// each key once and stops enumerating a key at its first error; a key it
// could not open is opened once more, for its deletion alone, which a ONCE
// fault lets through. Otherwise ONCE and ALWAYS act alike here; a walk that
// came back to a key would get past a ONCE fault and show in the counts.
bool Walk(const Tree &tree, const std::string &path, Expected *e)
{
    e->opens++;
    bool subkeysLeft = false;
    if (tree.openFault != NEVER)
        e->opens++;
    if (tree.openFault == ALWAYS) {
        e->result = 0;
        return false;
    }
    if (tree.openFault != NEVER) {
        subkeysLeft = !tree.children.empty();
    } else if (tree.enumFault != NEVER) {
        e->result = 0;
        subkeysLeft = !tree.children.empty();
    } else {
        for (const Tree &child : tree.children) {
            std::string childPath = path + "\\" + child.name;
            // Of the two limits, 256 levels and 259 characters, the path
            // binds first: every level adds at least two characters.
            if (childPath.size() >= MAX_PATH) {
                e->result = 0;
                subkeysLeft = true;
                continue;
            }
            if (!Walk(child, childPath, e))
                subkeysLeft = true;
        }
    }
    e->deletions++;
    bool deleted = !subkeysLeft && tree.deleteFault == NEVER;
    if (!deleted)
        e->result = 0;
    else
        e->gone.insert(prop::FoldedName(Full(path)));
    return deleted;
}

Expected Model(const Machine &m, const std::string &givenPath)
{
    Expected e;
    if (givenPath.size() >= MAX_PATH) {
        e.result = 0;
        return e;
    }
    if (!m.givenExists) {
        // Its opening fails, and so does the one for its deletion alone.
        e.opens = 2;
        return e;
    }
    Walk(m.given, givenPath, &e);
    return e;
}

prop::RegistryImage Without(const prop::RegistryImage &before, const std::set<std::string> &gone)
{
    prop::RegistryImage after;
    for (const auto &entry : before)
        if (!gone.count(entry.first))
            after.insert(entry);
    return after;
}

RC_GTEST_PROP(RegNodeProp, RemovesWhatTheWalkCanReachAndNothingElse, ())
{
    Machine m = *GenMachine();
    ResetTestMachine(m.japanese);
    std::string givenPath = std::string(kParent) + "\\" + m.given.name;
    for (const Tree &sibling : m.siblings)
        Install(sibling, std::string(kParent) + "\\" + sibling.name);
    if (m.givenExists) {
        Install(m.given, givenPath);
        InstallFaults(m.given, givenPath);
    }
    prop::RegistryImage before = prop::ImageOf("HKLM");
    Expected expected = Model(m, givenPath);

    int result = Co_DeleteRegNode(HKEY_LOCAL_MACHINE, givenPath.c_str());

    RC_ASSERT(result == expected.result);
    RC_ASSERT(prop::Difference(prop::ImageOf("HKLM"), Without(before, expected.gone)) == "");
    RC_ASSERT(wsim::CallCount("RegOpenKeyExA") == expected.opens);
    RC_ASSERT(wsim::CallCount("NtDeleteKey") == expected.deletions);
    RC_ASSERT(wsim::OpenKeyHandles() == 0);
    RC_ASSERT(wsim::LiveAllocations() == 0);
    // A result of 1 always means the whole tree is gone.
    RC_ASSERT(result == 0 || !wsim::KeyExists(Full(givenPath).c_str()));
}

// Found by the property above: 130 double-byte characters take 260 bytes,
// more than the walk's name buffer holds, and the enumeration reports
// ERROR_MORE_DATA for that subkey alone.
TEST(RegNodeExample, SubkeyWhoseNameDoesNotFitTheBufferLeavesItsSiblingsToTheWalk)
{
    ResetTestMachine(true);
    std::string wide;
    for (int i = 0; i < 130; i++)
        wide += prop::kDoubleByteChars[0];
    std::string given = std::string(kParent) + "\\Given";
    wsim::CreateKey(Full(given + "\\A" + wide).c_str());
    wsim::CreateKey(Full(given + "\\B").c_str());
    wsim::CreateKey(Full(given + "\\C\\D").c_str());

    EXPECT_EQ(0, Co_DeleteRegNode(HKEY_LOCAL_MACHINE, given.c_str()));
    EXPECT_EQ(std::vector<std::string>{"A" + wide}, wsim::SubkeyNames(Full(given).c_str()));
    EXPECT_EQ(0, wsim::OpenKeyHandles());
    EXPECT_EQ(0, wsim::LiveAllocations());
}

}  // namespace
