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
};

struct OpenKey {
    std::shared_ptr<Key> key;
    REGSAM access;
    std::string path;  // root's short name and the path as opened, for faults
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

bool IsPredefined(HKEY key)
{
    return key == HKEY_LOCAL_MACHINE || key == HKEY_CURRENT_USER || key == HKEY_CLASSES_ROOT || key == HKEY_USERS;
}

std::shared_ptr<Key> PredefinedKey(HKEY key, std::string *name)
{
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

// The subkey path split into components on its "\" characters (found on
// characters, not bytes: a double-byte character may end in 0x5C). A
// leading "\" makes the path bad; repeated and trailing ones count as
// one, as Windows' own parser reads them: "Alpha\\\\Sub\\" in C source
// names Alpha\Sub.
bool SplitPath(LPCSTR path, std::vector<std::u16string> *parts)
{
    parts->clear();
    if (!path || !path[0])
        return true;
    std::u16string wide = detail::AnsiToWide(path);
    if (wide[0] == u'\\')
        return false;
    size_t start = 0;
    while (start < wide.size()) {
        size_t end = wide.find(u'\\', start);
        if (end == std::u16string::npos)
            end = wide.size();
        if (end > start)
            parts->push_back(wide.substr(start, end - start));
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
    if (it->second.key->deleted)
        return ERROR_KEY_DELETED;
    *key = it->second.key;
    *path = it->second.path;
    return ERROR_SUCCESS;
}

// The path of the key a call names, for faults, before anything is
// resolved (a fault applies whether or not the key exists).
std::string TargetPath(HKEY handle, LPCSTR subKey)
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
    if (!SplitPath(subKey, &parts))
        return base + "\\" + subKey;
    return JoinPath(base, parts);
}

std::string HandlePath(HKEY handle)
{
    return TargetPath(handle, nullptr);
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
    g_reg.handles[handle] = OpenKey{key, MapAccess(access), path};
    return handle;
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

// The key a link names, as "\REGISTRY\MACHINE\..." or "\REGISTRY\USER\...";
// null when the value is missing, malformed or names no existing key.
std::shared_ptr<Key> LinkTarget(Key &link)
{
    Value *value = FindValue(link, kLinkValue);
    if (!value || value->type != REG_LINK || value->data.size() % 2 != 0)
        return nullptr;
    std::u16string target;
    for (size_t i = 0; i + 1 < value->data.size(); i += 2)
        target.push_back((char16_t)((BYTE)value->data[i] | ((BYTE)value->data[i + 1] << 8)));
    while (!target.empty() && target.back() == 0)
        target.pop_back();
    std::vector<std::u16string> parts;
    size_t start = 0;
    while (start <= target.size()) {
        size_t end = target.find(u'\\', start);
        if (end == std::u16string::npos)
            end = target.size();
        if (end > start)
            parts.push_back(target.substr(start, end - start));
        start = end + 1;
    }
    if (parts.size() < 2 || !detail::SameWideName(parts[0], u"REGISTRY"))
        return nullptr;
    std::shared_ptr<Key> root;
    if (detail::SameWideName(parts[1], u"MACHINE"))
        root = g_reg.machine;
    else if (detail::SameWideName(parts[1], u"USER"))
        root = g_reg.users;
    else
        return nullptr;
    return Walk(root, std::vector<std::u16string>(parts.begin() + 2, parts.end()));
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

// The user's own copy of a path under HKEY_CLASSES_ROOT: Windows shows
// HKCU\Software\Classes before the machine's classes.
// Only paths given from the predefined handle itself are merged.
std::shared_ptr<Key> UserClassesCopy(HKEY handle, const std::vector<std::u16string> &parts)
{
    if (handle != HKEY_CLASSES_ROOT || parts.empty() || !g_reg.currentUser)
        return nullptr;
    std::shared_ptr<Key> classes = Walk(g_reg.currentUser, {u"Software", u"Classes"});
    return classes ? Walk(classes, parts) : nullptr;
}

// Walks a path as the registry calls do: every link on the way is
// followed, the last key's too unless openLink asks for the link itself.
LONG WalkFollowing(HKEY handle, std::shared_ptr<Key> base, const std::vector<std::u16string> &parts, bool openLink,
                   std::shared_ptr<Key> *found)
{
    int depth = 0;
    std::shared_ptr<Key> key = base;
    if (std::shared_ptr<Key> copy = UserClassesCopy(handle, parts))
        key = copy;
    else
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

// Creates what is missing of a path, following the links on the way.
LONG CreateFollowing(HKEY handle, std::shared_ptr<Key> base, const std::vector<std::u16string> &parts,
                     bool createLink, std::shared_ptr<Key> *found, bool *created)
{
    int depth = 0;
    *created = false;
    std::shared_ptr<Key> key = base;
    if (std::shared_ptr<Key> copy = UserClassesCopy(handle, parts)) {
        *found = copy;
        return createLink ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS;
    }
    for (size_t i = 0; i < parts.size(); i++) {
        std::shared_ptr<Key> child = FindChild(*key, parts[i]);
        bool last = i + 1 == parts.size();
        if (!child) {
            child = AddChild(*key, parts[i]);
            *created = true;
        } else if (last && createLink) {
            return ERROR_ALREADY_EXISTS;
        } else {
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

bool IsStringType(DWORD type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// The size Windows keeps a value in: strings set through the ANSI calls
// are stored in UTF-16.
DWORD StoredSize(const Value &value)
{
    if (!IsStringType(value.type))
        return (DWORD)value.data.size();
    return (DWORD)(detail::AnsiToWide(value.data).size() * sizeof(WCHAR));
}

// Copies value data out as Windows does: a string that lacks its final NUL
// gets one when the buffer has room for it, uncounted.
void CopyData(const Value &value, LPBYTE data, DWORD size)
{
    memcpy(data, value.data.data(), value.data.size());
    if (IsStringType(value.type) && !value.data.empty() && value.data.back() != 0 && value.data.size() < size)
        data[value.data.size()] = 0;
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
    return SplitPath(rest.c_str(), parts);
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
        "HKLM\\SOFTWARE\\Classes",
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
    SetValue(*key, detail::AnsiToWide(name ? name : ""), type, data, size);
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
        *data = value->data;
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
    std::string bytes;
    for (char16_t c : target) {
        bytes.push_back((char)(c & 0xFF));
        bytes.push_back((char)(c >> 8));
    }
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
    if (Faulted("RegOpenKeyExA", TargetPath(key, subKey), &error))
        return error;
    if (!result)
        return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    std::shared_ptr<Key> base;
    std::string basePath;
    error = Resolve(key, 0, &base, &basePath);
    if (error != ERROR_SUCCESS)
        return error;
    std::vector<std::u16string> parts;
    if (!SplitPath(subKey, &parts))
        return ERROR_BAD_PATHNAME;
    std::shared_ptr<Key> found;
    error = WalkFollowing(key, base, parts, (options & REG_OPTION_OPEN_LINK) != 0, &found);
    if (error != ERROR_SUCCESS)
        return error;
    *result = NewHandle(found, access, JoinPath(basePath, parts));
    return ERROR_SUCCESS;
}

LSTATUS RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR className, DWORD options, REGSAM access,
                        LPSECURITY_ATTRIBUTES sa, PHKEY result, LPDWORD disposition)
{
    (void)reserved;
    (void)className;
    (void)sa;
    LONG error;
    if (Faulted("RegCreateKeyExA", TargetPath(key, subKey), &error))
        return error;
    if (!result)
        return ERROR_INVALID_PARAMETER;
    std::shared_ptr<Key> base;
    std::string basePath;
    error = Resolve(key, 0, &base, &basePath);
    if (error != ERROR_SUCCESS)
        return error;
    std::vector<std::u16string> parts;
    if (!SplitPath(subKey, &parts))
        return ERROR_BAD_PATHNAME;
    for (const std::u16string &part : parts)
        if (part.size() > kMaxKeyNameLength)
            return ERROR_INVALID_PARAMETER;
    // Creation is checked against the key's security, not against the
    // rights the parent's handle was opened with: a handle opened to read
    // creates subkeys too.
    std::shared_ptr<Key> target;
    bool created = false;
    error = CreateFollowing(key, base, parts, (options & REG_OPTION_CREATE_LINK) != 0, &target, &created);
    if (error != ERROR_SUCCESS)
        return error;
    *result = NewHandle(target, access, JoinPath(basePath, parts));
    if (disposition)
        *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
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
    DWORD size = (DWORD)value.data.size();

    // Windows looks at the data first: when it does not fit, neither the
    // data nor the name buffer is touched, and the name length stays as it
    // was. Only when the data fits does the name's own fit matter; a name
    // that does not fit is then cut to the buffer, with its NUL.
    LONG status = ERROR_SUCCESS;
    if (data && size > *dataLen)
        status = ERROR_MORE_DATA;
    else if (data)
        CopyData(value, data, *dataLen);
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

LSTATUS RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataLen)
{
    LONG error;
    std::string path = HandlePath(key);
    if (Faulted("RegQueryValueExA", path + "|" + (name ? name : ""), &error))
        return error;
    if (reserved || (data && !dataLen))
        return ERROR_INVALID_PARAMETER;
    // A call that asks for the size alone gets 0 when it fails (a missing
    // value, a key it may not read).
    if (!data && dataLen)
        *dataLen = 0;
    std::shared_ptr<Key> k;
    error = Resolve(key, KEY_QUERY_VALUE, &k, &path);
    if (error != ERROR_SUCCESS)
        return error;
    const Value *value = FindValue(*k, detail::AnsiToWide(name ? name : ""));
    if (!value)
        return ERROR_FILE_NOT_FOUND;
    DWORD size = (DWORD)value->data.size();
    LONG status = ERROR_SUCCESS;
    if (data && size > *dataLen)
        status = ERROR_MORE_DATA;
    else if (data)
        CopyData(*value, data, *dataLen);
    if (type)
        *type = value->type;
    if (dataLen)
        *dataLen = size;
    return status;
}

LSTATUS RegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE *data, DWORD dataLen)
{
    (void)reserved;
    LONG error;
    std::string path = HandlePath(key);
    if (Faulted("RegSetValueExA", path + "|" + (name ? name : ""), &error))
        return error;
    std::shared_ptr<Key> k;
    error = Resolve(key, KEY_SET_VALUE, &k, &path);
    if (error != ERROR_SUCCESS)
        return error;
    if (!data && dataLen)
        return ERROR_NOACCESS;
    // A string whose size leaves out its final NUL gets the NUL counted
    // when the byte after the counted ones is one.
    if (IsStringType(type) && dataLen && data[dataLen - 1] && !data[dataLen])
        dataLen++;
    SetValue(*k, detail::AnsiToWide(name ? name : ""), type, data, dataLen);
    return ERROR_SUCCESS;
}

LSTATUS RegDeleteKeyA(HKEY key, LPCSTR subKey)
{
    LONG error;
    if (Faulted("RegDeleteKeyA", TargetPath(key, subKey), &error))
        return error;
    if (!subKey)
        return ERROR_INVALID_PARAMETER;
    std::shared_ptr<Key> base;
    std::string basePath;
    error = Resolve(key, subKey[0] ? 0 : DELETE, &base, &basePath);
    if (error != ERROR_SUCCESS)
        return error;
    std::vector<std::u16string> parts;
    if (!SplitPath(subKey, &parts))
        return ERROR_BAD_PATHNAME;
    // The name is opened as any open would, so a link at it leads the
    // deletion to its target.
    std::shared_ptr<Key> target;
    error = WalkFollowing(key, base, parts, false, &target);
    if (error != ERROR_SUCCESS)
        return error;
    if (target->pinned || !target->children.empty())
        return ERROR_ACCESS_DENIED;
    RemoveKey(target);
    return ERROR_SUCCESS;
}

// NTSTATUS values of the deletion.
const LONG kStatusInvalidHandle = (LONG)0xC0000008;
const LONG kStatusAccessDenied = (LONG)0xC0000022;
const LONG kStatusCannotDelete = (LONG)0xC0000121;
const LONG kStatusKeyDeleted = (LONG)0xC000017C;

LONG NtDeleteKey(HANDLE handle)
{
    LONG error;
    HKEY key = (HKEY)handle;
    if (Faulted("NtDeleteKey", HandlePath(key), &error))
        return error;
    auto it = g_reg.handles.find(key);
    if (it == g_reg.handles.end())
        return kStatusInvalidHandle;
    if (!(it->second.access & DELETE))
        return kStatusAccessDenied;
    std::shared_ptr<Key> target = it->second.key;
    if (target->deleted)
        return kStatusKeyDeleted;
    if (target->pinned || !target->children.empty())
        return kStatusCannotDelete;
    RemoveKey(target);
    return 0;
}

LSTATUS RegDeleteValueA(HKEY key, LPCSTR name)
{
    LONG error;
    std::string path = HandlePath(key);
    if (Faulted("RegDeleteValueA", path + "|" + (name ? name : ""), &error))
        return error;
    std::shared_ptr<Key> k;
    error = Resolve(key, KEY_SET_VALUE, &k, &path);
    if (error != ERROR_SUCCESS)
        return error;
    std::u16string wide = detail::AnsiToWide(name ? name : "");
    for (auto it = k->values.begin(); it != k->values.end(); ++it) {
        if (detail::SameWideName(it->name, wide)) {
            k->values.erase(it);
            return ERROR_SUCCESS;
        }
    }
    return ERROR_FILE_NOT_FOUND;
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
    DWORD longestKey = 0, longestName = 0, longestData = 0;
    for (const auto &child : k->children)
        longestKey = std::max(longestKey, (DWORD)child->name.size());
    for (const Value &value : k->values) {
        longestName = std::max(longestName, (DWORD)value.name.size());
        longestData = std::max(longestData, StoredSize(value));
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
