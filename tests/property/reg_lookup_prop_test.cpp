// The two lookups on generated value sets: a value is found when a value
// of exactly that name, letter case included, comes up in the walk before
// any enumeration error; the number is its first four data bytes, the text
// its data up to the first NUL and at most 259 bytes. The caller's buffer
// is written no further than the text's NUL, and not at all when nothing
// is found.
#include <string.h>

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

const char kKey[] = "SOFTWARE\\QwLookup";
const char kFullKey[] = "HKLM\\SOFTWARE\\QwLookup";
const unsigned char kMarker = 0xA5;
// The caller's 260 bytes and a guard after them.
const size_t kGuard = 32;

struct StoredValue {
    std::string name;
    DWORD type;
    std::string data;
};

enum FaultKind { NO_FAULT, OPEN_FAULT, KEY_ENUM_FAULT, INDEX_ENUM_FAULT };

struct Lookup {
    bool japanese = false;
    std::vector<StoredValue> values;  // in creation order
    std::string wanted;
    FaultKind fault = NO_FAULT;
    int faultIndex = 0;
    int faultTimes = -1;
    DWORD faultError = ERROR_KEY_DELETED;
};

// Value names of up to 259 characters, the default value's empty name
// among them now and then.
rc::Gen<std::string> ValueName(bool japanese)
{
    return rc::gen::weightedOneOf<std::string>({{10, prop::Name(japanese, 1, 10)},
                                                {1, prop::Name(japanese, 100, 129)},
                                                {2, rc::gen::just(std::string())}});
}

void showValue(const Lookup &l, std::ostream &os)
{
    os << (l.japanese ? "Japanese" : "English") << ", wanted \"" << l.wanted << "\", fault " << l.fault << " at index "
       << l.faultIndex << " times " << l.faultTimes << " error " << l.faultError << ", values:";
    for (const StoredValue &value : l.values)
        os << " \"" << value.name << "\" type " << value.type << " size " << value.data.size() << ";";
}

rc::Gen<Lookup> GenLookup()
{
    return rc::gen::exec([] {
        Lookup l;
        l.japanese = *rc::gen::weightedOneOf<bool>({{2, rc::gen::just(false)}, {1, rc::gen::just(true)}});
        int count = *rc::gen::inRange(0, 8);
        std::set<std::string> taken;
        for (int i = 0; i < count; i++) {
            std::string name = *ValueName(l.japanese);
            if (!taken.insert(prop::FoldedName(name)).second)
                continue;
            l.values.push_back({name, *prop::ValueType(), *prop::Data(*prop::DataSize())});
        }
        // A stored name, the same name in the other case, or another name.
        std::vector<std::string> choices = {*ValueName(l.japanese), ""};
        for (const StoredValue &value : l.values) {
            choices.push_back(value.name);
            choices.push_back(value.name);
            choices.push_back(prop::SwapCase(value.name));
        }
        l.wanted = *rc::gen::elementOf(choices);
        l.fault = *rc::gen::weightedOneOf<FaultKind>({{6, rc::gen::just(NO_FAULT)},
                                                      {1, rc::gen::just(OPEN_FAULT)},
                                                      {1, rc::gen::just(KEY_ENUM_FAULT)},
                                                      {2, rc::gen::just(INDEX_ENUM_FAULT)}});
        l.faultIndex = *rc::gen::inRange(0, 9);
        l.faultTimes = *rc::gen::element(1, -1);
        l.faultError = *rc::gen::element<DWORD>(ERROR_KEY_DELETED, ERROR_ACCESS_DENIED, ERROR_INVALID_HANDLE,
                                                ERROR_NO_MORE_ITEMS);
        return l;
    });
}

void Install(const Lookup &l)
{
    ResetTestMachine(l.japanese);
    wsim::CreateKey(kFullKey);
    for (const StoredValue &value : l.values)
        wsim::PutValue(kFullKey, value.name.c_str(), value.type, value.data.data(), (DWORD)value.data.size());
    std::string indexTarget = std::string(kFullKey) + "#" + std::to_string(l.faultIndex);
    switch (l.fault) {
    case NO_FAULT:
        break;
    case OPEN_FAULT:
        wsim::Fail("RegOpenKeyExA", kFullKey, ERROR_ACCESS_DENIED, l.faultTimes);
        break;
    case KEY_ENUM_FAULT:
        wsim::Fail("RegEnumValueA", kFullKey, l.faultError, l.faultTimes);
        break;
    case INDEX_ENUM_FAULT:
        wsim::Fail("RegEnumValueA", indexTarget.c_str(), l.faultError, l.faultTimes);
        break;
    }
}

// The model: the value the walk finds, or null.
const StoredValue *Found(const Lookup &l)
{
    if (l.fault == OPEN_FAULT || l.fault == KEY_ENUM_FAULT)
        return nullptr;
    for (size_t i = 0; i < l.values.size(); i++) {
        if (l.fault == INDEX_ENUM_FAULT && (int)i == l.faultIndex)
            return nullptr;
        if (l.values[i].name == l.wanted)
            return &l.values[i];
    }
    return nullptr;
}

DWORD FirstFourBytes(const std::string &data)
{
    DWORD number = 0;
    for (size_t i = 0; i < 4 && i < data.size(); i++)
        number |= (DWORD)(unsigned char)data[i] << (8 * i);
    return number;
}

std::string TextOf(const std::string &data)
{
    std::string text = data.substr(0, data.find('\0'));
    return text.substr(0, MAX_PATH - 1);
}

RC_GTEST_PROP(RegLookupProp, NumberIsTheFirstFourBytesOfTheExactlyNamedValue, ())
{
    Lookup l = *GenLookup();
    Install(l);
    const StoredValue *found = Found(l);

    // The number sits between two guards that must stay as they were.
    DWORD slots[3] = {0xA5A5A5A5, 0x12345678, 0xA5A5A5A5};
    int result = Co_GetRegValueNum(HKEY_LOCAL_MACHINE, kKey, l.wanted.c_str(), &slots[1]);

    RC_ASSERT(result == (found ? 1 : 0));
    RC_ASSERT(slots[1] == (found ? FirstFourBytes(found->data) : 0u));
    RC_ASSERT(slots[0] == 0xA5A5A5A5u);
    RC_ASSERT(slots[2] == 0xA5A5A5A5u);
    RC_ASSERT(wsim::OpenKeyHandles() == 0);
    RC_ASSERT(wsim::LiveAllocations() == 0);
}

RC_GTEST_PROP(RegLookupProp, TextIsTheDataUpToItsFirstNulWithinTheCallersBuffer, ())
{
    Lookup l = *GenLookup();
    Install(l);
    const StoredValue *found = Found(l);

    unsigned char buffer[MAX_PATH + kGuard];
    memset(buffer, kMarker, sizeof(buffer));
    int result = Co_GetRegValueSz(HKEY_LOCAL_MACHINE, kKey, l.wanted.c_str(), (LPSTR)buffer);

    std::string expected(sizeof(buffer), (char)kMarker);
    if (found) {
        std::string text = TextOf(found->data);
        expected.replace(0, text.size() + 1, text + std::string(1, '\0'));
    }
    RC_ASSERT(result == (found ? 1 : 0));
    RC_ASSERT(std::string((const char *)buffer, sizeof(buffer)) == expected);
    RC_ASSERT(wsim::OpenKeyHandles() == 0);
    RC_ASSERT(wsim::LiveAllocations() == 0);
}

}  // namespace
