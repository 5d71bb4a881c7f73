// The renaming routine and its two text helpers on generated texts and
// paths, and the comparison of paths without regard to letter case.
// TrimBlanks takes the spaces, and only the spaces, off both ends;
// CountChar counts bytes; RenameToSuffix puts the suffix in place of the
// file name's extension, never of a directory's, and either moves the file
// there and names the new path, or leaves file and buffer as they were;
// TextEqualsNoCase folds A to Z alone and compares a double-byte character
// whole; IsLocalDrivePath takes "X:\..." alone.
#include <string.h>

#include <algorithm>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>
#include <windows.h>

#include "prop_support.h"
#include "common/common.h"
#include "stages/stages.h"
#include "support/machine.h"
#include "winsim.h"

namespace {

const char kMarker = 'X';

// Texts of blanks, tabs, line ends, letters and high bytes, blanks most
// often at the ends.
rc::Gen<std::string> BlankyText()
{
    return rc::gen::exec([] {
        std::string text;
        int parts = *rc::gen::inRange(0, 6);
        for (int i = 0; i < parts; i++) {
            int blanks = *rc::gen::inRange(0, 4);
            text += std::string(blanks, ' ');
            text += *rc::gen::container<std::string>(rc::gen::element<char>('a', 'b', '\t', '\r', '\n', '.', '\xa0',
                                                                              '\x95', '\x5c'));
        }
        return text;
    });
}

RC_GTEST_PROP(TextProp, TrimBlanksTakesOnlySpacesOffBothEnds, ())
{
    std::string text = *BlankyText();
    std::vector<char> buffer(text.size() + 17, kMarker);
    memcpy(buffer.data(), text.c_str(), text.size() + 1);

    int result = TrimBlanks(buffer.data());

    size_t first = text.find_first_not_of(' ');
    std::string trimmed = first == std::string::npos ? "" : text.substr(first, text.find_last_not_of(' ') - first + 1);
    RC_ASSERT(result == (text.empty() ? 0 : 1));
    RC_ASSERT(std::string(buffer.data()) == trimmed);
    // Nothing past the text's own NUL is touched.
    RC_ASSERT(std::count(buffer.begin() + text.size() + 1, buffer.end(), kMarker) == 16);
}

RC_GTEST_PROP(TextProp, CountCharCountsBytesEqualToTheFirstByte, (const std::string &raw, const std::string &what))
{
    std::string text = raw.substr(0, raw.find('\0'));
    std::string character = what.substr(0, what.find('\0'));
    RC_PRE(!character.empty());

    int expected = (int)std::count(text.begin(), text.end(), character[0]);
    RC_ASSERT(CountChar(text.c_str(), character.c_str()) == expected);
}

// ---- TextEqualsNoCase ----------------------------------------------------

// Characters as the Japanese code page reads them: a lead byte takes the
// byte after it, and A to Z match a to z. A lead byte with nothing after
// it is no character, and makes two texts unequal.
std::vector<std::string> CaseFoldedCharacters(const std::string &text, bool *broken)
{
    std::vector<std::string> characters;
    for (size_t i = 0; i < text.size(); i++) {
        char c = text[i];
        if (IsDBCSLeadByte((BYTE)c)) {
            if (i + 1 == text.size())
                *broken = true;
            characters.push_back(text.substr(i, 2));
            i++;
        } else {
            characters.push_back(std::string(1, c >= 'a' && c <= 'z' ? (char)(c - 'a' + 'A') : c));
        }
    }
    return characters;
}

// Texts of letters, the signs beside them and double-byte characters whose
// second bytes are letters; the second text is often the first with some
// letters in the other case.
RC_GTEST_PROP(TextProp, TextEqualsNoCaseFoldsOnlyAToZAndComparesDoubleByteCharactersWhole, ())
{
    ResetTestMachine(true);
    auto gen = rc::gen::container<std::string>(
        rc::gen::element<char>('a', 'A', 'z', 'Z', '`', '{', '@', '[', '\x83', '\x84', '\x41', '\x61'));
    std::string a = *gen;
    std::string b = *rc::gen::oneOf(gen, rc::gen::just(a), rc::gen::exec([a] {
        std::string flipped = a;
        for (char &c : flipped)
            if (*rc::gen::arbitrary<bool>() && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')))
                c = (char)(c ^ 0x20);
        return flipped;
    }));

    bool broken = false;
    bool expected = CaseFoldedCharacters(a, &broken) == CaseFoldedCharacters(b, &broken) && !broken;
    RC_ASSERT(TextEqualsNoCase(a.c_str(), b.c_str()) == (expected ? 1 : 0));
}

// Paths on a local drive are a letter, a colon and a backslash, and
// nothing else is: not the signs beside the letters, not "C:" alone. Every
// first byte at the letters' edges with every start of a path.
TEST(LocalDrivePath, IsALetterAColonAndABackslashOnly)
{
    for (char first : {'@', 'A', 'Z', '[', '`', 'a', 'z', '{', '\\'}) {
        for (const char *rest : {":\\x", ":\\", ":x", ":", "\\x", ""}) {
            std::string path = std::string(1, first) + rest;
            bool letter = (first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z');
            bool expected = letter && path.size() >= 3 && path[1] == ':' && path[2] == '\\';
            EXPECT_EQ(expected ? 1 : 0, IsLocalDrivePath(path.c_str())) << path;
        }
    }
}

// ---- RenameToSuffix ------------------------------------------------------

const char kTop[] = "C:\\QwRename";

// A path component as Windows keeps it: not only dots, not ending in a dot
// or a blank (Windows would drop those).
bool UsableComponent(const std::string &name)
{
    return !name.empty() && name.find_first_not_of('.') != std::string::npos && name.back() != '.' &&
           name.back() != ' ';
}

rc::Gen<std::string> Component(bool japanese, int minChars, int maxChars)
{
    return rc::gen::suchThat(prop::Name(japanese, minChars, maxChars), UsableComponent);
}

// The file's name: a stem, maybe blanks, and zero, one or more extensions.
rc::Gen<std::string> FileName(bool japanese)
{
    return rc::gen::suchThat(rc::gen::exec([=] {
                                 std::string name = *rc::gen::weightedOneOf<std::string>(
                                     {{4, Component(japanese, 1, 8)}, {1, rc::gen::just(std::string())}});
                                 name += std::string(*rc::gen::inRange(0, 3), ' ');
                                 int extensions = *rc::gen::inRange(0, 3);
                                 for (int i = 0; i < extensions; i++)
                                     name += "." + *Component(japanese, 1, 4);
                                 return name;
                             }),
                             UsableComponent);
}

// What a file is like before the rename.
enum FileState { ABSENT, PLAIN, HELD, READ_ONLY };

rc::Gen<FileState> State()
{
    return rc::gen::weightedOneOf<FileState>({{1, rc::gen::just(ABSENT)},
                                              {5, rc::gen::just(PLAIN)},
                                              {1, rc::gen::just(HELD)},
                                              {1, rc::gen::just(READ_ONLY)}});
}

struct Rename {
    bool japanese = false;
    std::string dir;
    std::string name;
    std::string suffix;
    FileState source = PLAIN;
    FileState stale = ABSENT;  // a file of the target's name
};


void showValue(const Rename &r, std::ostream &os)
{
    os << (r.japanese ? "Japanese" : "English") << " path \"" << r.dir << "\\" << r.name << "\" suffix \"" << r.suffix
       << "\" source " << r.source << " stale " << r.stale;
}

rc::Gen<Rename> GenRename()
{
    return rc::gen::exec([] {
        Rename r;
        r.japanese = *rc::gen::arbitrary<bool>();
        r.dir = kTop;
        int depth = *rc::gen::inRange(0, 3);
        for (int i = 0; i < depth; i++)
            r.dir += "\\" + *Component(r.japanese, 1, 10);
        // Now and then a directory that brings the target near 259 bytes.
        if (*rc::gen::inRange(0, 5) == 0)
            r.dir += "\\" + std::string(*rc::gen::inRange(200, 236) - r.dir.size(), 'd');
        r.name = *FileName(r.japanese);
        r.suffix = *rc::gen::element<std::string>(".qel", ".QEL", ".old", ".q e");
        r.source = *State();
        r.stale = *State();
        return r;
    });
}

// The path as characters: each one byte, or two for a double-byte
// character on the Japanese machine.
std::vector<std::string> Characters(const std::string &path, bool japanese)
{
    std::vector<std::string> chars;
    for (size_t i = 0; i < path.size(); i++) {
        unsigned char byte = (unsigned char)path[i];
        bool lead = japanese && ((byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC));
        chars.push_back(path.substr(i, lead ? 2 : 1));
        if (lead)
            i++;
    }
    return chars;
}

// The model's target: the extension is what follows the last dot when no
// backslash character comes after it; the stem before it loses its blanks.
std::string Target(const std::string &path, const std::string &suffix, bool japanese)
{
    std::vector<std::string> chars = Characters(path, japanese);
    size_t dot = std::string::npos;
    size_t offset = 0, dotOffset = 0;
    for (size_t i = 0; i < chars.size(); i++) {
        if (chars[i] == ".") {
            dot = i;
            dotOffset = offset;
        } else if (chars[i] == "\\") {
            dot = std::string::npos;
        }
        offset += chars[i].size();
    }
    if (dot == std::string::npos)
        return path + suffix;
    std::string stem = path.substr(0, dotOffset);
    size_t last = stem.find_last_not_of(' ');
    stem = last == std::string::npos ? "" : stem.substr(0, last + 1);
    return stem.substr(std::min(stem.find_first_not_of(' '), stem.size())) + suffix;
}

void MakeFile(const std::string &path, FileState state, const std::string &contents)
{
    switch (state) {
    case ABSENT:
        return;
    case PLAIN:
    case HELD:
        wsim::PutFile(path.c_str(), contents);
        if (state == HELD)
            wsim::HoldFile(path.c_str());
        return;
    case READ_ONLY: {
        HANDLE file =
            CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_READONLY, NULL);
        DWORD written = 0;
        WriteFile(file, contents.data(), (DWORD)contents.size(), &written, NULL);
        CloseHandle(file);
        return;
    }
    }
}

// Every file below the top directory with its contents, by upper-case
// path.
std::map<std::string, std::string> Files(const std::string &dir)
{
    std::map<std::string, std::string> files;
    for (const std::string &name : wsim::ListDir(dir.c_str()))
        files[prop::FoldedName(dir + "\\" + name)] = wsim::FileContents((dir + "\\" + name).c_str());
    return files;
}

RC_GTEST_PROP(TextProp, RenameToSuffixMovesTheFileToItsSuffixedNameOrLeavesAllAsItWas, ())
{
    Rename r = *GenRename();
    ResetTestMachine(r.japanese);
    wsim::MakeDir(r.dir.c_str());
    std::string path = r.dir + "\\" + r.name;
    std::string target = Target(path, r.suffix, r.japanese);
    bool sameFile = prop::FoldedName(target) == prop::FoldedName(path);
    RC_PRE(path.size() < MAX_PATH);
    MakeFile(path, r.source, "program");
    if (!sameFile && target.size() < MAX_PATH)
        MakeFile(target, r.stale, "stale");
    std::map<std::string, std::string> expected = Files(r.dir);

    char newPath[MAX_PATH + 16];
    memset(newPath, kMarker, sizeof(newPath));
    int result = RenameToSuffix(path.c_str(), r.suffix.c_str(), newPath);

    // The model: a target past 259 bytes is refused at once; a stale file
    // that cannot be deleted stops the rename; one that can goes first, even
    // when the move then fails.
    bool staleThere = !sameFile && r.stale != ABSENT;
    bool moved = false;
    if (target.size() < MAX_PATH && !(staleThere && r.stale != PLAIN)) {
        if (staleThere)
            expected.erase(prop::FoldedName(target));
        if (r.source != ABSENT && r.source != HELD) {
            expected.erase(prop::FoldedName(path));
            expected[prop::FoldedName(target)] = "program";
            moved = true;
        }
    }
    RC_ASSERT(result == (moved ? 1 : 0));
    RC_ASSERT(Files(r.dir) == expected);
    std::string buffer(newPath, sizeof(newPath));
    std::string untouched(sizeof(newPath), kMarker);
    if (moved)
        RC_ASSERT(buffer == untouched.replace(0, target.size() + 1, target + std::string(1, '\0')));
    else
        RC_ASSERT(buffer == untouched);
    for (const std::string &held : {path, target})
        wsim::ReleaseFile(held.c_str());
    RC_ASSERT(wsim::OpenFileHandles() == 0);
}

// Found by the property above: the second byte of a double-byte character
// in the extension is 0x5C, and taken for a backslash it made the dot look
// like part of a directory name.
TEST(RenameExample, DoubleByteExtensionEndingInBackslashByteIsReplaced)
{
    ResetTestMachine(true);
    const std::string dir = std::string(kTop) + "\\\x95\x5c";
    wsim::PutFile((dir + "\\QWTRAY.\x83\x5c").c_str(), "program");
    char newPath[MAX_PATH];

    EXPECT_EQ(1, RenameToSuffix((dir + "\\QWTRAY.\x83\x5c").c_str(), ".qel", newPath));

    EXPECT_EQ(dir + "\\QWTRAY.qel", newPath);
    EXPECT_EQ(std::vector<std::string>{"QWTRAY.qel"}, wsim::ListDir(dir.c_str()));
}

}  // namespace
