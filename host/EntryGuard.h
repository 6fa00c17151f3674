// Watches the plug-in's entry calls from a second thread, so that a call
// that never returns or that crashes ends the host with one line naming the
// entry, instead of a silent hang or the system's crash report.
#pragma once

#include <string>

enum class Entry { None, Init, Render, Quit, Config };

// Starts the watching thread and the crash handlers. `watchdogSeconds` 0
// turns the time limit off; Config, a dialog the user may keep open, has
// none. `plugin` names the DLL in the lines.
void StartEntryGuard(const std::string& plugin, double watchdogSeconds);
void StopEntryGuard();

// Around each entry call, on the calling thread: atomic stores only, no lock.
void EnterEntry(Entry entry);
void LeaveEntry();
