// The registry: keys and values in memory, names held in UTF-16 and
// compared without regard to case, subkeys kept in the order Windows
// enumerates them, values in the order they were created; key handles with
// the access they were opened with.
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

struct Value {
    std::u16string name;
    DWORD type;
    std::string data;
};

struct Key {
    std::u16string name;
    Key *parent = nullptr;
    std::vector<std::shared_ptr<Key>> children;  // enumeration order
    std::vector<Value> values;                   // creation order
    bool deleted = false;
    bool pinned = false;  // stands behind a predefined handle; never deleted
    // A link: opening it opens the key its "SymbolicLinkValue" names.
    bool link = false;
    bool isVolatile = false;  // made with REG_OPTION_VOLATILE
};

struct OpenKey {
    std::shared_ptr<Key> key;  // none for a handle through HKEY_CLASSES_ROOT
    REGSAM access;
    std::string path;  // root's short name and the path as opened, for faults
    // A handle through HKEY_CLASSES_ROOT holds its path below it, and every
    // call finds the key it shows anew.
    bool classes;
    std::vector<std::u16string> classesParts;
};

struct Registry {
    std::shared_ptr<Key> machine;
    std::shared_ptr<Key> users;
    std::shared_ptr<Key> currentUser;
    std::shared_ptr<Key> classes;
    std::map<HKEY, OpenKey> handles;
};

Registry g_reg;

const char kUserSid[] = "S-1-5-21-1004336348-1177238915-682003330-500";
const size_t kMaxKeyNameLength = 255;
const char16_t kLinkValue[] = u"SymbolicLinkValue";
// How many links one open may pass through.
const int kMaxLinkDepth = 16;

// A predefined key is known by the low 32 bits of its handle alone, as a
// 64-bit Windows reads them; the canonical handle, or null for any other.
HKEY Predefined(HKEY key)
{
    static const HKEY kPredefined[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS};
    for (HKEY predefined : kPredefined)
        if ((DWORD)(ULONG_PTR)key == (DWORD)(ULONG_PTR)predefined)
            return predefined;
    return nullptr;
}

bool IsPredefined(HKEY key)
{
    return Predefined(key) != nullptr;
}

std::shared_ptr<Key> PredefinedKey(HKEY key, std::string *name)
{
    key = Predefined(key);
    if (key == HKEY_LOCAL_MACHINE) {
        *name = "HKLM";
        return g_reg.machine;
    }
    if (key == HKEY_CURRENT_USER) {
        *name = "HKCU";
        return g_reg.currentUser;
    }
    if (key == HKEY_CLASSES_ROOT) {
        *name = "HKCR";
        return g_reg.classes;
    }
    *name = "HKU";
    return g_reg.users;
}

std::u16string Wide(LPCSTR text)
{
    return detail::AnsiToWide(text ? text : "");
}

// The subkey path split into components on its "\" characters (found on
// characters, not bytes: a double-byte character may end in 0x5C). A
// leading "\" makes the path bad, but under HKEY_CLASSES_ROOT, whose view
// skips it; repeated and trailing ones count as one, as Windows' own
// parser reads them: "Alpha\\\\Sub\\" in C source names Alpha\Sub.
bool SplitPath(const std::u16string &path, bool classes, std::vector<std::u16string> *parts)
{
    parts->clear();
    if (!path.empty() && path[0] == u'\\' && !classes)
        return false;
    size_t start = 0;
    while (start < path.size()) {
        size_t end = path.find(u'\\', start);
        if (end == std::u16string::npos)
            end = path.size();
        if (end > start)
            parts->push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return true;
}

std::string JoinPath(const std::string &base, const std::vector<std::u16string> &parts)
{
    std::string path = base;
    for (const std::u16string &part : parts)
        path += "\\" + detail::WideToAnsi(part);
    return path;
}

std::shared_ptr<Key> FindChild(const Key &key, const std::u16string &name)
{
    for (const auto &child : key.children)
        if (detail::SameWideName(child->name, name))
            return child;
    return nullptr;
}

std::shared_ptr<Key> AddChild(Key &key, const std::u16string &name)
{
    auto child = std::make_shared<Key>();
    child->name = name;
    child->parent = &key;
    auto at = key.children.begin();
    while (at != key.children.end() && detail::CompareWideNames((*at)->name, name) < 0)
        ++at;
    key.children.insert(at, child);
    return child;
}

Value *FindValue(Key &key, const std::u16string &name)
{
    for (Value &value : key.values)
        if (detail::SameWideName(value.name, name))
            return &value;
    return nullptr;
}

void SetValue(Key &key, const std::u16string &name, DWORD type, const void *data, DWORD size)
{
    std::string bytes(size ? (const char *)data : "", size);
    if (Value *existing = FindValue(key, name)) {
        existing->type = type;
        existing->data = bytes;
        return;
    }
    key.values.push_back(Value{name, type, bytes});
}

bool IsStringType(DWORD type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

std::u16string BytesToWide(const std::string &bytes)
{
    std::u16string wide;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        wide.push_back((char16_t)((BYTE)bytes[i] | ((BYTE)bytes[i + 1] << 8)));
    return wide;
}

std::string WideToBytes(const std::u16string &wide)
{
    std::string bytes;
    for (char16_t c : wide) {
        bytes.push_back((char)(c & 0xFF));
        bytes.push_back((char)(c >> 8));
    }
    return bytes;
}

// Strings are kept in UTF-16, as Windows keeps them; the ANSI calls
// convert on the way in and out.
std::string StoredFromAnsi(DWORD type, const void *data, DWORD size)
{
    std::string bytes(size ? (const char *)data : "", size);
    return IsStringType(type) ? WideToBytes(detail::AnsiToWide(bytes)) : bytes;
}

std::string AnsiFromStored(const Value &value)
{
    return IsStringType(value.type) ? detail::WideToAnsi(BytesToWide(value.data)) : value.data;
}

REGSAM MapAccess(REGSAM access)
{
    if (access & (MAXIMUM_ALLOWED | GENERIC_ALL))
        access |= KEY_ALL_ACCESS;
    if (access & GENERIC_READ)
        access |= KEY_READ;
    if (access & GENERIC_WRITE)
        access |= KEY_WRITE;
    if (access & GENERIC_EXECUTE)
        access |= KEY_READ;
    return access & (KEY_ALL_ACCESS | SYNCHRONIZE);
}

std::shared_ptr<Key> Walk(std::shared_ptr<Key> key, const std::vector<std::u16string> &parts)
{
    for (const std::u16string &part : parts) {
        key = FindChild(*key, part);
        if (!key)
            return nullptr;
    }
    return key;
}

std::shared_ptr<Key> CreatePath(std::shared_ptr<Key> key, const std::vector<std::u16string> &parts, bool *created)
{
    *created = false;
    for (const std::u16string &part : parts) {
        std::shared_ptr<Key> child = FindChild(*key, part);
        if (!child) {
            child = AddChild(*key, part);
            *created = true;
        }
        key = child;
    }
    return key;
}

Key *RootOf(const Key &key)
{
    const Key *at = &key;
    while (at->parent)
        at = at->parent;
    return const_cast<Key *>(at);
}

// A native name, "\REGISTRY\MACHINE\..." or "\REGISTRY\USER\...", as the
// predefined key of its hive and the path below it; false for any other.
bool SplitNativeName(const std::u16string &name, HKEY *hive, std::u16string *rest)
{
    static const std::u16string kMachine = u"\\REGISTRY\\MACHINE", kUser = u"\\REGISTRY\\USER";
    for (const std::u16string *prefix : {&kMachine, &kUser}) {
        if (name.size() < prefix->size() || !detail::SameWideName(name.substr(0, prefix->size()), *prefix))
            continue;
        if (name.size() > prefix->size() && name[prefix->size()] != u'\\')
            continue;
        *hive = prefix == &kMachine ? HKEY_LOCAL_MACHINE : HKEY_USERS;
        *rest = name.substr(std::min(name.size(), prefix->size() + 1));
        return true;
    }
    return false;
}

// The key a link names by its native name; null when the value is
// missing, malformed or names no existing key.
std::shared_ptr<Key> LinkTarget(Key &link)
{
    Value *value = FindValue(link, kLinkValue);
    if (!value || value->type != REG_LINK || value->data.size() % 2 != 0)
        return nullptr;
    std::u16string target = BytesToWide(value->data);
    while (!target.empty() && target.back() == 0)
        target.pop_back();
    HKEY hive;
    std::u16string rest;
    std::vector<std::u16string> parts;
    if (!SplitNativeName(target, &hive, &rest) || !SplitPath(rest, false, &parts))
        return nullptr;
    return Walk(hive == HKEY_LOCAL_MACHINE ? g_reg.machine : g_reg.users, parts);
}

// Goes from a link to the key it names. Since MS10-021 a link in a user's
// hive may not lead into the machine's hive: the open is refused.
LONG FollowLink(std::shared_ptr<Key> *key, int *depth)
{
    while ((*key)->link) {
        if (++*depth > kMaxLinkDepth)
            return ERROR_CANT_RESOLVE_FILENAME;
        std::shared_ptr<Key> target = LinkTarget(**key);
        if (!target)
            return ERROR_FILE_NOT_FOUND;
        if (RootOf(**key) == g_reg.users.get() && RootOf(*target) == g_reg.machine.get())
            return ERROR_ACCESS_DENIED;
        *key = target;
    }
    return ERROR_SUCCESS;
}

// Walks a path as the registry calls do: every link on the way is
// followed, the last key's too unless openLink asks for the link itself.
LONG WalkFollowing(std::shared_ptr<Key> key, const std::vector<std::u16string> &parts, bool openLink,
                   std::shared_ptr<Key> *found)
{
    int depth = 0;
    for (size_t i = 0; i < parts.size(); i++) {
        key = FindChild(*key, parts[i]);
        if (!key)
            return ERROR_FILE_NOT_FOUND;
        if (i + 1 < parts.size() || !openLink) {
            LONG error = FollowLink(&key, &depth);
            if (error != ERROR_SUCCESS)
                return error;
        }
    }
    *found = key;
    return ERROR_SUCCESS;
}

// Creates what is missing of a path, following the links on the way. A
// key made below a volatile one must be volatile too.
LONG CreateFollowing(std::shared_ptr<Key> key, const std::vector<std::u16string> &parts, DWORD options,
                     std::shared_ptr<Key> *found, bool *created)
{
    int depth = 0;
    *created = false;
    bool createLink = (options & REG_OPTION_CREATE_LINK) != 0;
    bool isVolatile = (options & REG_OPTION_VOLATILE) != 0;
    for (size_t i = 0; i < parts.size(); i++) {
        std::shared_ptr<Key> child = FindChild(*key, parts[i]);
        bool last = i + 1 == parts.size();
        if (!child) {
            if (key->isVolatile && !isVolatile)
                return ERROR_CHILD_MUST_BE_VOLATILE;
            child = AddChild(*key, parts[i]);
            child->isVolatile = isVolatile;
            *created = true;
        } else if (last && createLink) {
            return ERROR_ALREADY_EXISTS;
        } else if (!last || !(options & REG_OPTION_OPEN_LINK)) {
            LONG error = FollowLink(&child, &depth);
            if (error != ERROR_SUCCESS)
                return error;
        }
        key = child;
    }
    if (createLink && *created)
        key->link = true;
    *found = key;
    return ERROR_SUCCESS;
}

// HKEY_CLASSES_ROOT shows the user's classes (HKCU\Software\Classes) over
// the machine's: a path below it names the user's key where there is one,
// else the machine's, looked up afresh on every call.
std::shared_ptr<Key> UserClassesRoot()
{
    return g_reg.currentUser ? Walk(g_reg.currentUser, {u"Software", u"Classes"}) : nullptr;
}

LONG ShownClass(const std::vector<std::u16string> &parts, std::shared_ptr<Key> *shown)
{
    if (parts.empty()) {
        *shown = g_reg.classes;
        return ERROR_SUCCESS;
    }
    if (std::shared_ptr<Key> user = UserClassesRoot())
        if (WalkFollowing(user, parts, false, shown) == ERROR_SUCCESS)
            return ERROR_SUCCESS;
    return WalkFollowing(g_reg.classes, parts, false, shown);
}

// The path below HKEY_CLASSES_ROOT of the predefined handle or of a
// handle opened through it; false for a handle of another key.
bool ClassesPath(HKEY handle, std::vector<std::u16string> *parts)
{
    parts->clear();
    if (Predefined(handle) == HKEY_CLASSES_ROOT)
        return true;
    auto it = g_reg.handles.find(handle);
    if (it == g_reg.handles.end() || !it->second.classes)
        return false;
    *parts = it->second.classesParts;
    return true;
}

// The key behind a handle, checked for the rights the operation needs.
LONG Resolve(HKEY handle, REGSAM need, std::shared_ptr<Key> *key, std::string *path)
{
    if (IsPredefined(handle)) {
        *key = PredefinedKey(handle, path);
        return ERROR_SUCCESS;
    }
    auto it = g_reg.handles.find(handle);
    if (it == g_reg.handles.end())
        return ERROR_INVALID_HANDLE;
    if ((it->second.access & need) != need)
        return ERROR_ACCESS_DENIED;
    std::shared_ptr<Key> found = it->second.key;
    if (it->second.classes && ShownClass(it->second.classesParts, &found) != ERROR_SUCCESS)
        return ERROR_KEY_DELETED;
    if (found->deleted)
        return ERROR_KEY_DELETED;
    *key = found;
    *path = it->second.path;
    return ERROR_SUCCESS;
}

// The path of the key a call names, for faults, before anything is
// resolved (a fault applies whether or not the key exists).
std::string TargetPath(HKEY handle, const std::u16string &subKey)
{
    std::string base;
    if (IsPredefined(handle)) {
        PredefinedKey(handle, &base);
    } else {
        auto it = g_reg.handles.find(handle);
        if (it != g_reg.handles.end())
            base = it->second.path;
    }
    std::vector<std::u16string> parts;
    if (!SplitPath(subKey, false, &parts))
        return base + "\\" + detail::WideToAnsi(subKey);
    return JoinPath(base, parts);
}

std::string HandlePath(HKEY handle)
{
    return TargetPath(handle, u"");
}

// Registry calls report their error as their result and leave the last
// error alone. An enumeration can also fail at one index alone.
bool Faulted(const char *call, const std::string &target, LONG *error, long index = -1)
{
    DWORD code = 0;
    if (!detail::TakeFault(call, target, &code) &&
        (index < 0 || !core::MatchFault(call, target + "#" + std::to_string(index), &code)))
        return false;
    *error = (LONG)code;
    return true;
}

HKEY NewHandle(const std::shared_ptr<Key> &key, REGSAM access, const std::string &path)
{
    HKEY handle = (HKEY)core::NextHandleValue();
    g_reg.handles[handle] = OpenKey{key, MapAccess(access), path, false, {}};
    return handle;
}

// A handle through HKEY_CLASSES_ROOT; Windows marks it in its low bits
// (value 2), which no other handle has.
HKEY NewClassesHandle(const std::vector<std::u16string> &parts, REGSAM access, const std::string &path)
{
    HKEY handle = (HKEY)(core::NextHandleValue() | 2);
    g_reg.handles[handle] = OpenKey{nullptr, MapAccess(access), path, true, parts};
    return handle;
}

// RegOpenKeyEx and NtOpenKey. An empty name opens the key itself, a new
// handle to it but for a predefined key asked through advapi32, which
// gives that handle back. The ANSI call leaves *result alone when the
// handle it is given is bad; the others clear it first.
LONG OpenCommon(HKEY key, const std::u16string *subKey, DWORD options, REGSAM access, PHKEY result,
                bool clearFirst, bool samePredefined)
{
    if (!result)
        return ERROR_INVALID_PARAMETER;
    if (clearFirst)
        *result = nullptr;
    std::shared_ptr<Key> base;
    std::string basePath;
    LONG error = Resolve(key, 0, &base, &basePath);
    if (error != ERROR_SUCCESS)
        return error;
    *result = nullptr;
    if (samePredefined && IsPredefined(key) && (!subKey || subKey->empty())) {
        *result = Predefined(key);
        return ERROR_SUCCESS;
    }
    std::vector<std::u16string> classes, parts;
    bool inClasses = ClassesPath(key, &classes);
    if (!SplitPath(subKey ? *subKey : u"", inClasses, &parts))
        return ERROR_BAD_PATHNAME;
    std::string path = JoinPath(basePath, parts);
    if (inClasses) {
        classes.insert(classes.end(), parts.begin(), parts.end());
        std::shared_ptr<Key> shown;
        error = ShownClass(classes, &shown);
        if (error == ERROR_SUCCESS)
            *result = NewClassesHandle(classes, access, path);
        return error;
    }
    std::shared_ptr<Key> found;
    error = WalkFollowing(base, parts, (options & REG_OPTION_OPEN_LINK) != 0, &found);
    if (error == ERROR_SUCCESS)
        *result = NewHandle(found, access, path);
    return error;
}

// A key named by a handle and a path below it: the key the handle stands
// for, its path, and the path's parts, which through HKEY_CLASSES_ROOT
// follow the classes' own parts.
struct KeyPath {
    std::shared_ptr<Key> base;
    std::string basePath;
    std::vector<std::u16string> classes, parts;
    bool inClasses = false;
};

LONG ParseKeyPath(HKEY key, const std::u16string &subKey, KeyPath *out)
{
    LONG error = Resolve(key, 0, &out->base, &out->basePath);
    if (error != ERROR_SUCCESS)
        return error;
    out->inClasses = ClassesPath(key, &out->classes);
    return SplitPath(subKey, out->inClasses, &out->parts) ? ERROR_SUCCESS : ERROR_BAD_PATHNAME;
}

// RegCreateKeyEx and NtCreateKey. Creation is checked against the key's
// security, not against the rights the parent's handle was opened with: a
// handle opened to read creates subkeys too. A key made through
// HKEY_CLASSES_ROOT goes to the machine's classes, unless its parent is
// the user's alone.
LONG CreateCommon(HKEY key, const std::u16string &subKey, DWORD options, REGSAM access, PHKEY result,
                  LPDWORD disposition)
{
    if (!result)
        return ERROR_INVALID_PARAMETER;
    KeyPath named;
    LONG error = ParseKeyPath(key, subKey, &named);
    if (error != ERROR_SUCCESS)
        return error;
    for (const std::u16string &part : named.parts)
        if (part.size() > kMaxKeyNameLength)
            return ERROR_INVALID_PARAMETER;
    std::string path = JoinPath(named.basePath, named.parts);
    std::shared_ptr<Key> target;
    bool created = false;
    if (named.inClasses) {
        std::vector<std::u16string> parent = named.classes;
        named.classes.insert(named.classes.end(), named.parts.begin(), named.parts.end());
        if (ShownClass(named.classes, &target) == ERROR_SUCCESS) {
            if (options & REG_OPTION_CREATE_LINK)
                return ERROR_ALREADY_EXISTS;
        } else {
            std::shared_ptr<Key> root = Walk(g_reg.classes, parent) ? g_reg.classes : UserClassesRoot();
            error = CreateFollowing(root, named.classes, options, &target, &created);
            if (error != ERROR_SUCCESS)
                return error;
        }
        *result = NewClassesHandle(named.classes, access, path);
    } else {
        error = CreateFollowing(named.base, named.parts, options, &target, &created);
        if (error != ERROR_SUCCESS)
            return error;
        *result = NewHandle(target, access, path);
    }
    if (disposition)
        *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

void RemoveKey(const std::shared_ptr<Key> &target)
{
    Key *parent = target->parent;
    for (auto it = parent->children.begin(); it != parent->children.end(); ++it) {
        if (*it == target) {
            parent->children.erase(it);
            break;
        }
    }
    target->deleted = true;
    target->parent = nullptr;
}

// The name is opened as any open would, so a link at it leads the
// deletion to its target; through HKEY_CLASSES_ROOT the key shown goes.
// The rights the handle was opened with do not matter, "" included.
LONG DeleteCommon(HKEY key, const std::u16string &subKey)
{
    KeyPath named;
    LONG error = ParseKeyPath(key, subKey, &named);
    if (error != ERROR_SUCCESS)
        return error;
    std::shared_ptr<Key> target;
    if (named.inClasses) {
        named.classes.insert(named.classes.end(), named.parts.begin(), named.parts.end());
        error = ShownClass(named.classes, &target);
    } else {
        error = WalkFollowing(named.base, named.parts, false, &target);
    }
    if (error != ERROR_SUCCESS)
        return error;
    if (target->pinned || !target->children.empty())
        return ERROR_ACCESS_DENIED;
    RemoveKey(target);
    return ERROR_SUCCESS;
}

enum class Text { Ansi, Wide, Native };

// Sets a value; data comes in the caller's form. A link key holds its
// REG_LINK "SymbolicLinkValue" and nothing else. advapi32 counts the final
// NUL of a string whose size leaves it out, when the character after the
// counted ones is one. Data in the first 64 KB, which Windows never maps,
// cannot be read.
LONG SetValueCommon(HKEY key, const std::u16string &name, DWORD type, const BYTE *data, DWORD size, Text form)
{
    std::shared_ptr<Key> k;
    std::string path;
    LONG error = Resolve(key, KEY_SET_VALUE, &k, &path);
    if (error != ERROR_SUCCESS)
        return error;
    if (size && (ULONG_PTR)data < 0x10000)
        return ERROR_NOACCESS;
    if (k->link && (type != REG_LINK || !detail::SameWideName(name, kLinkValue)))
        return ERROR_ACCESS_DENIED;
    if (form == Text::Ansi) {
        if (IsStringType(type) && size && data[size - 1] && !data[size])
            size++;
        std::string stored = StoredFromAnsi(type, data, size);
        SetValue(*k, name, type, stored.data(), (DWORD)stored.size());
        return ERROR_SUCCESS;
    }
    if (form == Text::Wide && IsStringType(type) && size >= 2 && size % 2 == 0) {
        const WCHAR *text = (const WCHAR *)(const void *)data;
        if (text[size / 2 - 1] && !text[size / 2])
            size += 2;
    }
    SetValue(*k, name, type, data, size);
    return ERROR_SUCCESS;
}

LONG DeleteValueCommon(HKEY key, const std::u16string &name)
{
    std::shared_ptr<Key> k;
    std::string path;
    LONG error = Resolve(key, KEY_SET_VALUE, &k, &path);
    if (error != ERROR_SUCCESS)
        return error;
    for (auto it = k->values.begin(); it != k->values.end(); ++it) {
        if (detail::SameWideName(it->name, name)) {
            k->values.erase(it);
            return ERROR_SUCCESS;
        }
    }
    return ERROR_FILE_NOT_FOUND;
}

// Copies value data out as Windows does: a string that lacks its final NUL
// (a byte in ANSI, two in UTF-16) gets one when the buffer has room for
// it, uncounted.
void CopyData(DWORD type, const std::string &bytes, size_t nul, LPBYTE data, DWORD size)
{
    memcpy(data, bytes.data(), bytes.size());
    if (!IsStringType(type) || bytes.size() < nul || bytes.size() + nul > size)
        return;
    bool ended = true;
    for (size_t i = bytes.size() - nul; i < bytes.size(); i++)
        ended = ended && bytes[i] == 0;
    if (!ended)
        memset(data + bytes.size(), 0, nul);
}

LONG QueryValueCommon(HKEY key, const std::u16string &name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD dataLen, Text form)
{
    if (reserved || (data && !dataLen))
        return ERROR_INVALID_PARAMETER;
    // A call that asks for the size alone gets 0 when it fails (a missing
    // value, a key it may not read).
    if (!data && dataLen)
        *dataLen = 0;
    std::shared_ptr<Key> k;
    std::string path;
    LONG error = Resolve(key, KEY_QUERY_VALUE, &k, &path);
    if (error != ERROR_SUCCESS)
        return error;
    const Value *value = FindValue(*k, name);
    if (!value)
        return ERROR_FILE_NOT_FOUND;
    std::string bytes = form == Text::Ansi ? AnsiFromStored(*value) : value->data;
    DWORD size = (DWORD)bytes.size();
    LONG status = ERROR_SUCCESS;
    if (data && size > *dataLen)
        status = ERROR_MORE_DATA;
    else if (data)
        CopyData(value->type, bytes, form == Text::Ansi ? 1 : 2, data, *dataLen);
    if (type)
        *type = value->type;
    if (dataLen)
        *dataLen = size;
    return status;
}

// NTSTATUS of the Win32 errors the native calls meet.
NTSTATUS NativeStatus(LONG error)
{
    static const struct {
        LONG error;
        NTSTATUS status;
    } kStatuses[] = {
        {ERROR_SUCCESS, STATUS_SUCCESS},
        {ERROR_FILE_NOT_FOUND, STATUS_OBJECT_NAME_NOT_FOUND},
        {ERROR_ACCESS_DENIED, STATUS_ACCESS_DENIED},
        {ERROR_INVALID_HANDLE, STATUS_INVALID_HANDLE},
        {ERROR_INVALID_PARAMETER, STATUS_INVALID_PARAMETER},
        {ERROR_BAD_PATHNAME, STATUS_OBJECT_PATH_SYNTAX_BAD},
        {ERROR_ALREADY_EXISTS, STATUS_OBJECT_NAME_COLLISION},
        {ERROR_KEY_DELETED, STATUS_KEY_DELETED},
        {ERROR_CHILD_MUST_BE_VOLATILE, STATUS_CHILD_MUST_BE_VOLATILE},
    };
    for (const auto &entry : kStatuses)
        if (entry.error == error)
            return entry.status;
    return STATUS_INVALID_PARAMETER;
}

std::u16string NativeName(const UNICODE_STRING *name)
{
    return name && name->Buffer ? std::u16string(name->Buffer, name->Length / sizeof(WCHAR)) : std::u16string();
}

// The key a native call's attributes name: a path below RootDirectory, or
// with none a full native name, read as a path below its hive's
// predefined key.
bool NativeTarget(const OBJECT_ATTRIBUTES *attributes, HKEY *base, std::u16string *path)
{
    *path = NativeName(attributes->ObjectName);
    *base = (HKEY)attributes->RootDirectory;
    if (*base)
        return true;
    std::u16string rest;
    if (!SplitNativeName(*path, base, &rest))
        return false;
    *path = rest;
    return true;
}

// ---- Direct access for tests -------------------------------------------

[[noreturn]] void Misuse(const char *what, const char *path)
{
    fprintf(stderr, "winsim: %s: %s\n", what, path ? path : "(null)");
    abort();
}

// "HKLM\\SOFTWARE\\X" -> the root key and the components below it.
bool ParseFullPath(const char *keyPath, std::shared_ptr<Key> *root, std::string *rootName,
                   std::vector<std::u16string> *parts)
{
    core::EnsureMachine();
    std::string text(keyPath ? keyPath : "");
    size_t slash = text.find('\\');
    std::string first = text.substr(0, slash);
    HKEY predefined;
    if (detail::SameName(first, "HKLM") || detail::SameName(first, "HKEY_LOCAL_MACHINE"))
        predefined = HKEY_LOCAL_MACHINE;
    else if (detail::SameName(first, "HKCU") || detail::SameName(first, "HKEY_CURRENT_USER"))
        predefined = HKEY_CURRENT_USER;
    else if (detail::SameName(first, "HKCR") || detail::SameName(first, "HKEY_CLASSES_ROOT"))
        predefined = HKEY_CLASSES_ROOT;
    else if (detail::SameName(first, "HKU") || detail::SameName(first, "HKEY_USERS"))
        predefined = HKEY_USERS;
    else
        return false;
    *root = PredefinedKey(predefined, rootName);
    std::string rest = slash == std::string::npos ? "" : text.substr(slash + 1);
    return SplitPath(detail::AnsiToWide(rest), false, parts);
}

std::shared_ptr<Key> KeyAt(const char *keyPath)
{
    std::shared_ptr<Key> root;
    std::string rootName;
    std::vector<std::u16string> parts;
    if (!ParseFullPath(keyPath, &root, &rootName, &parts))
        return nullptr;
    return Walk(root, parts);
}

std::shared_ptr<Key> KeyCreatedAt(const char *keyPath)
{
    std::shared_ptr<Key> root;
    std::string rootName;
    std::vector<std::u16string> parts;
    if (!ParseFullPath(keyPath, &root, &rootName, &parts))
        Misuse("not a registry path", keyPath);
    bool created;
    return CreatePath(root, parts, &created);
}

void CollectKeys(const Key &key, const std::string &path, std::vector<std::string> *out)
{
    for (const auto &child : key.children) {
        std::string childPath = path + "\\" + detail::WideToAnsi(child->name);
        out->push_back(childPath);
        CollectKeys(*child, childPath, out);
    }
}

void PutExpandSz(const char *keyPath, const char *name, const char *text)
{
    PutValue(keyPath, name, REG_EXPAND_SZ, text, (DWORD)strlen(text) + 1);
}

}  // namespace

namespace core {

void ResetRegistry()
{
    g_reg.handles.clear();
    g_reg.machine = std::make_shared<Key>();
    g_reg.users = std::make_shared<Key>();
    g_reg.machine->pinned = g_reg.users->pinned = true;

    static const char *const kMachineKeys[] = {
        "HKLM\\HARDWARE\\DESCRIPTION\\System",
        "HKLM\\SAM\\SAM",
        "HKLM\\SECURITY\\Policy",
        "HKLM\\SOFTWARE\\Classes\\CLSID",
        "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
        "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
        "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
        "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
        "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment",
        "HKLM\\SYSTEM\\CurrentControlSet\\Services",
        "HKU\\.DEFAULT\\Software",
    };
    g_reg.classes = nullptr;
    g_reg.currentUser = nullptr;
    for (const char *path : kMachineKeys)
        KeyCreatedAt(path);
    g_reg.classes = KeyAt("HKLM\\SOFTWARE\\Classes");
    g_reg.classes->pinned = true;
    std::string user = std::string("HKU\\") + kUserSid;
    g_reg.currentUser = KeyCreatedAt(user.c_str());
    g_reg.currentUser->pinned = true;

    static const char *const kUserKeys[] = {
        "HKCU\\Control Panel\\Desktop",
        "HKCU\\Environment",
        "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run",
    };
    for (const char *path : kUserKeys)
        KeyCreatedAt(path);
    PutSz("HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "CurrentVersion", "5.0");
    PutSz("HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "SystemRoot", "C:\\WINNT");
    PutExpandSz("HKCU\\Environment", "TEMP", "%USERPROFILE%\\Local Settings\\Temp");
    PutExpandSz("HKCU\\Environment", "TMP", "%USERPROFILE%\\Local Settings\\Temp");
}

}  // namespace core

// ---- Direct access for tests ---------------------------------------------

bool KeyExists(const char *keyPath)
{
    return KeyAt(keyPath) != nullptr;
}

void CreateKey(const char *keyPath)
{
    KeyCreatedAt(keyPath);
}

void PutValue(const char *keyPath, const char *name, DWORD type, const void *data, DWORD size)
{
    std::shared_ptr<Key> key = KeyCreatedAt(keyPath);
    std::string stored = StoredFromAnsi(type, data, size);
    SetValue(*key, detail::AnsiToWide(name ? name : ""), type, stored.data(), (DWORD)stored.size());
}

void PutSz(const char *keyPath, const char *name, const char *text)
{
    PutValue(keyPath, name, REG_SZ, text, (DWORD)strlen(text) + 1);
}

void PutDword(const char *keyPath, const char *name, DWORD number)
{
    BYTE bytes[4] = {(BYTE)number, (BYTE)(number >> 8), (BYTE)(number >> 16), (BYTE)(number >> 24)};
    PutValue(keyPath, name, REG_DWORD, bytes, 4);
}

bool GetValue(const char *keyPath, const char *name, DWORD *type, std::string *data)
{
    std::shared_ptr<Key> key = KeyAt(keyPath);
    if (!key)
        return false;
    Value *value = FindValue(*key, detail::AnsiToWide(name ? name : ""));
    if (!value)
        return false;
    if (type)
        *type = value->type;
    if (data)
        *data = AnsiFromStored(*value);
    return true;
}

std::vector<std::string> SubkeyNames(const char *keyPath)
{
    std::vector<std::string> names;
    if (std::shared_ptr<Key> key = KeyAt(keyPath))
        for (const auto &child : key->children)
            names.push_back(detail::WideToAnsi(child->name));
    return names;
}

std::vector<std::string> ValueNames(const char *keyPath)
{
    std::vector<std::string> names;
    if (std::shared_ptr<Key> key = KeyAt(keyPath))
        for (const Value &value : key->values)
            names.push_back(detail::WideToAnsi(value.name));
    return names;
}

std::vector<std::string> AllKeys(const char *rootName)
{
    std::shared_ptr<Key> root;
    std::string name;
    std::vector<std::u16string> parts;
    std::vector<std::string> keys;
    if (!ParseFullPath(rootName, &root, &name, &parts) || !parts.empty())
        Misuse("not a registry root", rootName);
    CollectKeys(*root, name, &keys);
    return keys;
}

void PutRegistryLink(const char *keyPath, const char *targetPath)
{
    std::shared_ptr<Key> link = KeyCreatedAt(keyPath);
    if (!link->children.empty())
        Misuse("a link must have no subkeys", keyPath);
    std::shared_ptr<Key> root;
    std::string rootName;
    std::vector<std::u16string> parts;
    if (!ParseFullPath(targetPath, &root, &rootName, &parts))
        Misuse("not a registry path", targetPath);
    std::u16string target = root == g_reg.machine ? u"\\REGISTRY\\MACHINE" : u"\\REGISTRY\\USER";
    std::vector<const Key *> chain;
    for (const Key *at = root.get(); at->parent; at = at->parent)
        chain.push_back(at);
    for (auto at = chain.rbegin(); at != chain.rend(); ++at)
        target += u"\\" + (*at)->name;
    for (const std::u16string &part : parts)
        target += u"\\" + part;
    std::string bytes = WideToBytes(target);
    link->link = true;
    link->values.clear();
    SetValue(*link, kLinkValue, REG_LINK, bytes.data(), (DWORD)bytes.size());
}

int OpenKeyHandles()
{
    core::EnsureMachine();
    return (int)g_reg.handles.size();
}

}  // namespace wsim

using namespace wsim;

LSTATUS RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result)
{
    LONG error;
    std::u16string wide = Wide(subKey);
    if (Faulted("RegOpenKeyExA", TargetPath(key, wide), &error))
        return error;
    return OpenCommon(key, subKey ? &wide : nullptr, options, access, result, false, true);
}

LSTATUS RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result)
{
    LONG error;
    std::u16string wide = subKey ? subKey : u"";
    if (Faulted("RegOpenKeyExW", TargetPath(key, wide), &error))
        return error;
    return OpenCommon(key, subKey ? &wide : nullptr, options, access, result, true, true);
}

// An empty name gives back the handle it was given, whatever the key.
LSTATUS RegOpenKeyA(HKEY key, LPCSTR subKey, PHKEY result)
{
    LONG error;
    std::u16string wide = Wide(subKey);
    if (Faulted("RegOpenKeyA", TargetPath(key, wide), &error))
        return error;
    if (!result)
        return ERROR_INVALID_PARAMETER;
    if (wide.empty()) {
        *result = key;
        return ERROR_SUCCESS;
    }
    return OpenCommon(key, &wide, 0, MAXIMUM_ALLOWED, result, false, true);
}

LSTATUS RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR className, DWORD options, REGSAM access,
                        LPSECURITY_ATTRIBUTES sa, PHKEY result, LPDWORD disposition)
{
    (void)reserved;
    (void)className;
    (void)sa;
    LONG error;
    std::u16string wide = Wide(subKey);
    if (Faulted("RegCreateKeyExA", TargetPath(key, wide), &error))
        return error;
    return CreateCommon(key, wide, options, access, result, disposition);
}

LSTATUS RegCreateKeyA(HKEY key, LPCSTR subKey, PHKEY result)
{
    LONG error;
    std::u16string wide = Wide(subKey);
    if (Faulted("RegCreateKeyA", TargetPath(key, wide), &error))
        return error;
    return CreateCommon(key, wide, 0, MAXIMUM_ALLOWED, result, nullptr);
}

LSTATUS RegCloseKey(HKEY key)
{
    LONG error;
    if (Faulted("RegCloseKey", HandlePath(key), &error))
        return error;
    if (IsPredefined(key))
        return ERROR_SUCCESS;
    if (g_reg.handles.erase(key) == 0)
        return ERROR_INVALID_HANDLE;
    return ERROR_SUCCESS;
}

LSTATUS RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameLen, LPDWORD reserved, LPSTR className,
                      LPDWORD classLen, PFILETIME lastWrite)
{
    LONG error;
    std::string path = HandlePath(key);
    if (Faulted("RegEnumKeyExA", path, &error, index))
        return error;
    if (reserved || !name || !nameLen)
        return ERROR_INVALID_PARAMETER;
    std::shared_ptr<Key> k;
    error = Resolve(key, KEY_ENUMERATE_SUB_KEYS, &k, &path);
    if (error != ERROR_SUCCESS)
        return error;
    if (index >= k->children.size())
        return ERROR_NO_MORE_ITEMS;
    std::string ansi = detail::WideToAnsi(k->children[index]->name);
    if (ansi.size() >= *nameLen || (className && classLen && *classLen < 1))
        return ERROR_MORE_DATA;
    memcpy(name, ansi.c_str(), ansi.size() + 1);
    *nameLen = (DWORD)ansi.size();
    if (className && classLen)
        className[0] = 0;
    if (classLen)
        *classLen = 0;
    if (lastWrite)
        lastWrite->dwLowDateTime = lastWrite->dwHighDateTime = 0;
    return ERROR_SUCCESS;
}

LSTATUS RegEnumKeyA(HKEY key, DWORD index, LPSTR name, DWORD nameSize)
{
    return RegEnumKeyExA(key, index, name, &nameSize, nullptr, nullptr, nullptr, nullptr);
}

LSTATUS RegEnumValueA(HKEY key, DWORD index, LPSTR name, LPDWORD nameLen, LPDWORD reserved, LPDWORD type,
                      LPBYTE data, LPDWORD dataLen)
{
    LONG error;
    std::string path = HandlePath(key);
    if (Faulted("RegEnumValueA", path, &error, index))
        return error;
    if (reserved || !name || !nameLen || (data && !dataLen))
        return ERROR_INVALID_PARAMETER;
    std::shared_ptr<Key> k;
    error = Resolve(key, KEY_QUERY_VALUE, &k, &path);
    if (error != ERROR_SUCCESS)
        return error;
    if (index >= k->values.size())
        return ERROR_NO_MORE_ITEMS;
    const Value &value = k->values[index];
    std::string bytes = AnsiFromStored(value);
    DWORD size = (DWORD)bytes.size();

    // The ANSI call looks at the data first: when it does not fit, neither
    // the data nor the name buffer is touched, and the name length stays as
    // it was. Only when the data fits does the name's own fit matter; a
    // name that does not fit is then cut to the buffer, with its NUL.
    LONG status = ERROR_SUCCESS;
    if (data && size > *dataLen)
        status = ERROR_MORE_DATA;
    else if (data)
        CopyData(value.type, bytes, 1, data, *dataLen);
    if (status == ERROR_SUCCESS) {
        std::string ansi = detail::WideToAnsi(value.name);
        if (ansi.size() >= *nameLen) {
            status = ERROR_MORE_DATA;
            if (*nameLen) {
                memcpy(name, ansi.data(), *nameLen - 1);
                name[*nameLen - 1] = 0;
            }
        } else {
            memcpy(name, ansi.c_str(), ansi.size() + 1);
            *nameLen = (DWORD)ansi.size();
        }
    }
    if (type)
        *type = value.type;
    if (dataLen)
        *dataLen = size;
    return status;
}

// The UTF-16 call looks at the name first: when it does not fit, nothing
// is written but the type and the data's size. The name then goes out
// whether or not the data fits.
LSTATUS RegEnumValueW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameLen, LPDWORD reserved, LPDWORD type,
                      LPBYTE data, LPDWORD dataLen)
{
    LONG error;
    std::string path = HandlePath(key);
    if (Faulted("RegEnumValueW", path, &error, index))
        return error;
    if (reserved || !name || !nameLen || (data && !dataLen))
        return ERROR_INVALID_PARAMETER;
    std::shared_ptr<Key> k;
    error = Resolve(key, KEY_QUERY_VALUE, &k, &path);
    if (error != ERROR_SUCCESS)
        return error;
    if (index >= k->values.size())
        return ERROR_NO_MORE_ITEMS;
    const Value &value = k->values[index];
    DWORD size = (DWORD)value.data.size();
    LONG status = ERROR_SUCCESS;
    if (value.name.size() >= *nameLen) {
        status = ERROR_MORE_DATA;
    } else {
        memcpy(name, value.name.c_str(), (value.name.size() + 1) * sizeof(WCHAR));
        *nameLen = (DWORD)value.name.size();
        if (data && size > *dataLen)
            status = ERROR_MORE_DATA;
        else if (data)
            CopyData(value.type, value.data, 2, data, *dataLen);
    }
    if (type)
        *type = value.type;
    if (dataLen)
        *dataLen = size;
    return status;
}

LSTATUS RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataLen)
{
    LONG error;
    if (Faulted("RegQueryValueExA", HandlePath(key) + "|" + (name ? name : ""), &error))
        return error;
    return QueryValueCommon(key, Wide(name), reserved, type, data, dataLen, Text::Ansi);
}

LSTATUS RegQueryValueExW(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataLen)
{
    LONG error;
    std::u16string wide = name ? name : u"";
    if (Faulted("RegQueryValueExW", HandlePath(key) + "|" + detail::WideToAnsi(wide), &error))
        return error;
    return QueryValueCommon(key, wide, reserved, type, data, dataLen, Text::Wide);
}

LSTATUS RegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE *data, DWORD dataLen)
{
    (void)reserved;
    LONG error;
    if (Faulted("RegSetValueExA", HandlePath(key) + "|" + (name ? name : ""), &error))
        return error;
    return SetValueCommon(key, Wide(name), type, data, dataLen, Text::Ansi);
}

LSTATUS RegSetValueExW(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE *data, DWORD dataLen)
{
    (void)reserved;
    LONG error;
    std::u16string wide = name ? name : u"";
    if (Faulted("RegSetValueExW", HandlePath(key) + "|" + detail::WideToAnsi(wide), &error))
        return error;
    return SetValueCommon(key, wide, type, data, dataLen, Text::Wide);
}

namespace {

// RegSetValue: the default value of the subkey, made if missing, set to
// the string up to its first NUL whatever size is given.
LONG SetDefaultValue(HKEY key, const std::u16string &subKey, DWORD type, const BYTE *text, DWORD size, Text form)
{
    if (type != REG_SZ || !text)
        return ERROR_INVALID_PARAMETER;
    HKEY target = key;
    if (!subKey.empty()) {
        LONG error = CreateCommon(key, subKey, 0, KEY_SET_VALUE, &target, nullptr);
        if (error != ERROR_SUCCESS)
            return error;
    }
    LONG error = SetValueCommon(target, u"", REG_SZ, text, size, form);
    if (target != key)
        g_reg.handles.erase(target);
    return error;
}

}  // namespace

LSTATUS RegSetValueA(HKEY key, LPCSTR subKey, DWORD type, LPCSTR data, DWORD size)
{
    (void)size;
    LONG error;
    std::u16string wide = Wide(subKey);
    if (Faulted("RegSetValueA", TargetPath(key, wide), &error))
        return error;
    return SetDefaultValue(key, wide, type, (const BYTE *)data, data ? (DWORD)strlen(data) + 1 : 0, Text::Ansi);
}

LSTATUS RegSetValueW(HKEY key, LPCWSTR subKey, DWORD type, LPCWSTR data, DWORD size)
{
    (void)size;
    LONG error;
    std::u16string wide = subKey ? subKey : u"";
    if (Faulted("RegSetValueW", TargetPath(key, wide), &error))
        return error;
    DWORD bytes = data ? (DWORD)((std::u16string(data).size() + 1) * sizeof(WCHAR)) : 0;
    return SetDefaultValue(key, wide, type, (const BYTE *)data, bytes, Text::Wide);
}

LSTATUS RegDeleteKeyA(HKEY key, LPCSTR subKey)
{
    LONG error;
    std::u16string wide = Wide(subKey);
    if (Faulted("RegDeleteKeyA", TargetPath(key, wide), &error))
        return error;
    if (!subKey)
        return ERROR_INVALID_PARAMETER;
    return DeleteCommon(key, wide);
}

LSTATUS RegDeleteValueA(HKEY key, LPCSTR name)
{
    LONG error;
    if (Faulted("RegDeleteValueA", HandlePath(key) + "|" + (name ? name : ""), &error))
        return error;
    return DeleteValueCommon(key, Wide(name));
}

LSTATUS RegQueryInfoKeyA(HKEY key, LPSTR className, LPDWORD classLen, LPDWORD reserved, LPDWORD subKeys,
                         LPDWORD maxSubKeyLen, LPDWORD maxClassLen, LPDWORD values, LPDWORD maxValueNameLen,
                         LPDWORD maxValueLen, LPDWORD securityDescriptor, PFILETIME lastWrite)
{
    LONG error;
    std::string path = HandlePath(key);
    if (Faulted("RegQueryInfoKeyA", path, &error))
        return error;
    if (reserved || (className && !classLen))
        return ERROR_INVALID_PARAMETER;
    std::shared_ptr<Key> k;
    error = Resolve(key, KEY_QUERY_VALUE, &k, &path);
    if (error != ERROR_SUCCESS)
        return error;
    if (className && *classLen)
        className[0] = 0;
    if (classLen)
        *classLen = 0;
    // Sizes as the registry keeps them: names in characters, data in
    // bytes, strings in UTF-16.
    DWORD longestKey = 0, longestName = 0, longestData = 0;
    for (const auto &child : k->children)
        longestKey = std::max(longestKey, (DWORD)child->name.size());
    for (const Value &value : k->values) {
        longestName = std::max(longestName, (DWORD)value.name.size());
        longestData = std::max(longestData, (DWORD)value.data.size());
    }
    if (subKeys)
        *subKeys = (DWORD)k->children.size();
    if (maxSubKeyLen)
        *maxSubKeyLen = longestKey;
    if (maxClassLen)
        *maxClassLen = 0;
    if (values)
        *values = (DWORD)k->values.size();
    if (maxValueNameLen)
        *maxValueNameLen = longestName;
    if (maxValueLen)
        *maxValueLen = longestData;
    if (securityDescriptor)
        *securityDescriptor = 0;
    if (lastWrite)
        lastWrite->dwLowDateTime = lastWrite->dwHighDateTime = 0;
    return ERROR_SUCCESS;
}

// ---- ntdll -------------------------------------------------------------

void RtlInitUnicodeString(PUNICODE_STRING string, PCWSTR text)
{
    size_t length = text ? std::u16string(text).size() * sizeof(WCHAR) : 0;
    string->Length = (USHORT)length;
    string->MaximumLength = (USHORT)(text ? length + sizeof(WCHAR) : 0);
    string->Buffer = (PWSTR)text;
}

void RtlFreeUnicodeString(PUNICODE_STRING string)
{
    if (string->Buffer)
        HeapFree(GetProcessHeap(), 0, string->Buffer);
    string->Buffer = nullptr;
    string->Length = string->MaximumLength = 0;
}

NTSTATUS RtlFormatCurrentUserKeyPath(PUNICODE_STRING path)
{
    std::u16string text = u"\\REGISTRY\\USER\\" + detail::AnsiToWide(kUserSid);
    size_t bytes = (text.size() + 1) * sizeof(WCHAR);
    path->Buffer = (PWSTR)HeapAlloc(GetProcessHeap(), 0, bytes);
    memcpy(path->Buffer, text.c_str(), bytes);
    path->Length = (USHORT)(bytes - sizeof(WCHAR));
    path->MaximumLength = (USHORT)bytes;
    return STATUS_SUCCESS;
}

NTSTATUS NtOpenKey(PHANDLE key, ACCESS_MASK access, const OBJECT_ATTRIBUTES *attributes)
{
    HKEY base, result = nullptr;
    std::u16string path;
    LONG error;
    if (Faulted("NtOpenKey", detail::WideToAnsi(NativeName(attributes->ObjectName)), &error))
        return error;
    if (!NativeTarget(attributes, &base, &path))
        return STATUS_OBJECT_PATH_SYNTAX_BAD;
    DWORD options = (attributes->Attributes & OBJ_OPENLINK) ? REG_OPTION_OPEN_LINK : 0;
    error = OpenCommon(base, &path, options, access, &result, true, false);
    *key = result;
    return NativeStatus(error);
}

NTSTATUS NtCreateKey(PHANDLE key, ACCESS_MASK access, const OBJECT_ATTRIBUTES *attributes, ULONG titleIndex,
                     const UNICODE_STRING *className, ULONG options, PULONG disposition)
{
    (void)titleIndex;
    (void)className;
    HKEY base, result = nullptr;
    std::u16string path;
    LONG error;
    if (Faulted("NtCreateKey", detail::WideToAnsi(NativeName(attributes->ObjectName)), &error))
        return error;
    if (!NativeTarget(attributes, &base, &path))
        return STATUS_OBJECT_PATH_SYNTAX_BAD;
    error = CreateCommon(base, path, options, access, &result, (LPDWORD)disposition);
    *key = result;
    return NativeStatus(error);
}

// Deletes the key behind the handle, which stays open on a deleted key;
// deleting it again succeeds.
NTSTATUS NtDeleteKey(HANDLE handle)
{
    LONG error;
    HKEY key = (HKEY)handle;
    if (Faulted("NtDeleteKey", HandlePath(key), &error))
        return error;
    auto it = g_reg.handles.find(key);
    if (it == g_reg.handles.end())
        return STATUS_INVALID_HANDLE;
    if (!(it->second.access & DELETE))
        return STATUS_ACCESS_DENIED;
    std::shared_ptr<Key> target;
    std::string path;
    error = Resolve(key, DELETE, &target, &path);
    if (error == ERROR_KEY_DELETED)
        return STATUS_SUCCESS;
    if (target->pinned || !target->children.empty())
        return STATUS_CANNOT_DELETE;
    RemoveKey(target);
    return STATUS_SUCCESS;
}

NTSTATUS NtSetValueKey(HANDLE key, const UNICODE_STRING *name, ULONG titleIndex, ULONG type, const void *data,
                       ULONG size)
{
    (void)titleIndex;
    LONG error;
    std::u16string wide = NativeName(name);
    if (Faulted("NtSetValueKey", HandlePath((HKEY)key) + "|" + detail::WideToAnsi(wide), &error))
        return error;
    return NativeStatus(SetValueCommon((HKEY)key, wide, type, (const BYTE *)data, size, Text::Native));
}

NTSTATUS NtDeleteValueKey(HANDLE key, const UNICODE_STRING *name)
{
    LONG error;
    std::u16string wide = NativeName(name);
    if (Faulted("NtDeleteValueKey", HandlePath((HKEY)key) + "|" + detail::WideToAnsi(wide), &error))
        return error;
    return NativeStatus(DeleteValueCommon((HKEY)key, wide));
}

NTSTATUS NtClose(HANDLE handle)
{
    if (g_reg.handles.erase((HKEY)handle))
        return STATUS_SUCCESS;
    return CloseHandle(handle) ? STATUS_SUCCESS : STATUS_INVALID_HANDLE;
}
