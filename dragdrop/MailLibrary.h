// The system's mail library (mapi32.dll), bound at run time on first use
// and kept for the process.
#pragma once
#include <windows.h>
#include <objidl.h>

#include <string>

namespace dragdrop {

// The library's entry points; null until bound.
struct MailLibraryEntryPoints {
    LPMALLOC(WINAPI* MAPIGetDefaultMalloc)() = nullptr;
    HRESULT(WINAPI* MAPIInitialize)(void*) = nullptr;
    void(WINAPI* MAPIUninitialize)() = nullptr;
    SCODE(WINAPI* MAPIAllocateBuffer)(ULONG, void**) = nullptr;
    SCODE(WINAPI* MAPIAllocateMore)(ULONG, void*, void**) = nullptr;
    ULONG(WINAPI* MAPIFreeBuffer)(void*) = nullptr;
    void* OpenIMsgOnIStg = nullptr;  // bound only; never called here
    SCODE(WINAPI* OpenIMsgSession)(LPMALLOC, ULONG, void**) = nullptr;
    void(WINAPI* CloseIMsgSession)(void*) = nullptr;
};

// Loads the library when it is not loaded yet and binds the nine entry
// points. Throws EDragDrop with "%s: %s" when the library cannot be loaded
// (the next call tries again) and with "Failed to get %s entry point for
// %s: %s" when an entry point is missing.
const MailLibraryEntryPoints& LoadMailLibrary();

// The library's file name and the folder it is loaded from: the system
// folder, never the current or the program's folder.
const std::wstring& MailLibraryName();
std::wstring MailLibraryPath();

// Test seam: loads Name from Folder instead and forgets what was loaded.
// An empty Name restores the system's library.
void SetMailLibraryForTesting(const std::wstring& folder, const std::wstring& name);

}  // namespace dragdrop
