// Download progress on the main window's taskbar button, through the
// shell's taskbar list where the shell offers one (Windows 7 and later).
// Without it every call does nothing and returns false. GUI thread only.
#pragma once
#include <windows.h>
#include <shobjidl.h>

#include <cstdint>
#include <functional>

#include "classlib/Raii.h"

namespace components {

enum TTaskbarProgressState {
    tpsNone = 0,
    tpsIndeterminate = 1,
    tpsNormal = 2,
    tpsError = 3,
    tpsPaused = 4,
};

// The shell's flag for a state; values outside the enumeration give 0.
TBPFLAG TaskbarProgressFlag(int state);

// Creates the taskbar list once (COM must be initialised); true when it is
// available afterwards. Calling it again after success creates nothing.
bool InitializeTaskbarAPI();
bool IsTaskbarAPIAvailable();
// Releases the taskbar list; call it before OLE shuts down.
void ReleaseTaskbarAPI();

// Both address the application's main window and return true only when
// the shell accepted the call.
bool SetTaskbarProgressState(int state);
bool SetTaskbarProgressValue(uint64_t current, uint64_t max);

// Makes the taskbar list object; null means CoCreateInstance of the
// shell's class. Tests put a recording object in its place.
using TaskbarListFactoryFunc = std::function<HRESULT(cls::ComPtr<ITaskbarList3>& list)>;
extern TaskbarListFactoryFunc TaskbarListFactory;

}  // namespace components
