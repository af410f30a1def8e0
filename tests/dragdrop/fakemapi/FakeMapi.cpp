// A stand-in for the system's mail library with working message sessions
// (Wine's has none); it counts the sessions it has open.
#include <windows.h>
#include <objidl.h>

namespace {
LONG g_openSessions = 0;
IMalloc* g_openedWith = nullptr;
char g_session;  // sessions are only told apart by address
}  // namespace

extern "C" {

LONG WINAPI FakeMapiOpenSessions() { return g_openSessions; }
IMalloc* WINAPI FakeMapiSessionAllocator() { return g_openedWith; }

IMalloc* WINAPI MAPIGetDefaultMalloc() {
    IMalloc* m = nullptr;
    CoGetMalloc(1, &m);
    if (m) m->Release();  // the task allocator lives for the process
    return m;
}
HRESULT WINAPI MAPIInitialize(void*) { return S_OK; }
void WINAPI MAPIUninitialize() {}
SCODE WINAPI MAPIAllocateBuffer(ULONG, void** p) { return *p = nullptr, E_NOTIMPL; }
SCODE WINAPI MAPIAllocateMore(ULONG, void*, void** p) { return *p = nullptr, E_NOTIMPL; }
ULONG WINAPI MAPIFreeBuffer(void*) { return 0; }
SCODE WINAPI OpenIMsgOnIStg(void*, void*, void*, void*, void*, void*, void*, void*, ULONG, ULONG, void**) {
    return E_NOTIMPL;
}
SCODE WINAPI OpenIMsgSession(IMalloc* malloc, ULONG flags, void** session) {
    if (!malloc || flags != 0 || !session) return E_INVALIDARG;
    g_openedWith = malloc;
    ++g_openSessions;
    *session = &g_session;
    return S_OK;
}
void WINAPI CloseIMsgSession(void* session) {
    if (session == &g_session) --g_openSessions;
}
}
