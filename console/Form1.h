#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "console/FormView.h"
#include "helpers/RunLock.h"

struct DeleteBackup;
#include "platform/RegTypes.h"
#include "registry/RegKeyOwner.h"

// The window's logic: its state, start-up, the log and the commands. It runs
// the same against the real window and against a test's view.
class Form1 {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    explicit Form1(FormView& view, Clock clock = [] { return std::chrono::steady_clock::now(); });

    void Form_Load();
    void cmdLoad_Click();
    void cmdDelete_Click();
    void cmdCreate_Click();
    void cmdClose_Click();

    // Opens `subKey` below `root` and reads its value `valueName` into
    // `value` ("" when there is none). A key that cannot be opened is logged
    // and sets LoadFailed. With `closeKey` the key is closed again; otherwise
    // it is handed to the caller in `keyOut` (RegKey::None when not opened).
    bool ReadKeyValue(RegKey root, const std::wstring& subKey, const std::wstring& valueName, std::wstring& value,
                      bool closeKey, RegKey& keyOut);

    // The only way anything is reported: the entry and CRLF are added to the
    // log. Entries reach the box in batches (see FlushLog), since one append
    // per entry makes a long Load crawl; a view that takes each at once gets
    // each at once.
    void AddMsg(const std::wstring& msg);
    // Hands every pending entry to the box. Called at the end of each command
    // and before each step that may take long.
    void FlushLog();

    std::optional<std::vector<std::wstring>> ClassList;
    std::optional<std::vector<std::wstring>> FileList;
    std::optional<std::vector<std::wstring>> ClsidList;
    std::optional<std::vector<std::wstring>> TypeLibList;
    bool LoadFailed = false;
    bool DeleteFailed = false;
    bool CreateFailed = false;
    // The last Delete needed a backup that it could not write, and so deleted nothing.
    bool BackupFailed = false;
    // The file that a Delete's backup last went to; "" while none was written.
    std::wstring LastBackup;
    std::wstring AppPath;
    std::wstring SystemPath;

private:
    // Logs one line per subkey of `key` (below `keyPath`), each as `indent` +
    // name + ": " + its default value. Returns the value of a "typelib"
    // subkey when `typeLib` is asked for.
    void ListSubKeys(RegKey key, const std::wstring& keyPath, const std::wstring& indent, std::wstring* typeLib);

    // Opens a parent key for Delete through ReadKeyValue; empty when it cannot.
    // One that is there but cannot be opened sets DeleteFailed.
    RegKeyOwner OpenParentKey(const std::wstring& path);
    // Deletes the tree `name` below `parentPath` as `backup` holds it and logs
    // the result; a failure sets DeleteFailed.
    bool DeleteTreeLogged(DeleteBackup& backup, const std::wstring& parentPath, const std::wstring& name);
    // Takes `lock` for a command that changes the registry, logging why not.
    bool TakeRunLock(RunLock& lock);

    FormView& view_;
    Clock clock_;
    std::wstring pendingLog_;
    std::chrono::steady_clock::time_point lastFlush_;
};
