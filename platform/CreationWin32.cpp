#include <windows.h>
#include <objbase.h>
#include <tlhelp32.h>

#include <memory>

#include "platform/CreationPlatform.h"
#include "platform/Win32Handles.h"
#include "platform/WinCodes.h"

namespace CreationPlatform {

namespace {

// A child can write anything: a line longer than this is not waited for to its end.
constexpr std::size_t LineLimit = 64 * 1024;
constexpr DWORD PollMs = 10;
// What ending a child that does not end of itself waits before Tandrel lets go of it.
constexpr DWORD EndWaitMs = 5000;
// What a child whose output has closed gets to finish ending, even when the caller's time is up.
constexpr DWORD EndingWaitMs = 500;
// The exit code Tandrel gives a child it ends.
constexpr UINT EndedByTandrel = 1;

struct Child {
    UniqueKernelHandle process;
    UniqueKernelHandle output;
    std::string pending;
    bool outputClosed = false;
};

Child* ToChild(ChildHandle child)
{
    return reinterpret_cast<Child*>(static_cast<std::uintptr_t>(child));
}

template <typename Proc>
Proc Kernel32Function(const char* name)
{
    return reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), name)));
}

// Quoted as the C runtime's and CommandLineToArgvW's reading splits it again: backslashes count only before
// a quote, where they are doubled.
void AppendArgument(std::wstring& line, const std::wstring& argument)
{
    if (!line.empty())
        line += L' ';
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        line += argument;
        return;
    }
    line += L'"';
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, L'\\');
    line += L'"';
}

std::wstring OwnFile()
{
    std::wstring path(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 5; ++attempt) {
        DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return L"";
        if (length < path.size())
            return path.substr(0, length);
        path.assign(path.size() * 2, L'\0');
    }
    return L"";
}

// The copy of Tandrel's token that a standard user's process has: Administrators only to deny, no privileges.
DWORD RestrictedToken(UniqueKernelHandle& restricted)
{
    UniqueKernelHandle own;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY | TOKEN_ASSIGN_PRIMARY, own.put()))
        return GetLastError();
    BYTE administrators[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof administrators;
    if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size))
        return GetLastError();
    SID_AND_ATTRIBUTES denied{administrators, 0};
    if (!CreateRestrictedToken(own.get(), DISABLE_MAX_PRIVILEGE, 1, &denied, 0, nullptr, 0, nullptr,
                               restricted.put()))
        return GetLastError();
    return ERROR_SUCCESS;
}

using InitializeListFunction = BOOL(WINAPI*)(LPPROC_THREAD_ATTRIBUTE_LIST, DWORD, DWORD, PSIZE_T);
using UpdateListFunction = BOOL(WINAPI*)(LPPROC_THREAD_ATTRIBUTE_LIST, DWORD, DWORD_PTR, PVOID, SIZE_T, PVOID,
                                         PSIZE_T);
using DeleteListFunction = VOID(WINAPI*)(LPPROC_THREAD_ATTRIBUTE_LIST);

// The attribute list that lets the child inherit `inherited` and nothing else. Where the system has no such
// list, none: the child then inherits every inheritable handle, of which Tandrel makes only the pipe's.
class InheritOnly {
public:
    explicit InheritOnly(HANDLE inherited) : inherited_(inherited)
    {
        auto initialize = Kernel32Function<InitializeListFunction>("InitializeProcThreadAttributeList");
        auto update = Kernel32Function<UpdateListFunction>("UpdateProcThreadAttribute");
        delete_ = Kernel32Function<DeleteListFunction>("DeleteProcThreadAttributeList");
        if (!initialize || !update || !delete_)
            return;
        SIZE_T size = 0;
        initialize(nullptr, 1, 0, &size);
        storage_ = std::make_unique<BYTE[]>(size);
        auto list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.get());
        if (!initialize(list, 1, 0, &size)) {
            storage_.reset();
            return;
        }
        if (!update(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, &inherited_, sizeof inherited_, nullptr, nullptr)) {
            delete_(list);
            storage_.reset();
        }
    }
    ~InheritOnly()
    {
        if (storage_)
            delete_(List());
    }
    InheritOnly(const InheritOnly&) = delete;
    InheritOnly& operator=(const InheritOnly&) = delete;

    LPPROC_THREAD_ATTRIBUTE_LIST List() const
    {
        return reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.get());
    }

private:
    HANDLE inherited_;  // the list points here
    DeleteListFunction delete_ = nullptr;
    std::unique_ptr<BYTE[]> storage_;
};

DWORD Start(const std::wstring& program, std::wstring& commandLine, HANDLE token, HANDLE output,
            PROCESS_INFORMATION& started)
{
    InheritOnly inherit(output);
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdOutput = output;
    DWORD flags = CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT;
    if (inherit.List()) {
        startup.lpAttributeList = inherit.List();
        flags |= EXTENDED_STARTUPINFO_PRESENT;
    } else {
        startup.StartupInfo.cb = sizeof startup.StartupInfo;
    }
    // With the application name given, the system starts that file: nothing is searched for.
    BOOL ok = token ? CreateProcessAsUserW(token, program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, flags,
                                           nullptr, nullptr, &startup.StartupInfo, &started)
                    : CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, flags, nullptr,
                                     nullptr, &startup.StartupInfo, &started);
    return ok ? ERROR_SUCCESS : GetLastError();
}

// Moves what the pipe holds now into `child.pending`, up to the line limit. False with `error` on a failure;
// a closed pipe is not one.
bool TakeAvailable(Child& child, DWORD& error)
{
    DWORD available = 0;
    if (!PeekNamedPipe(child.output.get(), nullptr, 0, nullptr, &available, nullptr)) {
        error = GetLastError();
        child.outputClosed = error == ERROR_BROKEN_PIPE;
        return child.outputClosed;
    }
    std::size_t room = LineLimit + 1 - child.pending.size();
    DWORD wanted = static_cast<DWORD>(available < room ? available : room);
    if (wanted == 0)
        return true;
    std::size_t before = child.pending.size();
    child.pending.resize(before + wanted);
    DWORD read = 0;
    BOOL ok = ReadFile(child.output.get(), child.pending.data() + before, wanted, &read, nullptr);
    child.pending.resize(before + read);
    if (!ok) {
        error = GetLastError();
        child.outputClosed = error == ERROR_BROKEN_PIPE;
        return child.outputClosed;
    }
    return true;
}

// Takes the first whole line out of `pending`.
bool TakeLine(std::string& pending, std::string& line)
{
    std::size_t end = pending.find('\n');
    if (end == std::string::npos)
        return false;
    line = pending.substr(0, end > 0 && pending[end - 1] == '\r' ? end - 1 : end);
    pending.erase(0, end + 1);
    return true;
}

ChildRead Failed(long error)
{
    ChildRead read;
    read.kind = ChildRead::Kind::Failed;
    read.error = error;
    return read;
}

// Once the output is closed the process is ending: it gets what remains of the time to finish, and a little more.
ChildRead AwaitEnd(Child& child, DWORD remainingMs)
{
    ChildRead read;
    DWORD waited = WaitForSingleObject(child.process.get(), remainingMs > EndingWaitMs ? remainingMs : EndingWaitMs);
    if (waited == WAIT_TIMEOUT) {
        read.kind = ChildRead::Kind::TimedOut;
        return read;
    }
    DWORD code = 0;
    if (waited != WAIT_OBJECT_0 || !GetExitCodeProcess(child.process.get(), &code))
        return Failed(static_cast<long>(GetLastError()));
    read.kind = ChildRead::Kind::Ended;
    read.exitCode = code;
    return read;
}

LONG WINAPI EndWithExceptionCode(EXCEPTION_POINTERS* exception)
{
    TerminateProcess(GetCurrentProcess(), exception->ExceptionRecord->ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

std::wstring SystemMessage(DWORD code)
{
    LPWSTR text = nullptr;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, code, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    UniqueLocalMemory owner(text);
    if (length == 0 || !text)
        return L"";
    std::wstring message(text, length);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
        message.pop_back();
    return message;
}

}  // namespace

long StartChild(const std::vector<std::wstring>& arguments, ChildToken token, ChildHandle& child)
{
    child = ChildHandle::None;
    std::wstring program = OwnFile();
    if (program.empty())
        return static_cast<long>(GetLastError());
    std::wstring commandLine;
    AppendArgument(commandLine, program);
    for (const std::wstring& argument : arguments)
        AppendArgument(commandLine, argument);

    UniqueKernelHandle restricted;
    if (token == ChildToken::Restricted) {
        if (DWORD code = RestrictedToken(restricted); code != ERROR_SUCCESS)
            return static_cast<long>(code);
    }
    auto record = std::make_unique<Child>();
    UniqueKernelHandle write;
    if (!CreatePipe(record->output.put(), write.put(), nullptr, 0) ||
        !SetHandleInformation(write.get(), HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT))
        return static_cast<long>(GetLastError());
    PROCESS_INFORMATION started{};
    if (DWORD code = Start(program, commandLine, restricted.get(), write.get(), started); code != ERROR_SUCCESS)
        return static_cast<long>(code);
    UniqueKernelHandle thread(started.hThread);
    record->process.reset(started.hProcess);
    // Only the child may hold the write end: the pipe breaks when the child ends.
    write.reset();
    child = static_cast<ChildHandle>(reinterpret_cast<std::uintptr_t>(record.release()));
    return ERROR_SUCCESS;
}

ChildRead ReadChild(ChildHandle handle, std::uint32_t timeoutMs)
{
    Child* child = ToChild(handle);
    if (!child)
        return Failed(ERROR_INVALID_HANDLE);
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        ChildRead read;
        if (TakeLine(child->pending, read.line)) {
            read.kind = ChildRead::Kind::Line;
            return read;
        }
        if (child->pending.size() > LineLimit)
            return Failed(WinCode::MoreData);
        ULONGLONG elapsed = GetTickCount64() - start;
        DWORD remaining = elapsed >= timeoutMs ? 0 : static_cast<DWORD>(timeoutMs - elapsed);
        // A piece after the last line end is not a line: a child that ends midway said nothing more.
        if (child->outputClosed)
            return AwaitEnd(*child, remaining);
        std::size_t before = child->pending.size();
        DWORD error = ERROR_SUCCESS;
        if (!TakeAvailable(*child, error))
            return Failed(static_cast<long>(error));
        if (child->pending.size() != before || child->outputClosed)
            continue;
        if (remaining == 0) {
            read.kind = ChildRead::Kind::TimedOut;
            return read;
        }
        Sleep(remaining < PollMs ? remaining : PollMs);
    }
}

void EndChild(ChildHandle handle)
{
    std::unique_ptr<Child> child(ToChild(handle));
    if (!child)
        return;
    if (WaitForSingleObject(child->process.get(), 0) == WAIT_TIMEOUT) {
        TerminateProcess(child->process.get(), EndedByTandrel);
        WaitForSingleObject(child->process.get(), EndWaitMs);
    }
}

std::vector<RunningProgram> RunningPrograms()
{
    std::vector<RunningProgram> programs;
    UniqueFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
        return programs;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    std::wstring path(32768, L'\0');
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        UniqueKernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID));
        DWORD length = static_cast<DWORD>(path.size());
        if (process && QueryFullProcessImageNameW(process.get(), 0, path.data(), &length))
            programs.push_back({entry.th32ProcessID, path.substr(0, length)});
    }
    return programs;
}

std::wstring ResultText(std::uint32_t result)
{
    std::wstring text = SystemMessage(result);
    if (text.empty() && HRESULT_FACILITY(result) == FACILITY_WIN32)
        text = SystemMessage(HRESULT_CODE(result));
    return text;
}

std::uint32_t PrepareChild()
{
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(&EndWithExceptionCode);
    return static_cast<std::uint32_t>(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
}

bool TokenRestricted()
{
    UniqueKernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()))
        return false;
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenGroups, nullptr, 0, &size);
    if (size == 0)
        return false;
    // TOKEN_GROUPS holds pointers: the buffer must be aligned for them.
    auto buffer = std::make_unique<std::uintptr_t[]>(size / sizeof(std::uintptr_t) + 1);
    auto groups = reinterpret_cast<TOKEN_GROUPS*>(buffer.get());
    if (!GetTokenInformation(token.get(), TokenGroups, groups, size, &size))
        return false;
    BYTE administrators[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof administrators;
    if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &sidSize))
        return false;
    for (DWORD i = 0; i < groups->GroupCount; ++i) {
        if (EqualSid(groups->Groups[i].Sid, administrators))
            return (groups->Groups[i].Attributes & SE_GROUP_USE_FOR_DENY_ONLY) != 0;
    }
    return false;
}

Creation CreateAsScript(const std::wstring& progId)
{
    CLSID clsid{};
    if (HRESULT result = CLSIDFromProgID(progId.c_str(), &clsid); FAILED(result))
        return {L"CLSIDFromProgID", static_cast<std::uint32_t>(result)};
    IUnknown* unknown = nullptr;
    if (HRESULT result = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IUnknown,
                                          reinterpret_cast<void**>(&unknown));
        FAILED(result))
        return {L"CoCreateInstance", static_cast<std::uint32_t>(result)};
    IDispatch* dispatch = nullptr;
    HRESULT result = unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch));
    if (dispatch)
        dispatch->Release();
    unknown->Release();
    if (FAILED(result))
        return {L"QueryInterface", static_cast<std::uint32_t>(result)};
    return {L"", 0};
}

bool WriteLine(const std::string& line)
{
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (output == nullptr || output == INVALID_HANDLE_VALUE)
        return false;
    std::string text = line + "\n";
    const char* next = text.data();
    DWORD left = static_cast<DWORD>(text.size());
    while (left > 0) {
        DWORD written = 0;
        if (!WriteFile(output, next, left, &written, nullptr) || written == 0)
            return false;
        next += written;
        left -= written;
    }
    return true;
}

}  // namespace CreationPlatform
