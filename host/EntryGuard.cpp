#include "host/EntryGuard.h"

#include "cli/Failure.h"
#include "host/HostOptions.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>

namespace {

// The entry being called and when it began (GetTickCount). The start is
// stored before the entry, so whoever reads the entry sees its start or a
// later one: never a stale start that would fire early.
std::atomic<int> currentEntry{0};
std::atomic<DWORD> entryStarted{0};

// A crash, handed from the crashed thread, whose stack may be all but used
// up, to the watching thread, which reports it.
constexpr unsigned abortCode = 0;  // abort(): how an uncaught gcc C++ exception (DWARF unwinding) ends
std::atomic<unsigned> crashCode{0};
std::atomic<int> crashEntry{0};
HANDLE crashed = nullptr;
HANDLE stopped = nullptr;
HANDLE watcher = nullptr;
std::atomic<bool> guarding{false};

std::string pluginPath;
DWORD limitMs = 0;
double limitSeconds = 0.0;

const char* EntryName(int entry)
{
    switch (static_cast<Entry>(entry)) {
    case Entry::Init: return "Init";
    case Entry::Render: return "Render";
    case Entry::Quit: return "Quit";
    case Entry::Config: return "Config";
    case Entry::None: break;
    }
    return "";
}

std::string CrashText(unsigned code)
{
    switch (code) {
    case abortCode: return "abort() was called (as by an uncaught C++ exception)";
    case EXCEPTION_ACCESS_VIOLATION: return "access violation (0xC0000005)";
    case EXCEPTION_STACK_OVERFLOW: return "stack overflow (0xC00000FD)";
    case 0xE06D7363u: return "uncaught C++ exception (0xE06D7363)";
    case 0x20474343u: return "uncaught C++ exception (0x20474343)";
    }
    char text[32];
    std::snprintf(text, sizeof(text), "exception 0x%08X", code);
    return text;
}

// TerminateProcess rather than ExitProcess: no code of the broken plug-in
// (its DLL detach) runs, and no lock its thread holds can stop the exit.
[[noreturn]] void End(int code, const std::string& message)
{
    Fail(code, message);
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(code));
    ExitProcess(static_cast<UINT>(code));
}

// Hands the crash over and waits there for the end.
LONG Crashed(unsigned code)
{
    const int entry = currentEntry.load(std::memory_order_acquire);
    if (entry == 0 || !guarding.load())
        return EXCEPTION_CONTINUE_SEARCH;
    crashEntry.store(entry);
    crashCode.store(code, std::memory_order_release);
    SetEvent(crashed);
    Sleep(INFINITE);
    return EXCEPTION_CONTINUE_SEARCH;
}

LONG WINAPI OnUnhandled(EXCEPTION_POINTERS* info)
{
    return Crashed(info->ExceptionRecord->ExceptionCode);
}

// A stack overflow never reaches the unhandled filter: there is no stack
// left to run it. Other first-chance exceptions are left alone, since a
// plug-in (or the system under it) may catch its own.
LONG CALLBACK OnFirstChance(EXCEPTION_POINTERS* info)
{
    const DWORD code = info->ExceptionRecord->ExceptionCode;
    return code == EXCEPTION_STACK_OVERFLOW ? Crashed(code) : EXCEPTION_CONTINUE_SEARCH;
}

void OnAbort(int)
{
    Crashed(abortCode);
}

DWORD WINAPI Watch(LPVOID)
{
    // Checks often enough to end within a twentieth of the limit after it.
    const DWORD poll = limitMs == 0 ? INFINITE : std::clamp<DWORD>(limitMs / 20, 10, 500);
    HANDLE events[2] = {stopped, crashed};
    for (;;) {
        const DWORD woke = WaitForMultipleObjects(2, events, FALSE, poll);
        if (woke == WAIT_OBJECT_0)
            return 0;
        if (woke == WAIT_OBJECT_0 + 1) {
            const unsigned code = crashCode.load(std::memory_order_acquire);
            End(exitPluginCrashed, "the plug-in '" + pluginPath + "' crashed in " + EntryName(crashEntry.load()) +
                                       ": " + CrashText(code));
        }
        const int entry = currentEntry.load(std::memory_order_acquire);
        if (entry == 0 || static_cast<Entry>(entry) == Entry::Config)
            continue;
        if (GetTickCount() - entryStarted.load(std::memory_order_relaxed) >= limitMs) {
            char seconds[32];
            std::snprintf(seconds, sizeof(seconds), "%g", limitSeconds);
            End(exitPluginHung, "the plug-in '" + pluginPath + "': its " + EntryName(entry) +
                                    " has not returned for " + seconds + " s");
        }
    }
}

}  // namespace

void StartEntryGuard(const std::string& plugin, double watchdogSeconds)
{
    pluginPath = plugin;
    limitSeconds = watchdogSeconds;
    limitMs = static_cast<DWORD>(watchdogSeconds * 1000.0 + 0.5);
    crashed = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    stopped = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (crashed == nullptr || stopped == nullptr)
        return;
    watcher = CreateThread(nullptr, 0, Watch, nullptr, 0, nullptr);
    if (watcher == nullptr) {
        CloseHandle(crashed);
        crashed = nullptr;
        return;
    }
    guarding.store(true);
    SetUnhandledExceptionFilter(OnUnhandled);
    AddVectoredExceptionHandler(1, OnFirstChance);
    std::signal(SIGABRT, OnAbort);
}

void StopEntryGuard()
{
    if (watcher == nullptr)
        return;
    guarding.store(false);
    SetEvent(stopped);
    WaitForSingleObject(watcher, INFINITE);
    CloseHandle(watcher);
    watcher = nullptr;
}

void EnterEntry(Entry entry)
{
    entryStarted.store(GetTickCount(), std::memory_order_relaxed);
    currentEntry.store(static_cast<int>(entry), std::memory_order_release);
}

void LeaveEntry()
{
    currentEntry.store(0, std::memory_order_release);
}
