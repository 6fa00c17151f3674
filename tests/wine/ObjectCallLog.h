// The plug-in's calls that take and give back its window's objects (device
// context, rendering context, quadric) and present frames, seen through its
// import table.
#pragma once

#include <windows.h>

#include <algorithm>
#include <ostream>
#include <utility>
#include <vector>

// Objects of one kind: addresses and handles come round again once given
// back, so the ledger follows what is held rather than what was ever seen.
template <typename T>
struct Ledger {
    std::vector<T> held;    // taken and not yet given back
    int taken = 0;
    int givenBack = 0;
    int strayReturns = 0;   // given back while not held: twice, or never taken

    void Take(const T& object)
    {
        held.push_back(object);
        ++taken;
    }

    // False for a stray return, which must not reach the system.
    bool GiveBack(const T& object)
    {
        const auto found = std::find(held.begin(), held.end(), object);
        if (found == held.end()) {
            ++strayReturns;
            return false;
        }
        held.erase(found);
        ++givenBack;
        return true;
    }

    // Everything taken was given back once, and nothing else.
    bool Balanced() const { return held.empty() && strayReturns == 0; }
};

template <typename T>
std::ostream& operator<<(std::ostream& out, const Ledger<T>& ledger)
{
    return out << ledger.taken << " taken, " << ledger.givenBack << " given back, " << ledger.strayReturns
               << " given back while not held, " << ledger.held.size() << " still held";
}

struct ObjectCalls {
    Ledger<std::pair<HWND, HDC>> dcs;
    Ledger<HGLRC> contexts;
    Ledger<void*> quadrics;
    std::vector<HWND> dcWindows;  // the window of every device context taken
    int swaps = 0;
};

// Routes the plug-in's calls through recorders that log into calls until
// StopRecording; false when the plug-in lacks one of the imports. A stray
// return is logged but not passed on, so that the test reports it instead of
// crashing.
bool RecordObjectCalls(HMODULE plugin, ObjectCalls& calls);
void StopRecording();
