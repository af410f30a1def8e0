// A stand-in for the system's mail library with message sessions, which
// Wine's lacks; it counts the sessions open.
#include <windows.h>
#include <objidl.h>

static LONG g_openSessions = 0;
static char g_session;

extern "C" {
LONG WINAPI FakeMapiOpenSessions() { return g_openSessions; }
IMalloc* WINAPI MAPIGetDefaultMalloc() { return reinterpret_cast<IMalloc*>(&g_openSessions); }
void WINAPI Unused() {}  // the entry points that are only bound
// Only the library's own allocator is taken.
SCODE WINAPI OpenIMsgSession(IMalloc* malloc, ULONG flags, void** session) {
    if (malloc != MAPIGetDefaultMalloc() || flags != 0) return E_INVALIDARG;
    ++g_openSessions;
    *session = &g_session;
    return S_OK;
}
void WINAPI CloseIMsgSession(void* session) { g_openSessions -= session == &g_session; }
}
