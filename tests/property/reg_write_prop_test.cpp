// Writing and reading back: whatever a Set function stores, the lookups
// give back (a text cut to 259 bytes, a number whole), under exactly the
// name it was written with; the Set functions without Create never make a
// key; a deleted value is gone and its neighbour stays.
#include <string>

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>
#include <windows.h>

#include "common/common.h"
#include "prop_support.h"
#include "support/machine.h"
#include "winsim.h"

namespace {

const char kNeighbour[] = "Neighbour";

struct Write {
    bool japanese;
    std::string key;  // below HKEY_LOCAL_MACHINE
    std::string name;
    std::string text;
    DWORD number;
};

// Texts of up to 1,000 characters, without NULs.
rc::Gen<std::string> Text()
{
    return rc::gen::exec([] {
        std::string text = *prop::Data(*prop::DataSize());
        return text.substr(0, text.find('\0'));
    });
}

rc::Gen<Write> GenWrite()
{
    return rc::gen::exec([] {
        Write w;
        w.japanese = *rc::gen::arbitrary<bool>();
        w.key = "SOFTWARE\\QwWrite\\" + *prop::Name(w.japanese, 1, 12) + "\\" + *prop::Name(w.japanese, 1, 12);
        w.name = *rc::gen::suchThat(
            rc::gen::weightedOneOf<std::string>(
                {{4, prop::Name(w.japanese, 1, 12)}, {1, rc::gen::just(std::string())}}),
            [](const std::string &name) { return prop::FoldedName(name) != prop::FoldedName(kNeighbour); });
        w.text = *Text();
        w.number = *rc::gen::arbitrary<DWORD>();
        return w;
    });
}

std::string Full(const Write &w)
{
    return "HKLM\\" + w.key;
}

RC_GTEST_PROP(RegWriteProp, WrittenValuesReadBackUnderTheirExactNameOnly, ())
{
    Write w = *GenWrite();
    ResetTestMachine(w.japanese);
    const char *key = w.key.c_str();

    RC_ASSERT(Co_SetCreateValueSz(HKEY_LOCAL_MACHINE, key, w.name.c_str(), w.text.c_str()) == 1);
    char text[MAX_PATH];
    RC_ASSERT(Co_GetRegValueSz(HKEY_LOCAL_MACHINE, key, w.name.c_str(), text) == 1);
    RC_ASSERT(std::string(text) == w.text.substr(0, MAX_PATH - 1));

    RC_ASSERT(Co_SetValueNum(HKEY_LOCAL_MACHINE, key, w.name.c_str(), w.number) == 1);
    DWORD number = 0;
    RC_ASSERT(Co_GetRegValueNum(HKEY_LOCAL_MACHINE, key, w.name.c_str(), &number) == 1);
    RC_ASSERT(number == w.number);

    std::string swapped = prop::SwapCase(w.name);
    if (swapped != w.name)
        RC_ASSERT(Co_GetRegValueNum(HKEY_LOCAL_MACHINE, key, swapped.c_str(), &number) == 0);
    RC_ASSERT(wsim::OpenKeyHandles() == 0);
}

RC_GTEST_PROP(RegWriteProp, SetWithoutCreateWritesOnlyIntoAKeyThatIsThere, ())
{
    Write w = *GenWrite();
    ResetTestMachine(w.japanese);
    bool keyThere = *rc::gen::arbitrary<bool>();
    if (keyThere)
        wsim::CreateKey(Full(w).c_str());

    int sz = Co_SetValueSz(HKEY_LOCAL_MACHINE, w.key.c_str(), w.name.c_str(), w.text.c_str());
    int num = Co_SetValueNum(HKEY_LOCAL_MACHINE, w.key.c_str(), kNeighbour, w.number);

    RC_ASSERT(sz == (keyThere ? 1 : 0));
    RC_ASSERT(num == (keyThere ? 1 : 0));
    RC_ASSERT(wsim::KeyExists(Full(w).c_str()) == keyThere);
    RC_ASSERT(wsim::OpenKeyHandles() == 0);
}

RC_GTEST_PROP(RegWriteProp, DeletedValueIsGoneAndItsNeighbourStays, ())
{
    Write w = *GenWrite();
    ResetTestMachine(w.japanese);
    wsim::PutSz(Full(w).c_str(), w.name.c_str(), w.text.c_str());
    wsim::PutDword(Full(w).c_str(), kNeighbour, w.number);

    RC_ASSERT(Co_DeleteRegValue(HKEY_LOCAL_MACHINE, w.key.c_str(), w.name.c_str()) == 1);
    RC_ASSERT(Co_DeleteRegValue(HKEY_LOCAL_MACHINE, w.key.c_str(), w.name.c_str()) == 0);

    RC_ASSERT(!wsim::GetValue(Full(w).c_str(), w.name.c_str(), NULL, NULL));
    DWORD number = 0;
    RC_ASSERT(Co_GetRegValueNum(HKEY_LOCAL_MACHINE, w.key.c_str(), kNeighbour, &number) == 1);
    RC_ASSERT(number == w.number);
    RC_ASSERT(wsim::OpenKeyHandles() == 0);
}

}  // namespace
