// The file system: drive C: with Windows' path rules (backslashes, names
// compared without regard to case and stored as written, short 8.3 aliases),
// open handles with their sharing, and files that other programs hold open.
#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <winternl.h>

#include "core.h"
#include "winsim.h"

namespace wsim {
namespace {

struct Node {
    std::u16string name;
    std::u16string shortName;  // empty when the name is a valid 8.3 name itself
    bool directory = false;
    DWORD attributes = FILE_ATTRIBUTE_ARCHIVE;
    // The file's contents, shared by every hard link to it.
    std::shared_ptr<std::string> data = std::make_shared<std::string>();
    // A symbolic link (a file) or a junction (a directory): the full path it
    // leads to, and whether an ordinary user made it.
    std::string reparseTarget;
    bool madeByUser = false;
    Node *parent = nullptr;
    std::vector<std::shared_ptr<Node>> children;  // creation order
    bool deletePending = false;
    int heldByOthers = 0;
    // What answers at the name: a disk file, or a pipe or device (PutDevice).
    DWORD fileType = FILE_TYPE_DISK;
};

struct OpenFile {
    std::shared_ptr<Node> node;
    DWORD access;
    DWORD share;
    DWORD position;
    std::string path;
    bool deleteOnClose;
};

struct FindEntry {
    std::u16string name;
    std::u16string shortName;
    DWORD attributes;
    DWORD size;
};

struct OpenFind {
    std::vector<FindEntry> entries;
    size_t next;
};

struct FileSystem {
    std::shared_ptr<Node> root;
    std::map<HANDLE, OpenFile> files;
    std::map<HANDLE, OpenFind> finds;
    // The process's current directory on C:, its root after Reset, as
    // "C:" followed by "\" and each component.
    std::u16string currentDir = u"C:";
    std::vector<FileClose> closes;
    std::vector<FileOpen> opens;
    // Set once the process asked to refuse junctions made by ordinary users.
    bool redirectionTrust = false;
    // Which newer kernel32 calls the system has: GetFinalPathNameByHandleA
    // and SetFileInformationByHandle (Vista and later), and the redirection
    // trust policy (Windows 10 and 11, 22H2 and later).
    bool hasVistaFileCalls = true;
    bool hasRedirectionTrust = true;
};

FileSystem g_fs;

const DWORD kReadRights = GENERIC_READ | GENERIC_ALL | 0x0001;    // FILE_READ_DATA
const DWORD kWriteRights = GENERIC_WRITE | GENERIC_ALL | 0x0006;  // FILE_WRITE_DATA, FILE_APPEND_DATA
// Sharing counts running a file as reading it.
const DWORD kSharedReadRights = kReadRights | GENERIC_EXECUTE | FILE_EXECUTE;
const size_t kMaxComponent = 255;
// How many links one path may pass through before Windows gives up.
const int kMaxReparseDepth = 63;
const char kSessionManager[] = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager";

// Where a path leads: the directory that holds (or would hold) its last
// component, the entry itself when it exists, and the components as
// written.
struct Place {
    std::shared_ptr<Node> parent;
    std::shared_ptr<Node> node;
    std::u16string leaf;
    std::vector<std::u16string> parts;
    std::u16string drive;
    bool trailingSlash = false;
};

bool IsInvalidNameChar(char16_t c, bool wildcards)
{
    if (c < 0x20)
        return true;
    if (c == '*' || c == '?')
        return !wildcards;
    return c == '<' || c == '>' || c == ':' || c == '"' || c == '|';
}

bool HasWildcards(const std::u16string &name)
{
    return name.find_first_of(u"*?") != std::u16string::npos;
}

std::shared_ptr<Node> Child(const Node &dir, const std::u16string &name)
{
    for (const auto &child : dir.children)
        if (detail::SameWideName(child->name, name) ||
            (!child->shortName.empty() && detail::SameWideName(child->shortName, name)))
            return child;
    return nullptr;
}

// Splits a path into its components from start on: repeated separators
// count once, "." is dropped and ".." takes back the one before it.
// Returns the length of the longest component met, even one that a later
// ".." took back.
size_t FoldComponents(const std::u16string &path, size_t start, std::vector<std::u16string> *parts)
{
    size_t longest = 0;
    parts->clear();
    while (start < path.size()) {
        size_t end = path.find(u'\\', start);
        if (end == std::u16string::npos)
            end = path.size();
        std::u16string part = path.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == u".")
            continue;
        if (part == u"..") {
            if (!parts->empty())
                parts->pop_back();
            continue;
        }
        longest = std::max(longest, part.size());
        parts->push_back(part);
    }
    return longest;
}

// A relative path ("name", "C:name") continues from the current
// directory; a rooted one ("\\name", "C:\\name") or a UNC path stays as
// it is. The current directory is always on C:.
std::u16string WithCurrentDirectory(const std::u16string &path)
{
    if (path.size() >= 2 && path[0] == u'\\' && path[1] == u'\\')
        return path;
    size_t start = 0;
    if (path.size() >= 2 && path[1] == u':') {
        if (core::UpcaseChar(path[0]) != u'C')
            return path;
        start = 2;
    }
    if (path.size() > start && path[start] == u'\\')
        return path;
    return g_fs.currentDir + u"\\" + path.substr(start);
}

// Reads a path as the Win32 layer does: "/" reads as "\", "." and ".."
// are folded, repeated separators count once, a relative path continues
// from the current directory, and a path without a drive is on C:. Fails
// with the error Windows reports.
bool ParsePath(LPCSTR path, bool wildcards, Place *place, DWORD *error)
{
    core::EnsureMachine();
    if (!path || !path[0]) {
        *error = ERROR_PATH_NOT_FOUND;
        return false;
    }
    if (strlen(path) >= MAX_PATH) {
        *error = ERROR_FILENAME_EXCED_RANGE;
        return false;
    }
    std::u16string wide = detail::AnsiToWide(path);
    std::replace(wide.begin(), wide.end(), u'/', u'\\');
    if (wide.size() >= 2 && wide[0] == u'\\' && wide[1] == u'\\') {
        *error = ERROR_BAD_NETPATH;
        return false;
    }
    // The trailing backslash counts as written: "C:" names the current
    // directory without one.
    place->trailingSlash = wide.back() == u'\\';
    wide = WithCurrentDirectory(wide);
    size_t start = 0;
    place->drive = u"C:";
    if (wide.size() >= 2 && wide[1] == u':') {
        if (core::UpcaseChar(wide[0]) != u'C') {
            *error = ERROR_PATH_NOT_FOUND;
            return false;
        }
        place->drive = wide.substr(0, 2);
        start = 2;
    }
    if (FoldComponents(wide, start, &place->parts) > kMaxComponent) {
        *error = ERROR_FILENAME_EXCED_RANGE;
        return false;
    }
    for (size_t i = 0; i < place->parts.size(); i++)
        for (char16_t c : place->parts[i])
            if (IsInvalidNameChar(c, wildcards && i + 1 == place->parts.size())) {
                *error = ERROR_INVALID_NAME;
                return false;
            }
    return true;
}

bool LocateAt(LPCSTR path, bool wildcards, Place *place, DWORD *error, int depth);

// A junction on the way to a file is always passed through: the walk goes
// on in the directory it leads to. With the redirection trust policy on,
// one that an ordinary user made is refused.
bool ThroughJunction(std::shared_ptr<Node> *dir, DWORD *error, int depth)
{
    if ((*dir)->reparseTarget.empty())
        return true;
    if (g_fs.redirectionTrust && (*dir)->madeByUser) {
        *error = ERROR_UNTRUSTED_MOUNT_POINT;
        return false;
    }
    Place target;
    if (depth >= kMaxReparseDepth) {
        *error = ERROR_CANT_RESOLVE_FILENAME;
        return false;
    }
    if (!LocateAt((*dir)->reparseTarget.c_str(), false, &target, error, depth + 1))
        return false;
    if (!target.node || !target.node->directory) {
        *error = ERROR_PATH_NOT_FOUND;
        return false;
    }
    *dir = target.node;
    return ThroughJunction(dir, error, depth + 1);
}

// Reads a path and finds where it leads.
bool Locate(LPCSTR path, bool wildcards, Place *place, DWORD *error)
{
    return LocateAt(path, wildcards, place, error, 0);
}

bool LocateAt(LPCSTR path, bool wildcards, Place *place, DWORD *error, int depth)
{
    if (!ParsePath(path, wildcards, place, error))
        return false;
    const std::vector<std::u16string> &parts = place->parts;
    std::shared_ptr<Node> dir = g_fs.root;
    for (size_t i = 0; i + 1 < parts.size(); i++) {
        dir = Child(*dir, parts[i]);
        if (!dir || !dir->directory) {
            *error = ERROR_PATH_NOT_FOUND;
            return false;
        }
        if (!ThroughJunction(&dir, error, depth))
            return false;
    }
    if (parts.empty()) {
        place->parent = nullptr;
        place->node = g_fs.root;
        place->leaf.clear();
        return true;
    }
    place->parent = dir;
    place->leaf = parts.back();
    place->node = HasWildcards(place->leaf) ? nullptr : Child(*dir, place->leaf);
    return true;
}

// Sets the last error of a call that fails.
bool Refuse(DWORD error)
{
    SetLastError(error);
    return false;
}

// The error for an entry that is missing: the file, or a directory on the
// way to it.
DWORD MissingError(const Place &place)
{
    return place.parent ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

std::string TargetOf(LPCSTR path)
{
    std::string target(path ? path : "");
    std::replace(target.begin(), target.end(), '/', '\\');
    return target;
}

// ---- Short names ---------------------------------------------------------

bool IsShortChar(char16_t c)
{
    if (c >= 0x80)
        return true;
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
        return true;
    return std::u16string(u"!#$%&'()-@^_`{}~").find(c) != std::u16string::npos;
}

bool IsValidShortName(const std::u16string &name)
{
    size_t dot = name.find(u'.');
    std::u16string base = name.substr(0, dot);
    std::u16string ext = dot == std::u16string::npos ? u"" : name.substr(dot + 1);
    if (base.empty() || base.size() > 8 || ext.size() > 3 || ext.find(u'.') != std::u16string::npos)
        return false;
    if (dot != std::u16string::npos && ext.empty())
        return false;
    for (char16_t c : base + ext)
        if (!IsShortChar(c))
            return false;
    return true;
}

bool ShortNameTaken(const Node &dir, const std::u16string &candidate)
{
    for (const auto &child : dir.children)
        if (detail::SameWideName(child->name, candidate) ||
            (!child->shortName.empty() && detail::SameWideName(child->shortName, candidate)))
            return true;
    return false;
}

// The alias NTFS makes for a long name: the first letters of the name in
// upper case, "~" and a number, and the first three letters of the
// extension.
std::u16string MakeShortName(const Node &dir, const std::u16string &name)
{
    if (IsValidShortName(name))
        return u"";
    size_t dot = name.rfind(u'.');
    std::u16string base, ext;
    for (size_t i = 0; i < name.size() && i != dot; i++)
        if (IsShortChar(name[i]))
            base += core::UpcaseChar(name[i]);
    if (dot != std::u16string::npos)
        for (size_t i = dot + 1; i < name.size() && ext.size() < 3; i++)
            if (IsShortChar(name[i]))
                ext += core::UpcaseChar(name[i]);
    if (base.empty())
        base = u"_";
    for (int n = 1;; n++) {
        std::string digits = std::to_string(n);
        std::u16string tail = u"~" + std::u16string(digits.begin(), digits.end());
        std::u16string candidate = base.substr(0, 8 - tail.size()) + tail;
        if (!ext.empty())
            candidate += u"." + ext;
        if (!ShortNameTaken(dir, candidate))
            return candidate;
    }
}

std::shared_ptr<Node> AddNode(Node &dir, const std::u16string &name, bool directory)
{
    auto node = std::make_shared<Node>();
    node->name = name;
    node->shortName = MakeShortName(dir, name);
    node->directory = directory;
    node->attributes = directory ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    node->parent = &dir;
    dir.children.push_back(node);
    return node;
}

void Unlink(const std::shared_ptr<Node> &node)
{
    Node *parent = node->parent;
    if (!parent)
        return;
    auto &siblings = parent->children;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), node), siblings.end());
    node->parent = nullptr;
}

// ---- Sharing ---------------------------------------------------------------

bool Wants(DWORD access, DWORD rights)
{
    return (access & rights) != 0;
}

// Whether a new open with this access and sharing can live beside every
// open the file already has, this program's and other programs' alike.
bool SharingAllows(const Node &node, DWORD access, DWORD share)
{
    if (node.heldByOthers > 0 && (Wants(access, kSharedReadRights | kWriteRights | DELETE) || !(share & FILE_SHARE_READ) ||
                                  !(share & FILE_SHARE_WRITE)))
        return false;
    for (const auto &entry : g_fs.files) {
        // Sharing is the file's, whichever of its hard links an open used.
        const OpenFile &open = entry.second;
        if (open.node->data != node.data)
            continue;
        // An open with neither data nor delete access takes no part in
        // sharing: its sharing mode is ignored, and it asks nothing of the
        // others' (it may only read attributes).
        if (!Wants(open.access, kSharedReadRights | kWriteRights | DELETE) ||
            !Wants(access, kSharedReadRights | kWriteRights | DELETE))
            continue;
        if ((Wants(access, kSharedReadRights) && !(open.share & FILE_SHARE_READ)) ||
            (Wants(access, kWriteRights) && !(open.share & FILE_SHARE_WRITE)) ||
            (Wants(access, DELETE) && !(open.share & FILE_SHARE_DELETE)) ||
            (Wants(open.access, kSharedReadRights) && !(share & FILE_SHARE_READ)) ||
            (Wants(open.access, kWriteRights) && !(share & FILE_SHARE_WRITE)) ||
            (Wants(open.access, DELETE) && !(share & FILE_SHARE_DELETE)))
            return false;
    }
    return true;
}

int OpenCount(const Node &node)
{
    int count = 0;
    for (const auto &entry : g_fs.files)
        if (entry.second.node.get() == &node)
            count++;
    return count;
}

bool InSubtree(const Node *node, const Node *top)
{
    for (; node; node = node->parent)
        if (node == top)
            return true;
    return false;
}

bool AnyOpenBelow(const Node &dir)
{
    for (const auto &entry : g_fs.files)
        if (InSubtree(entry.second.node.get(), &dir))
            return true;
    return false;
}

std::string FullPathOf(const Place &place)
{
    std::u16string full = place.drive;
    for (const std::u16string &part : place.parts)
        full += u"\\" + part;
    if (place.parts.empty())
        full += u"\\";
    return detail::WideToAnsi(full);
}

// Records a move or deletion for the next start of Windows the way Windows
// does: in the Session Manager's PendingFileRenameOperations, one pair of
// strings per operation (the target "!"-marked when it may be replaced,
// empty for a deletion).
void RecordDelayedMove(const std::string &from, const std::string &to, bool replace)
{
    DWORD type = REG_MULTI_SZ;
    std::string list;
    GetValue(kSessionManager, "PendingFileRenameOperations", &type, &list);
    // Each string ends in its NUL, the list in one more.
    if (!list.empty())
        list.pop_back();
    list += "\\??\\" + from;
    list.push_back(0);
    if (!to.empty())
        list += std::string(replace ? "!" : "") + "\\??\\" + to;
    list.push_back(0);
    list.push_back(0);
    PutValue(kSessionManager, "PendingFileRenameOperations", REG_MULTI_SZ, list.data(), (DWORD)list.size());
}

bool MoveEntry(const char *call, LPCSTR from, LPCSTR to, DWORD flags)
{
    if (core::Faulted(call, TargetOf(from)))
        return false;
    DWORD error;
    Place source, target;
    if (!Locate(from, false, &source, &error))
        return Refuse(error);
    if (flags & MOVEFILE_DELAY_UNTIL_REBOOT) {
        std::string destination;
        if (to) {
            if (!Locate(to, false, &target, &error))
                return Refuse(error);
            destination = FullPathOf(target);
        }
        RecordDelayedMove(FullPathOf(source), destination, (flags & MOVEFILE_REPLACE_EXISTING) != 0);
        return true;
    }
    if (!to)
        return Refuse(ERROR_INVALID_PARAMETER);
    if (!source.node)
        return Refuse(MissingError(source));
    if (!source.parent)
        return Refuse(ERROR_ACCESS_DENIED);
    std::shared_ptr<Node> node = source.node;
    if (node->heldByOthers > 0 || !SharingAllows(*node, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE))
        return Refuse(ERROR_SHARING_VIOLATION);
    if (node->directory && AnyOpenBelow(*node))
        return Refuse(ERROR_ACCESS_DENIED);
    if (!Locate(to, false, &target, &error))
        return Refuse(error);
    if (!target.parent)
        return Refuse(ERROR_ACCESS_DENIED);
    if (InSubtree(target.parent.get(), node.get()))
        return Refuse(ERROR_SHARING_VIOLATION);
    if (target.node && target.node != node) {
        if (!(flags & MOVEFILE_REPLACE_EXISTING))
            return Refuse(ERROR_ALREADY_EXISTS);
        if (target.node->directory || (target.node->attributes & FILE_ATTRIBUTE_READONLY))
            return Refuse(ERROR_ACCESS_DENIED);
        if (target.node->heldByOthers > 0 || OpenCount(*target.node) > 0)
            return Refuse(ERROR_ACCESS_DENIED);
        Unlink(target.node);
    }
    Node *newParent = target.parent.get();
    Unlink(node);
    node->name = target.leaf;
    node->shortName = MakeShortName(*newParent, target.leaf);
    node->parent = newParent;
    newParent->children.push_back(node);
    return true;
}

void FillFindData(const FindEntry &entry, LPWIN32_FIND_DATAA data)
{
    memset(data, 0, sizeof(*data));
    data->dwFileAttributes = entry.attributes;
    data->nFileSizeLow = entry.size;
    std::string name = detail::WideToAnsi(entry.name);
    std::string alias = detail::WideToAnsi(entry.shortName);
    lstrcpynA(data->cFileName, name.c_str(), sizeof(data->cFileName));
    lstrcpynA(data->cAlternateFileName, alias.c_str(), sizeof(data->cAlternateFileName));
}

FindEntry EntryOf(const Node &node, const std::u16string &name)
{
    return FindEntry{name, node.shortName, node.attributes, (DWORD)node.data->size()};
}

// Wildcards as FindFirstFile reads them: "*" any run of characters, "?"
// any one character, without regard to case; "*.*" matches every name.
bool Matches(const std::u16string &pattern, const std::u16string &name)
{
    if (pattern == u"*.*")
        return true;
    size_t p = 0, n = 0, starP = std::u16string::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() &&
            (pattern[p] == u'?' || core::UpcaseChar(pattern[p]) == core::UpcaseChar(name[n]))) {
            p++;
            n++;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            starP = p++;
            starN = n;
        } else if (starP != std::u16string::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        p++;
    return p == pattern.size();
}

// Long or short form of an existing path, the drive as written. With
// asWritten, as GetLongPathNameA does, only a component that could be a
// short name is looked up; a longer one stays in the letter case given.
bool PathForm(LPCSTR path, bool longForm, std::string *out, DWORD *error, bool asWritten = false)
{
    if (path && strncmp(path, "\\\\?\\", 4) == 0 && path[4] != '\0' && path[5] == ':') {
        if (!PathForm(path + 4, longForm, out, error, asWritten))
            return false;
        out->insert(0, "\\\\?\\");
        return true;
    }
    Place place;
    if (!Locate(path, false, &place, error))
        return false;
    if (!place.node) {
        *error = MissingError(place);
        return false;
    }
    // Each component as the directory that holds it names it: a junction
    // on the way keeps its own name, as the path does.
    std::u16string result = place.drive;
    std::shared_ptr<Node> dir = g_fs.root;
    for (const std::u16string &part : place.parts) {
        std::shared_ptr<Node> node = Child(*dir, part);
        if (!node || (node != place.node && !ThroughJunction(&node, error, 0)))
            return false;
        std::shared_ptr<Node> named = Child(*dir, part);
        if (asWritten && !IsValidShortName(part))
            result += u"\\" + part;
        else
            result += u"\\" + (longForm || named->shortName.empty() ? named->name : named->shortName);
        dir = node;
    }
    if (place.parts.empty() || place.trailingSlash)
        result += u"\\";
    *out = detail::WideToAnsi(result);
    return true;
}

DWORD CopyPathOut(const std::string &text, LPSTR buffer, DWORD size)
{
    if (text.size() + 1 > size)
        return (DWORD)text.size() + 1;
    memcpy(buffer, text.c_str(), text.size() + 1);
    return (DWORD)text.size();
}

[[noreturn]] void Misuse(const char *what, const char *path)
{
    fprintf(stderr, "winsim: %s: %s\n", what, path ? path : "(null)");
    abort();
}

// Creates the directories a path names, parents first, leaving out its
// last dropLast components.
std::shared_ptr<Node> MakeDirectories(const char *path, size_t dropLast = 0)
{
    Place place;
    DWORD error;
    if (!ParsePath(path, false, &place, &error) || place.parts.size() < dropLast)
        Misuse("not a usable path", path);
    std::shared_ptr<Node> dir = g_fs.root;
    for (size_t i = 0; i + dropLast < place.parts.size(); i++) {
        std::shared_ptr<Node> next = Child(*dir, place.parts[i]);
        if (!next)
            next = AddNode(*dir, place.parts[i], true);
        else if (!next->directory)
            Misuse("a file is in the way", path);
        dir = next;
    }
    return dir;
}

std::shared_ptr<Node> ExistingNode(const char *path)
{
    Place place;
    DWORD error;
    if (!Locate(path, false, &place, &error))
        return nullptr;
    return place.node;
}

}  // namespace

namespace core {

void ResetFiles()
{
    g_fs.files.clear();
    g_fs.finds.clear();
    g_fs.root = std::make_shared<Node>();
    g_fs.root->directory = true;
    g_fs.root->attributes = FILE_ATTRIBUTE_DIRECTORY;
    g_fs.currentDir = u"C:";
    g_fs.closes.clear();
    g_fs.opens.clear();
    g_fs.redirectionTrust = false;
    g_fs.hasVistaFileCalls = true;
    g_fs.hasRedirectionTrust = true;
    MakeDir("C:\\WINNT\\system32");
    MakeDir("C:\\WINNT\\Temp");
    MakeDir("C:\\Program Files", "PROGRA~1");
    MakeDir("C:\\Documents and Settings", "DOCUME~1");
    MakeDir("C:\\Documents and Settings\\All Users", "ALLUSE~1");
    MakeDir("C:\\Documents and Settings\\Administrator", "ADMINI~1");
    MakeDir("C:\\Documents and Settings\\Administrator\\Local Settings", "LOCALS~1");
    MakeDir("C:\\Documents and Settings\\Administrator\\Local Settings\\Temp");
}

}  // namespace core

namespace detail {

std::string LongPathOf(const std::string &path)
{
    std::string result;
    DWORD error;
    if (!PathForm(path.c_str(), true, &result, &error))
        return std::string();
    return result;
}

}  // namespace detail

// ---- Direct access for tests ---------------------------------------------

void MakeDir(const char *path, const char *shortName)
{
    std::shared_ptr<Node> dir = MakeDirectories(path);
    if (shortName && dir != g_fs.root)
        dir->shortName = detail::AnsiToWide(shortName);
}

void PutFile(const char *path, const std::string &contents)
{
    Place place;
    DWORD error;
    if (!ParsePath(path, false, &place, &error) || place.parts.empty())
        Misuse("not a usable file path", path);
    std::shared_ptr<Node> dir = MakeDirectories(path, 1);
    std::shared_ptr<Node> node = Child(*dir, place.parts.back());
    if (!node)
        node = AddNode(*dir, place.parts.back(), false);
    else if (node->directory)
        Misuse("a directory is in the way", path);
    *node->data = contents;
}

bool FileExists(const char *path)
{
    return ExistingNode(path) != nullptr;
}

std::string FileContents(const char *path)
{
    std::shared_ptr<Node> node = ExistingNode(path);
    return node ? *node->data : std::string();
}

std::vector<std::string> ListDir(const char *path)
{
    std::vector<std::string> names;
    std::shared_ptr<Node> node = ExistingNode(path);
    if (node && node->directory)
        for (const auto &child : node->children)
            names.push_back(detail::WideToAnsi(child->name));
    return names;
}

void HoldFile(const char *path)
{
    std::shared_ptr<Node> node = ExistingNode(path);
    if (!node)
        Misuse("no file to hold", path);
    node->heldByOthers++;
}

void ReleaseFile(const char *path)
{
    std::shared_ptr<Node> node = ExistingNode(path);
    if (node && node->heldByOthers > 0)
        node->heldByOthers--;
}

std::vector<FileClose> FileCloses()
{
    return g_fs.closes;
}

std::vector<FileOpen> FileOpens()
{
    return g_fs.opens;
}

int OpenFileHandles()
{
    core::EnsureMachine();
    return (int)(g_fs.files.size() + g_fs.finds.size());
}

}  // namespace wsim

using namespace wsim;

namespace wsim {
namespace {

// A directory, the root included, opens only with FILE_FLAG_BACKUP_SEMANTICS
// and only as it is (OPEN_EXISTING, OPEN_ALWAYS); a junction leads on to
// its target unless the link itself is asked for. Without the flag, a name
// that ends in a backslash (as the root's always does) is not a file's
// path, and any other is a directory refused as a file.
HANDLE OpenDirectoryAt(const Place &place, const std::string &asked, DWORD access, DWORD share, DWORD disposition,
                       DWORD flags, int depth)
{
    std::shared_ptr<Node> node = place.node;
    DWORD error = ERROR_SUCCESS;
    if (!(flags & FILE_FLAG_BACKUP_SEMANTICS))
        error = !place.parent || place.trailingSlash ? ERROR_PATH_NOT_FOUND : ERROR_ACCESS_DENIED;
    else if ((disposition != OPEN_EXISTING && disposition != OPEN_ALWAYS) || node->deletePending)
        error = ERROR_ACCESS_DENIED;
    else if (!(flags & FILE_FLAG_OPEN_REPARSE_POINT))
        ThroughJunction(&node, &error, depth);
    if (error == ERROR_SUCCESS && !SharingAllows(*node, access, share))
        error = ERROR_SHARING_VIOLATION;
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE handle = (HANDLE)core::NextHandleValue();
    g_fs.files[handle] = OpenFile{node, access, share, 0, asked, (flags & FILE_FLAG_DELETE_ON_CLOSE) != 0};
    SetLastError(disposition == OPEN_ALWAYS ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

// CreateFileA past its fault: the file at name, or, when name is a link
// that the call follows, what the link leads to. The handle keeps the name
// it was asked for.
HANDLE OpenFileAt(LPCSTR name, const std::string &asked, DWORD access, DWORD share, DWORD disposition, DWORD flags,
                  int depth)
{
    Place place;
    DWORD error;
    if (!LocateAt(name, false, &place, &error, depth)) {
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    if (disposition < CREATE_NEW || disposition > TRUNCATE_EXISTING ||
        (disposition == TRUNCATE_EXISTING && !Wants(access, kWriteRights))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::shared_ptr<Node> node = place.node;
    if (place.parent && node && node->directory && disposition == CREATE_NEW) {
        SetLastError(ERROR_FILE_EXISTS);
        return INVALID_HANDLE_VALUE;
    }
    // A symbolic link is followed unless the caller asks for the link
    // itself: the open reparses before the disposition is looked at, so
    // whatever the disposition does, CREATE_NEW included, happens at the
    // target, and a dangling link creates the file where it points.
    if (node && !node->directory && !node->reparseTarget.empty() && !(flags & FILE_FLAG_OPEN_REPARSE_POINT)) {
        if (depth >= kMaxReparseDepth) {
            SetLastError(ERROR_CANT_RESOLVE_FILENAME);
            return INVALID_HANDLE_VALUE;
        }
        return OpenFileAt(node->reparseTarget.c_str(), asked, access, share, disposition, flags, depth + 1);
    }
    if (!place.parent || (node && node->directory))
        return OpenDirectoryAt(place, asked, access, share, disposition, flags, depth);
    if (node && node->deletePending) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    DWORD lastError = ERROR_SUCCESS;
    if (node) {
        if (disposition == CREATE_NEW) {
            SetLastError(ERROR_FILE_EXISTS);
            return INVALID_HANDLE_VALUE;
        }
        bool truncates = disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING;
        if ((node->attributes & FILE_ATTRIBUTE_READONLY) &&
            (truncates || Wants(access, kWriteRights) || (flags & FILE_FLAG_DELETE_ON_CLOSE))) {
            SetLastError(ERROR_ACCESS_DENIED);
            return INVALID_HANDLE_VALUE;
        }
        if (!SharingAllows(*node, access, share)) {
            SetLastError(ERROR_SHARING_VIOLATION);
            return INVALID_HANDLE_VALUE;
        }
        if (truncates)
            node->data->clear();
        if (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS)
            lastError = ERROR_ALREADY_EXISTS;
    } else {
        if (disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return INVALID_HANDLE_VALUE;
        }
        node = AddNode(*place.parent, place.leaf, false);
        DWORD attributes = flags & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
        node->attributes = FILE_ATTRIBUTE_ARCHIVE | attributes;
    }
    HANDLE handle = (HANDLE)core::NextHandleValue();
    g_fs.files[handle] = OpenFile{node, access, share, 0, asked, (flags & FILE_FLAG_DELETE_ON_CLOSE) != 0};
    SetLastError(lastError);
    return handle;
}

}  // namespace
}  // namespace wsim

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa, DWORD disposition,
                   DWORD flags, HANDLE templateFile)
{
    (void)sa;
    (void)templateFile;
    g_fs.opens.push_back(FileOpen{TargetOf(name), flags});
    if (core::Faulted("CreateFileA", TargetOf(name)))
        return INVALID_HANDLE_VALUE;
    // Deletion on close takes the right to delete, asked for or not.
    if (flags & FILE_FLAG_DELETE_ON_CLOSE)
        access |= DELETE;
    return OpenFileAt(name, TargetOf(name), access, share, disposition, flags, 0);
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD size, LPDWORD written, LPOVERLAPPED overlapped)
{
    (void)overlapped;
    auto it = g_fs.files.find(file);
    if (written)
        *written = 0;
    if (core::Faulted("WriteFile", it == g_fs.files.end() ? std::string() : it->second.path))
        return FALSE;
    if (it == g_fs.files.end())
        return Refuse(ERROR_INVALID_HANDLE);
    OpenFile &open = it->second;
    if (!Wants(open.access, kWriteRights))
        return Refuse(ERROR_ACCESS_DENIED);
    // A directory has no data to write.
    if (open.node->directory)
        return Refuse(ERROR_INVALID_FUNCTION);
    std::string &data = *open.node->data;
    if (data.size() < open.position + size)
        data.resize(open.position + size, '\0');
    if (size)
        memcpy(&data[open.position], buffer, size);
    open.position += size;
    if (written)
        *written = size;
    return TRUE;
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD size, LPDWORD read, LPOVERLAPPED overlapped)
{
    (void)overlapped;
    auto it = g_fs.files.find(file);
    if (read)
        *read = 0;
    if (core::Faulted("ReadFile", it == g_fs.files.end() ? std::string() : it->second.path))
        return FALSE;
    if (it == g_fs.files.end())
        return Refuse(ERROR_INVALID_HANDLE);
    OpenFile &open = it->second;
    if (!Wants(open.access, kReadRights))
        return Refuse(ERROR_ACCESS_DENIED);
    // A directory has no data to read.
    if (open.node->directory)
        return Refuse(ERROR_INVALID_FUNCTION);
    const std::string &data = *open.node->data;
    DWORD available = open.position < data.size() ? (DWORD)data.size() - open.position : 0;
    DWORD count = std::min(size, available);
    if (count)
        memcpy(buffer, data.data() + open.position, count);
    open.position += count;
    if (read)
        *read = count;
    return TRUE;
}

DWORD GetFileSize(HANDLE file, LPDWORD sizeHigh)
{
    core::EnsureMachine();
    auto it = g_fs.files.find(file);
    if (it == g_fs.files.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_FILE_SIZE;
    }
    if (sizeHigh)
        *sizeHigh = 0;
    return (DWORD)it->second.node->data->size();
}

DWORD GetFileType(HANDLE file)
{
    auto it = g_fs.files.find(file);
    if (it == g_fs.files.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FILE_TYPE_UNKNOWN;
    }
    SetLastError(NO_ERROR);
    return it->second.node->fileType;
}

namespace wsim {
namespace {

// The open file behind a handle; null, with ERROR_INVALID_HANDLE, when
// the handle is no open file.
OpenFile *OpenFileOf(HANDLE file)
{
    auto it = g_fs.files.find(file);
    if (it == g_fs.files.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return &it->second;
}

// Every name in the tree that holds these contents: a file's hard links.
DWORD LinksTo(const Node &dir, const std::shared_ptr<std::string> &data)
{
    DWORD links = 0;
    for (const auto &child : dir.children)
        links += child->directory ? LinksTo(*child, data) : (child->data == data ? 1 : 0);
    return links;
}

// The long path of a node, from the root of C: on.
std::string PathOfNode(const Node &node)
{
    std::vector<const Node *> chain;
    for (const Node *at = &node; at && at->parent; at = at->parent)
        chain.push_back(at);
    std::u16string path = u"C:";
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        path += u"\\" + (*it)->name;
    if (chain.empty())
        path += u"\\";
    return detail::WideToAnsi(path);
}

}  // namespace
}  // namespace wsim

BOOL GetFileInformationByHandle(HANDLE file, LPBY_HANDLE_FILE_INFORMATION info)
{
    if (core::Faulted("GetFileInformationByHandle", "*"))
        return FALSE;
    OpenFile *open = OpenFileOf(file);
    if (!open)
        return FALSE;
    const Node &node = *open->node;
    memset(info, 0, sizeof(*info));
    info->dwFileAttributes = node.attributes | (node.reparseTarget.empty() ? 0 : FILE_ATTRIBUTE_REPARSE_POINT);
    info->dwVolumeSerialNumber = 0x1C2B3A49;
    info->nFileSizeLow = (DWORD)node.data->size();
    // A name whose deletion is pending still counts until its last handle
    // closes; one already gone from the tree counts for itself.
    info->nNumberOfLinks = node.directory ? 1 : std::max<DWORD>(1, LinksTo(*g_fs.root, node.data));
    info->nFileIndexLow = (DWORD)(uintptr_t)node.data.get();
    return TRUE;
}

BOOL SetEndOfFile(HANDLE file)
{
    if (core::Faulted("SetEndOfFile", "*"))
        return FALSE;
    OpenFile *open = OpenFileOf(file);
    if (!open)
        return FALSE;
    if (!Wants(open->access, kWriteRights))
        return Refuse(ERROR_ACCESS_DENIED);
    // A directory has no end of file to set.
    if (open->node->directory)
        return Refuse(ERROR_INVALID_PARAMETER);
    open->node->data->resize(open->position);
    return TRUE;
}

BOOL CreateHardLinkA(LPCSTR newName, LPCSTR existingName, LPSECURITY_ATTRIBUTES sa)
{
    (void)sa;
    if (core::Faulted("CreateHardLinkA", TargetOf(newName)))
        return FALSE;
    Place source, target;
    DWORD error;
    if (!Locate(existingName, false, &source, &error) || !Locate(newName, false, &target, &error))
        return Refuse(error);
    if (!source.node)
        return Refuse(MissingError(source));
    if (source.node->directory || !target.parent)
        return Refuse(ERROR_ACCESS_DENIED);
    if (target.node)
        return Refuse(ERROR_ALREADY_EXISTS);
    std::shared_ptr<Node> link = AddNode(*target.parent, target.leaf, false);
    link->data = source.node->data;
    link->attributes = source.node->attributes;
    return TRUE;
}

namespace wsim {

namespace core {

bool HasVistaFileCalls()
{
    return g_fs.hasVistaFileCalls;
}

bool HasRedirectionTrust()
{
    return g_fs.hasRedirectionTrust;
}

}  // namespace core

void SetNewerFileCalls(bool vistaFileCalls, bool redirectionTrust)
{
    core::EnsureMachine();
    g_fs.hasVistaFileCalls = vistaFileCalls;
    g_fs.hasRedirectionTrust = redirectionTrust;
}

void PutSymbolicLink(const char *path, const char *target, bool madeByUser)
{
    PutFile(path, "");
    std::shared_ptr<Node> link = ExistingNode(path);
    link->reparseTarget = target;
    link->madeByUser = madeByUser;
}

void PutDevice(const char *path, DWORD fileType)
{
    PutFile(path, "");
    ExistingNode(path)->fileType = fileType;
}

void PutJunction(const char *path, const char *target, bool madeByUser)
{
    MakeDir(path);
    std::shared_ptr<Node> junction = ExistingNode(path);
    if (!junction->children.empty())
        Misuse("a junction must be an empty directory", path);
    junction->reparseTarget = target;
    junction->madeByUser = madeByUser;
}

}  // namespace wsim

// The path as Windows knows it, past every link: "\\?\" and the long path.
DWORD GetFinalPathNameByHandleA(HANDLE file, LPSTR path, DWORD size, DWORD flags)
{
    if (core::Faulted("GetFinalPathNameByHandleA", "*"))
        return 0;
    OpenFile *open = OpenFileOf(file);
    if (!open)
        return 0;
    if (flags != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const Node &node = *open->node;
    if (!node.parent && &node != g_fs.root.get()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    // Unlike the UTF-16 call, a buffer too small gets the length without
    // the NUL.
    std::string finalPath = "\\\\?\\" + PathOfNode(node);
    if (!path || finalPath.size() + 1 > size)
        return (DWORD)finalPath.size();
    return CopyPathOut(finalPath, path, size);
}

// The deletion of the handle's own name is modelled: it takes the delete
// right, and the name goes when the last handle to it closes. An I/O
// priority hint is taken and has no effect. A class that only a query can
// have is refused; a buffer too short for its class is refused before
// anything else is looked at. Files have no times here, so their basic
// information (and the other settable classes) is not modelled.
BOOL SetFileInformationByHandle(HANDLE file, int infoClass, LPVOID info, DWORD size)
{
    if (core::Faulted("SetFileInformationByHandle", "*"))
        return FALSE;
    OpenFile *open = OpenFileOf(file);
    if (!open)
        return FALSE;
    DWORD needed;
    switch (infoClass) {
    case FileDispositionInfo:
        needed = sizeof(FILE_DISPOSITION_INFO);
        break;
    case FileIoPriorityHintInfo:
        needed = sizeof(FILE_IO_PRIORITY_HINT_INFO);
        break;
    case FileBasicInfo:
        needed = sizeof(FILE_BASIC_INFO);
        break;
    case FileRenameInfo:
    case FileAllocationInfo:
    case FileEndOfFileInfo:
        return Refuse(ERROR_CALL_NOT_IMPLEMENTED);
    default:
        return Refuse(ERROR_INVALID_PARAMETER);
    }
    if (!info || size < needed)
        return Refuse(ERROR_BAD_LENGTH);
    if (infoClass == FileBasicInfo)
        return Refuse(ERROR_CALL_NOT_IMPLEMENTED);
    if (infoClass == FileIoPriorityHintInfo) {
        // Read as a number: a caller's hint may be outside the enumeration.
        int hint;
        memcpy(&hint, info, sizeof(hint));
        return hint >= IoPriorityHintVeryLow && hint < MaximumIoPriorityHintType ? TRUE
                                                                                  : Refuse(ERROR_INVALID_PARAMETER);
    }
    if (!Wants(open->access, DELETE))
        return Refuse(ERROR_ACCESS_DENIED);
    Node &node = *open->node;
    if (node.attributes & FILE_ATTRIBUTE_READONLY)
        return Refuse(ERROR_ACCESS_DENIED);
    bool deletes = ((FILE_DISPOSITION_INFO *)info)->DeleteFile != 0;
    // Only an empty directory can go, and never the root.
    if (deletes && node.directory && !node.parent)
        return Refuse(ERROR_ACCESS_DENIED);
    if (deletes && node.directory && !node.children.empty())
        return Refuse(ERROR_DIR_NOT_EMPTY);
    node.deletePending = deletes;
    return TRUE;
}

// Only the redirection trust policy is modelled, and only where the
// system has it (Windows 10 and 11, 22H2 and later).
BOOL SetProcessMitigationPolicy(int policy, LPVOID buffer, SIZE_T size)
{
    if (core::Faulted("SetProcessMitigationPolicy", "*"))
        return FALSE;
    if (policy != ProcessRedirectionTrustPolicy || !g_fs.hasRedirectionTrust || !buffer || size != sizeof(DWORD))
        return Refuse(ERROR_INVALID_PARAMETER);
    g_fs.redirectionTrust = (*(DWORD *)buffer & 1) != 0;
    return TRUE;
}

BOOL CloseHandle(HANDLE handle)
{
    auto it = g_fs.files.find(handle);
    if (core::Faulted("CloseHandle", it == g_fs.files.end() ? std::string() : it->second.path))
        return FALSE;
    // The pseudo handle of the current process closes without effect.
    if (handle == (HANDLE)(LONG_PTR)-1)
        return TRUE;
    if (it != g_fs.files.end()) {
        std::shared_ptr<Node> node = it->second.node;
        g_fs.closes.push_back({it->second.path, detail::RecordTime(), detail::NextRecordSeq()});
        if (it->second.deleteOnClose)
            node->deletePending = true;
        g_fs.files.erase(it);
        // A directory that holds entries when its deletion comes due stays,
        // as only an empty one can be removed.
        if (node->deletePending && OpenCount(*node) == 0 && node->directory && !node->children.empty())
            node->deletePending = false;
        if (node->deletePending && OpenCount(*node) == 0)
            Unlink(node);
        return TRUE;
    }
    if (core::CloseForeignHandle(handle))
        return TRUE;
    return Refuse(ERROR_INVALID_HANDLE);
}

HANDLE FindFirstFileA(LPCSTR name, LPWIN32_FIND_DATAA data)
{
    if (core::Faulted("FindFirstFileA", TargetOf(name)))
        return INVALID_HANDLE_VALUE;
    Place place;
    DWORD error;
    if (!Locate(name, true, &place, &error)) {
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    OpenFind find{{}, 0};
    if (place.parent && !place.trailingSlash) {
        if (HasWildcards(place.leaf)) {
            // Every directory but the root lists itself and its parent.
            if (place.parent != g_fs.root)
                for (const char16_t *dot : {u".", u".."})
                    if (Matches(place.leaf, dot))
                        find.entries.push_back(FindEntry{dot, u"", FILE_ATTRIBUTE_DIRECTORY, 0});
            for (const auto &child : place.parent->children)
                if (Matches(place.leaf, child->name) ||
                    (!child->shortName.empty() && Matches(place.leaf, child->shortName)))
                    find.entries.push_back(EntryOf(*child, child->name));
        } else if (place.node) {
            find.entries.push_back(EntryOf(*place.node, place.node->name));
        }
    }
    // "name\" of a name that is not there names a missing directory.
    if (find.entries.empty()) {
        SetLastError(place.parent && place.trailingSlash && !place.node ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    FillFindData(find.entries[0], data);
    find.next = 1;
    HANDLE handle = (HANDLE)core::NextHandleValue();
    g_fs.finds[handle] = find;
    return handle;
}

BOOL FindNextFileA(HANDLE find, LPWIN32_FIND_DATAA data)
{
    if (core::Faulted("FindNextFileA", "*"))
        return FALSE;
    auto it = g_fs.finds.find(find);
    if (it == g_fs.finds.end())
        return Refuse(ERROR_INVALID_HANDLE);
    OpenFind &open = it->second;
    if (open.next >= open.entries.size())
        return Refuse(ERROR_NO_MORE_FILES);
    FillFindData(open.entries[open.next++], data);
    return TRUE;
}

BOOL FindClose(HANDLE find)
{
    if (core::Faulted("FindClose", "*"))
        return FALSE;
    if (g_fs.finds.erase(find) == 0)
        return Refuse(ERROR_INVALID_HANDLE);
    return TRUE;
}

BOOL DeleteFileA(LPCSTR name)
{
    if (core::Faulted("DeleteFileA", TargetOf(name)))
        return FALSE;
    Place place;
    DWORD error;
    if (!Locate(name, false, &place, &error))
        return Refuse(error);
    if (!place.node)
        return Refuse(MissingError(place));
    std::shared_ptr<Node> node = place.node;
    if (!place.parent || node->directory || node->deletePending || (node->attributes & FILE_ATTRIBUTE_READONLY))
        return Refuse(ERROR_ACCESS_DENIED);
    if (!SharingAllows(*node, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE))
        return Refuse(ERROR_SHARING_VIOLATION);
    // Open with FILE_SHARE_DELETE: the name stays until the last handle
    // closes, as on Windows.
    if (OpenCount(*node) > 0)
        node->deletePending = true;
    else
        Unlink(node);
    return TRUE;
}

BOOL MoveFileA(LPCSTR from, LPCSTR to)
{
    return MoveEntry("MoveFileA", from, to, 0) ? TRUE : FALSE;
}

BOOL MoveFileExA(LPCSTR from, LPCSTR to, DWORD flags)
{
    return MoveEntry("MoveFileExA", from, to, flags) ? TRUE : FALSE;
}

BOOL CreateDirectoryA(LPCSTR name, LPSECURITY_ATTRIBUTES sa)
{
    (void)sa;
    if (core::Faulted("CreateDirectoryA", TargetOf(name)))
        return FALSE;
    // Directories leave room in MAX_PATH for an 8.3 file name inside them.
    if (name && strlen(name) > MAX_PATH - 12)
        return Refuse(ERROR_FILENAME_EXCED_RANGE);
    Place place;
    DWORD error;
    if (!Locate(name, false, &place, &error))
        return Refuse(error);
    if (place.node)
        return Refuse(ERROR_ALREADY_EXISTS);
    AddNode(*place.parent, place.leaf, true);
    return TRUE;
}

BOOL RemoveDirectoryA(LPCSTR name)
{
    if (core::Faulted("RemoveDirectoryA", TargetOf(name)))
        return FALSE;
    Place place;
    DWORD error;
    if (!Locate(name, false, &place, &error))
        return Refuse(error);
    if (!place.node)
        return Refuse(MissingError(place));
    if (!place.parent)
        return Refuse(ERROR_ACCESS_DENIED);
    if (!place.node->directory)
        return Refuse(ERROR_DIRECTORY);
    if (!place.node->children.empty())
        return Refuse(ERROR_DIR_NOT_EMPTY);
    if (place.node->heldByOthers > 0)
        return Refuse(ERROR_SHARING_VIOLATION);
    Unlink(place.node);
    return TRUE;
}

DWORD GetFileAttributesA(LPCSTR name)
{
    if (core::Faulted("GetFileAttributesA", TargetOf(name)))
        return INVALID_FILE_ATTRIBUTES;
    Place place;
    DWORD error;
    if (!Locate(name, false, &place, &error)) {
        SetLastError(error);
        return INVALID_FILE_ATTRIBUTES;
    }
    if (!place.node) {
        SetLastError(MissingError(place));
        return INVALID_FILE_ATTRIBUTES;
    }
    return place.node->attributes | (place.node->reparseTarget.empty() ? 0 : FILE_ATTRIBUTE_REPARSE_POINT);
}

DWORD GetLongPathNameA(LPCSTR shortPath, LPSTR longPath, DWORD size)
{
    if (core::Faulted("GetLongPathNameA", TargetOf(shortPath)))
        return 0;
    std::string result;
    DWORD error;
    if (!PathForm(shortPath, true, &result, &error, true)) {
        SetLastError(error);
        return 0;
    }
    return CopyPathOut(result, longPath, longPath ? size : 0);
}

DWORD GetShortPathNameA(LPCSTR longPath, LPSTR shortPath, DWORD size)
{
    if (core::Faulted("GetShortPathNameA", TargetOf(longPath)))
        return 0;
    std::string result;
    DWORD error;
    if (!PathForm(longPath, false, &result, &error)) {
        SetLastError(error);
        return 0;
    }
    return CopyPathOut(result, shortPath, shortPath ? size : 0);
}

namespace wsim {
namespace {

// What GetFullPathNameA makes of a path, without looking anything up: "/"
// reads as "\", a relative path continues from the current directory (on
// C:; the current directory of every other drive is its root), a path
// without a drive is on C:, repeated separators count once, "." and ".."
// are folded, and a trailing separator stays. A UNC path is only given
// its backslashes.
std::u16string FullPathOf(std::u16string path)
{
    std::replace(path.begin(), path.end(), u'/', u'\\');
    if (path.size() >= 2 && path[0] == u'\\' && path[1] == u'\\')
        return path;
    path = WithCurrentDirectory(path);
    std::u16string drive = u"C:";
    size_t start = 0;
    if (path.size() >= 2 && path[1] == u':') {
        drive = path.substr(0, 2);
        drive[0] = core::UpcaseChar(drive[0]);
        start = 2;
    }
    std::vector<std::u16string> parts;
    FoldComponents(path, start, &parts);
    std::u16string full = drive;
    for (const std::u16string &part : parts)
        full += u"\\" + part;
    if (parts.empty() || path.back() == u'\\')
        full += u"\\";
    return full;
}

}  // namespace
}  // namespace wsim

namespace wsim {
namespace detail {

std::string FullPathOfText(const std::string &path)
{
    return WideToAnsi(FullPathOf(AnsiToWide(path)));
}

}  // namespace detail
}  // namespace wsim

DWORD GetFullPathNameA(LPCSTR name, DWORD size, LPSTR buffer, LPSTR *filePart)
{
    wsim::core::EnsureMachine();
    if (wsim::core::Faulted("GetFullPathNameA", wsim::TargetOf(name)))
        return 0;
    if (!name || !name[0]) {
        SetLastError(ERROR_INVALID_NAME);
        return 0;
    }
    // The ANSI call takes at most MAX_PATH characters, as Windows does.
    if (strlen(name) >= MAX_PATH) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return 0;
    }
    std::string full = wsim::detail::WideToAnsi(wsim::FullPathOf(wsim::detail::AnsiToWide(name)));
    DWORD result = wsim::CopyPathOut(full, buffer, buffer ? size : 0);
    if (result < size && filePart) {
        LPSTR last = buffer + full.rfind('\\') + 1;
        *filePart = *last ? last : NULL;
    }
    return result;
}

DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer)
{
    wsim::core::EnsureMachine();
    std::u16string folder = wsim::g_fs.currentDir;
    if (folder.size() == 2)
        folder += u"\\";
    return wsim::CopyPathOut(wsim::detail::WideToAnsi(folder), buffer, buffer ? size : 0);
}

// Only an existing directory can become the current one; it is kept in
// its full form, with the letter case as given.
BOOL SetCurrentDirectoryA(LPCSTR path)
{
    wsim::core::EnsureMachine();
    if (wsim::core::Faulted("SetCurrentDirectoryA", wsim::TargetOf(path)))
        return FALSE;
    wsim::Place place;
    DWORD error = 0;
    if (!wsim::Locate(path, false, &place, &error))
        return wsim::Refuse(error);
    if (!place.node)
        return wsim::Refuse(wsim::MissingError(place));
    if (!place.node->directory)
        return wsim::Refuse(ERROR_DIRECTORY);
    std::u16string folder = u"C:";
    for (const std::u16string &part : place.parts)
        folder += u"\\" + part;
    wsim::g_fs.currentDir = folder;
    return TRUE;
}

DWORD GetCurrentDirectoryW(DWORD size, LPWSTR buffer)
{
    char folder[MAX_PATH];
    DWORD length = GetCurrentDirectoryA(sizeof(folder), folder);
    if (length == 0 || length >= sizeof(folder))
        return 0;
    std::u16string wide = wsim::detail::AnsiToWide(folder);
    if (wide.size() + 1 > size)
        return (DWORD)wide.size() + 1;
    memcpy(buffer, wide.c_str(), (wide.size() + 1) * sizeof(WCHAR));
    return (DWORD)wide.size();
}

BOOL SetCurrentDirectoryW(LPCWSTR path)
{
    return SetCurrentDirectoryA(path ? wsim::detail::WideToAnsi(path).c_str() : nullptr);
}

// path\\PPPXXXX.TMP: up to three letters of the prefix and a number in hex.
// Without a number of the caller's, one is taken from the clock and counted
// up until the name is free, and the file is made there, empty.
UINT GetTempFileNameA(LPCSTR path, LPCSTR prefix, UINT unique, LPSTR tempFileName)
{
    wsim::core::EnsureMachine();
    if (!path || !tempFileName)
        return wsim::Refuse(ERROR_INVALID_PARAMETER);
    if (strlen(path) > MAX_PATH - 14)
        return wsim::Refuse(ERROR_BUFFER_OVERFLOW);
    std::string base = path;
    if (base.empty() || (base.back() != '\\' && base.back() != '/'))
        base += '\\';
    base += std::string(prefix ? prefix : "").substr(0, 3);
    UINT number = unique ? unique & 0xFFFF : (GetTickCount() & 0xFFFF);
    for (UINT tries = 0; tries < 0x10000; tries++, number = (number + 1) & 0xFFFF) {
        if (number == 0)
            continue;
        char name[MAX_PATH];
        snprintf(name, sizeof(name), "%s%X.TMP", base.c_str(), number);
        strcpy(tempFileName, name);
        if (unique)
            return unique;
        HANDLE file = wsim::OpenFileAt(name, name, GENERIC_WRITE, 0, CREATE_NEW, 0, 0);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            return number;
        }
        if (GetLastError() != ERROR_FILE_EXISTS)
            return 0;
    }
    return wsim::Refuse(ERROR_FILE_EXISTS);
}

// The contents and attributes of one file under a new name, made or
// replaced; a name taken stays when the caller asks to fail on it.
BOOL CopyFileA(LPCSTR existingName, LPCSTR newName, BOOL failIfExists)
{
    if (wsim::core::Faulted("CopyFileA", wsim::TargetOf(newName)))
        return FALSE;
    HANDLE source = wsim::OpenFileAt(existingName, wsim::TargetOf(existingName), GENERIC_READ,
                                     FILE_SHARE_READ | FILE_SHARE_DELETE, OPEN_EXISTING, 0, 0);
    if (source == INVALID_HANDLE_VALUE)
        return FALSE;
    const wsim::Node &from = *wsim::g_fs.files[source].node;
    HANDLE target = wsim::OpenFileAt(newName, wsim::TargetOf(newName), GENERIC_WRITE, 0,
                                     failIfExists ? CREATE_NEW : CREATE_ALWAYS, 0, 0);
    if (target != INVALID_HANDLE_VALUE) {
        wsim::Node &to = *wsim::g_fs.files[target].node;
        *to.data = *from.data;
        to.attributes = from.attributes;
        CloseHandle(target);
    }
    DWORD error = GetLastError();
    CloseHandle(source);
    if (target == INVALID_HANDLE_VALUE)
        return wsim::Refuse(error);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

// A program of the desktop started without a console has no standard
// handles: each of them is NULL.
HANDLE GetStdHandle(DWORD which)
{
    if (which == STD_INPUT_HANDLE || which == STD_OUTPUT_HANDLE || which == STD_ERROR_HANDLE)
        return NULL;
    SetLastError(ERROR_INVALID_HANDLE);
    return INVALID_HANDLE_VALUE;
}

// The name of the open file from the root of its volume, "\\dir\\name",
// in UTF-16 without a NUL; what does not fit is cut, and the status says
// so.
NTSTATUS NtQueryInformationFile(HANDLE file, PIO_STATUS_BLOCK io, PVOID info, ULONG length,
                                FILE_INFORMATION_CLASS infoClass)
{
    wsim::core::EnsureMachine();
    auto it = wsim::g_fs.files.find(file);
    if (it == wsim::g_fs.files.end())
        return STATUS_INVALID_HANDLE;
    if (infoClass != FileNameInformation)
        return STATUS_NOT_IMPLEMENTED;
    const ULONG header = offsetof(FILE_NAME_INFORMATION, FileName);
    if (length < header)
        return STATUS_INFO_LENGTH_MISMATCH;
    std::u16string name = wsim::detail::AnsiToWide(wsim::PathOfNode(*it->second.node).substr(2));
    FILE_NAME_INFORMATION *out = (FILE_NAME_INFORMATION *)info;
    ULONG bytes = (ULONG)(name.size() * sizeof(WCHAR));
    ULONG copied = std::min(bytes, (length - header) / (ULONG)sizeof(WCHAR) * (ULONG)sizeof(WCHAR));
    out->FileNameLength = bytes;
    memcpy(out->FileName, name.data(), copied);
    io->Status = copied < bytes ? STATUS_BUFFER_OVERFLOW : STATUS_SUCCESS;
    io->Information = header + copied;
    return io->Status;
}
