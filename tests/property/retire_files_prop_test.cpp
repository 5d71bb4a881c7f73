// The second stage on generated machines: any stored "NextNumber", older
// queue entries, present, locked and read-only program files, older ".qel"
// files in the way, help files, and refused registry writes. The queue,
// the two counters, the system directory and the log must be what a model
// of the stage gives:
// - each program file that is there is renamed to ".qel" and queued under
//   "File%d" of the counter, which goes up by one for each entry written;
//   one that cannot be renamed stays and is logged; an older ".qel" of an
//   absent one is deleted if it can be, and never logged;
// - an entry that cannot be written, or whose name would not fit 11
//   characters, is logged and leaves the counter where it was;
// - the uninstaller itself is queued last; the counter is stored back;
//   "RefNum" goes down by one, never below 0; the help files are deleted,
//   and one that will not go is logged.
#include <stdint.h>

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>
#include <windows.h>

#include "common/common.h"
#include "common/globals.h"
#include "prop_support.h"
#include "res/resource.h"
#include "stages/stages.h"
#include "support/machine.h"
#include "winsim.h"

namespace {

const char kQueueKey[] = "HKLM\\SOFTWARE\\QELVORA\\Cleanup\\RemoveFiles";
const char kCleanupKey[] = "HKLM\\SOFTWARE\\QELVORA\\Cleanup";

const char *const kProgramFiles[] = {
    "QWSAVER.CPL", "QWTRAY.EXE",     "QWREG.DLL",  "QWADAPT.DLL",   "QWTAB.DLL",
    "QWFNKEY.EXE", "QWDEVWATCH.EXE", "QWICON.EXE", "QWCLKICON.EXE",
};
const char *const kHelpFiles[] = {"QWSAVER.HLP", "QWSAVER.GID", "QWSAVER.FTS"};
const int kProgramCount = 9;
const int kHelpCount = 3;

enum FileState { ABSENT, PLAIN, HELD, READ_ONLY };
// How often a refused call is refused: not at all, once, or every time.
enum Strike { NEVER, ONCE, ALWAYS };

struct Stage {
    bool japanese = false;
    std::string systemDir;
    bool nextStored = false;
    DWORD next = 0;
    bool refStored = false;
    DWORD refNum = 0;
    std::map<DWORD, std::string> olderEntries;
    FileState program[kProgramCount];
    FileState stale[kProgramCount];
    FileState help[kHelpCount];
    std::map<DWORD, Strike> refusedEntries;  // by entry number
    Strike queueKeyRefused = NEVER;
    Strike nextRefused = NEVER;
    Strike refRefused = NEVER;
};

rc::Gen<FileState> State(int absentWeight)
{
    return rc::gen::weightedOneOf<FileState>({{absentWeight, rc::gen::just(ABSENT)},
                                              {6, rc::gen::just(PLAIN)},
                                              {1, rc::gen::just(HELD)},
                                              {1, rc::gen::just(READ_ONLY)}});
}

rc::Gen<Strike> Refusal(int neverWeight)
{
    return rc::gen::weightedOneOf<Strike>(
        {{neverWeight, rc::gen::just(NEVER)}, {1, rc::gen::just(ONCE)}, {1, rc::gen::just(ALWAYS)}});
}

// Stored numbers at the edges: 0, the largest that still fits the value
// name either way round ("File9999999", "File-999999"), the first that
// does not, and the ends of the signed and unsigned ranges.
rc::Gen<DWORD> StoredNumber()
{
    return rc::gen::weightedOneOf<DWORD>(
        {{3, rc::gen::inRange<DWORD>(0, 20)},
         {3, rc::gen::map(rc::gen::inRange(-12, 3), [](int d) { return (DWORD)(9999999 + d); })},
         {3, rc::gen::map(rc::gen::inRange(-12, 3), [](int d) { return (DWORD)(-999999 + d); })},
         {2, rc::gen::element<DWORD>(0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu, 0xFFFFFFF8u)},
         {1, rc::gen::arbitrary<DWORD>()}});
}

rc::Gen<Stage> GenStage()
{
    return rc::gen::exec([] {
        Stage s;
        s.japanese = *rc::gen::weightedOneOf<bool>({{3, rc::gen::just(false)}, {1, rc::gen::just(true)}});
        std::vector<std::string> dirs = {"C:\\WINNT\\system32", "C:\\WIN.NT\\system32", "C:\\Program Files\\W i n"};
        if (s.japanese)
            dirs.push_back("C:\\\x95\x5c\x8e\xa6.\x83\x5c\\system32");
        s.systemDir = *rc::gen::elementOf(dirs);
        s.nextStored = *rc::gen::weightedOneOf<bool>({{4, rc::gen::just(true)}, {1, rc::gen::just(false)}});
        s.next = *StoredNumber();
        s.refStored = *rc::gen::arbitrary<bool>();
        s.refNum = *rc::gen::weightedOneOf<DWORD>(
            {{3, rc::gen::inRange<DWORD>(0, 4)}, {1, rc::gen::element<DWORD>(0xFFFFFFFFu, 0x80000000u)}});
        DWORD first = s.nextStored ? s.next : 1;
        int older = *rc::gen::inRange(0, 4);
        for (int i = 0; i < older; i++)
            s.olderEntries[first + (DWORD)*rc::gen::inRange(-2, 12)] = "older" + std::to_string(i);
        bool faults = *rc::gen::arbitrary<bool>();
        for (int i = 0; i < kProgramCount; i++) {
            s.program[i] = *State(2);
            s.stale[i] = *State(8);
        }
        for (int i = 0; i < kHelpCount; i++)
            s.help[i] = *State(2);
        if (faults) {
            int refused = *rc::gen::inRange(0, 4);
            for (int i = 0; i < refused; i++)
                s.refusedEntries[first + (DWORD)*rc::gen::inRange(0, 10)] = *Refusal(0);
            s.queueKeyRefused = *Refusal(10);
            s.nextRefused = *Refusal(4);
            s.refRefused = *Refusal(4);
        }
        return s;
    });
}

std::string Sys(const Stage &s, const std::string &name)
{
    return s.systemDir + "\\" + name;
}

std::string Retired(const Stage &s, int i)
{
    std::string name = kProgramFiles[i];
    return Sys(s, name.substr(0, name.find('.')) + ".qel");
}

std::string EntryName(DWORD number)
{
    return "File" + std::to_string((int32_t)number);
}

std::string Dword(DWORD number)
{
    return std::string((const char *)&number, 4);
}

void MakeFile(const std::string &path, FileState state, const std::string &contents)
{
    if (state == ABSENT)
        return;
    if (state == READ_ONLY) {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_READONLY, NULL);
        DWORD written = 0;
        WriteFile(file, contents.data(), (DWORD)contents.size(), &written, NULL);
        CloseHandle(file);
        return;
    }
    wsim::PutFile(path.c_str(), contents);
    if (state == HELD)
        wsim::HoldFile(path.c_str());
}

int Times(Strike strike)
{
    return strike == ONCE ? 1 : -1;
}

void Install(const Stage &s)
{
    ResetTestMachine(s.japanese);
    wsim::MakeDir(s.systemDir.c_str());
    lstrcpynA(g_systemDir, s.systemDir.c_str(), MAX_PATH);
    g_errorOccurred = 0;
    if (s.nextStored)
        wsim::PutDword(kQueueKey, "NextNumber", s.next);
    if (s.refStored)
        wsim::PutDword(kCleanupKey, "RefNum", s.refNum);
    for (const auto &entry : s.olderEntries)
        wsim::PutSz(kQueueKey, EntryName(entry.first).c_str(), entry.second.c_str());
    for (int i = 0; i < kProgramCount; i++) {
        MakeFile(Sys(s, kProgramFiles[i]), s.program[i], kProgramFiles[i]);
        MakeFile(Retired(s, i), s.stale[i], "stale");
    }
    for (int i = 0; i < kHelpCount; i++)
        MakeFile(Sys(s, kHelpFiles[i]), s.help[i], kHelpFiles[i]);
    for (const auto &refused : s.refusedEntries) {
        std::string target = std::string(kQueueKey) + "|" + EntryName(refused.first);
        wsim::Fail("RegSetValueExA", target.c_str(), ERROR_ACCESS_DENIED, Times(refused.second));
    }
    if (s.queueKeyRefused != NEVER)
        wsim::Fail("RegCreateKeyExA", kQueueKey, ERROR_ACCESS_DENIED, Times(s.queueKeyRefused));
    if (s.nextRefused != NEVER)
        wsim::Fail("RegSetValueExA", (std::string(kQueueKey) + "|NextNumber").c_str(), ERROR_ACCESS_DENIED,
                   Times(s.nextRefused));
    if (s.refRefused != NEVER)
        wsim::Fail("RegSetValueExA", (std::string(kCleanupKey) + "|RefNum").c_str(), ERROR_ACCESS_DENIED,
                   Times(s.refRefused));
}

// Values of a key as name -> type and data.
typedef std::map<std::string, std::string> Values;

Values ValuesOf(const char *key)
{
    Values values;
    for (const std::string &name : wsim::ValueNames(key)) {
        DWORD type = 0;
        std::string data;
        wsim::GetValue(key, name.c_str(), &type, &data);
        values[name] = std::to_string(type) + ":" + data;
    }
    return values;
}

std::map<std::string, std::string> FilesOf(const std::string &dir)
{
    std::map<std::string, std::string> files;
    for (const std::string &name : wsim::ListDir(dir.c_str()))
        files[prop::FoldedName(name)] = wsim::FileContents((dir + "\\" + name).c_str());
    return files;
}

// What the stage leaves, by the model.
struct Outcome {
    Values queue;
    Values cleanup;
    std::map<std::string, std::string> files;
    std::string log;
};

class Model {
public:
    explicit Model(const Stage &s) : s_(s)
    {
        out_.queue = ValuesOf(kQueueKey);
        out_.cleanup = ValuesOf(kCleanupKey);
        out_.files = FilesOf(s.systemDir);
        for (const auto &refused : s.refusedEntries)
            remaining_[EntryName(refused.first)] = Times(refused.second);
        remaining_["NextNumber"] = s.nextRefused == NEVER ? 0 : Times(s.nextRefused);
        queueKeyLeft_ = s.queueKeyRefused == NEVER ? 0 : Times(s.queueKeyRefused);
        refLeft_ = s.refRefused == NEVER ? 0 : Times(s.refRefused);
    }

    Outcome Run()
    {
        DWORD counter = s_.nextStored ? s_.next : 1;
        for (int i = 0; i < kProgramCount; i++)
            RetireProgramFile(i, &counter);
        Queue(Sys(s_, "QWUNINST.EXE"), &counter);
        Write("NextNumber", std::to_string(REG_DWORD) + ":" + Dword(counter));
        DWORD refNum = s_.refStored ? s_.refNum : 0;
        if (!Take(&refLeft_))
            out_.cleanup["RefNum"] = std::to_string(REG_DWORD) + ":" + Dword(refNum > 0 ? refNum - 1 : 0);
        for (int i = 0; i < kHelpCount; i++) {
            if (s_.help[i] == PLAIN)
                out_.files.erase(kHelpFiles[i]);
            else if (s_.help[i] != ABSENT)
                Log(Sys(s_, kHelpFiles[i]), IDS_ERR_DELETE_FILE);
        }
        return out_;
    }

private:
    // Whether a refusal strikes this call, counting it down.
    static bool Take(int *left)
    {
        if (*left == 0)
            return false;
        if (*left > 0)
            (*left)--;
        return true;
    }

    void Log(const std::string &object, UINT message)
    {
        out_.log += object + "     :" + LoadResText(message) + " \r\n";
    }

    bool Write(const std::string &name, const std::string &value)
    {
        if (Take(&queueKeyLeft_) || Take(&remaining_[name]))
            return false;
        out_.queue[name] = value;
        return true;
    }

    void Queue(const std::string &path, DWORD *counter)
    {
        std::string name = EntryName(*counter);
        if (name.size() <= 11 && Write(name, std::to_string(REG_SZ) + ":" + path + std::string(1, '\0')))
            (*counter)++;
        else
            Log(path, IDS_ERR_MODIFY_VALUE);
    }

    void RetireProgramFile(int i, DWORD *counter)
    {
        std::string retired = prop::FoldedName(Retired(s_, i).substr(s_.systemDir.size() + 1));
        bool staleInTheWay = s_.stale[i] == HELD || s_.stale[i] == READ_ONLY;
        if (!staleInTheWay && s_.stale[i] == PLAIN)
            out_.files.erase(retired);
        if (s_.program[i] == ABSENT)
            return;
        if (staleInTheWay || s_.program[i] == HELD) {
            Log(Sys(s_, kProgramFiles[i]), IDS_ERR_DELETE_FILE);
            return;
        }
        out_.files.erase(kProgramFiles[i]);
        out_.files[retired] = kProgramFiles[i];
        Queue(Retired(s_, i), counter);
    }

    const Stage &s_;
    Outcome out_;
    std::map<std::string, int> remaining_;
    int queueKeyLeft_ = 0;
    int refLeft_ = 0;
};

void showValue(const Stage &s, std::ostream &os)
{
    os << (s.japanese ? "Japanese" : "English") << " " << s.systemDir << "; NextNumber "
       << (s.nextStored ? std::to_string(s.next) : "none") << "; RefNum "
       << (s.refStored ? std::to_string(s.refNum) : "none") << "; program/stale:";
    for (int i = 0; i < kProgramCount; i++)
        os << " " << s.program[i] << "/" << s.stale[i];
    os << "; help:";
    for (int i = 0; i < kHelpCount; i++)
        os << " " << s.help[i];
    os << "; older entries:";
    for (const auto &entry : s.olderEntries)
        os << " " << EntryName(entry.first);
    os << "; refused entries:";
    for (const auto &refused : s.refusedEntries)
        os << " " << EntryName(refused.first) << "x" << refused.second;
    os << "; queue key " << s.queueKeyRefused << ", NextNumber " << s.nextRefused << ", RefNum " << s.refRefused;
}

RC_GTEST_PROP(RetireFilesProp, QueueCountersFilesAndLogFollowTheModel, ())
{
    Stage s = *GenStage();
    Install(s);
    Outcome expected = Model(s).Run();
    OpenUninstallLog("QWUNLOG.LOG");

    RetireInstalledFiles();

    CloseUninstallLog();
    std::string log = wsim::FileContents(g_logPath);
    for (int i = 0; i < kProgramCount; i++) {
        wsim::ReleaseFile(Sys(s, kProgramFiles[i]).c_str());
        wsim::ReleaseFile(Retired(s, i).c_str());
    }
    for (int i = 0; i < kHelpCount; i++)
        wsim::ReleaseFile(Sys(s, kHelpFiles[i]).c_str());

    RC_ASSERT(ValuesOf(kQueueKey) == expected.queue);
    RC_ASSERT(ValuesOf(kCleanupKey) == expected.cleanup);
    RC_ASSERT(FilesOf(s.systemDir) == expected.files);
    RC_ASSERT(log == expected.log);
    RC_ASSERT(g_errorOccurred == (expected.log.empty() ? 0 : 1));
    RC_ASSERT(wsim::OpenKeyHandles() == 0);
    RC_ASSERT(wsim::OpenFileHandles() == 0);
}

}  // namespace
