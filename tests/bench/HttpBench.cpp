// Downloads one URL and prints speed and peak memory on one line, either
// with the HTTP component the way the download window uses it
// (asynchronous, events on the GUI thread's message loop) or with the
// smallest loop of the same shape, the reference the component is measured
// against: a worker thread reading 2050-byte blocks with blocking WinInet
// into the file and, with progress, handing each block over to a window of
// the GUI thread with SendMessage.
//   HttpBench.exe URL FILE progress|noprogress [reference]
#include <windows.h>
#include <psapi.h>
#include <shellapi.h>
#include <wininet.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

#include "engine/HTTPGet.h"
#include "tests/support/AllocationCounter.h"

namespace {

struct Run {
    bool withProgress = true;
    bool ok = false;
    long long events = 0;
    int position = -1;  // what a progress bar would show
    int64_t bytes = 0;
    int status = 0;

    void Progress(int64_t total, int64_t readed) {
        ++events;
        if (total > 0) position = static_cast<int>(readed * 100 / total);
    }
};

void PumpUntilQuit() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void RunComponent(Run& run, const wchar_t* url, const wchar_t* file) {
    engine::THTTPGet get(nullptr);
    get.URL = url;
    get.FileName = file;
    if (run.withProgress)
        get.OnProgress = [&](cls::TThread*, int64_t total, int64_t readed) { run.Progress(total, readed); };
    get.OnDoneFile = [&](engine::THTTPGet*, const std::wstring&, int64_t) {
        run.ok = true;
        PostQuitMessage(0);
    };
    get.OnError = [&](engine::THTTPGet*) { PostQuitMessage(1); };
    get.GetFile();
    PumpUntilQuit();
    run.bytes = get.BytesRead();
    run.status = get.StatusCode();
}

// The reference loop.
const UINT WM_BLOCK = WM_APP + 1;
const UINT WM_FINISHED = WM_APP + 2;

struct Reference {
    Run* run;
    HWND window;
    std::wstring url, file;
    int64_t total = 0;
};

LRESULT CALLBACK ReferenceWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* ref = reinterpret_cast<Reference*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == WM_BLOCK) {
        ref->run->Progress(ref->total, *reinterpret_cast<int64_t*>(lp));
        return 0;
    }
    if (msg == WM_FINISHED) {
        ref->run->ok = wp != 0;
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

DWORD WINAPI ReferenceWorker(void* p) {
    auto* ref = static_cast<Reference*>(p);
    bool ok = false;
    URL_COMPONENTSW parts = {};
    parts.dwStructSize = sizeof(parts);
    wchar_t host[256], path[2048];
    parts.lpszHostName = host;
    parts.dwHostNameLength = 256;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = 2048;
    HINTERNET root = InternetOpenW(engine::DefaultAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (root && InternetCrackUrlW(ref->url.c_str(), 0, 0, &parts)) {
        HINTERNET conn = InternetConnectW(root, host, parts.nPort, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
        // The same flags as the component's uncached request.
        HINTERNET req = HttpOpenRequestW(conn, L"GET", path, nullptr, L"", nullptr,
                                         INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0);
        if (req && HttpSendRequestW(req, nullptr, 0, nullptr, 0)) {
            DWORD status = 0, size = sizeof(status);
            HttpQueryInfoW(req, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr);
            ref->run->status = static_cast<int>(status);
            wchar_t length[64] = {};
            size = sizeof(length);
            if (HttpQueryInfoW(req, HTTP_QUERY_CONTENT_LENGTH, length, &size, nullptr))
                ref->total = _wtoi64(length);
            HANDLE file = CreateFileW(ref->file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            char buffer[2050];
            DWORD got = 0, written = 0;
            int64_t readed = 0;
            while (InternetReadFile(req, buffer, sizeof(buffer), &got) && got > 0) {
                WriteFile(file, buffer, got, &written, nullptr);
                readed += got;
                if (ref->run->withProgress)
                    SendMessageW(ref->window, WM_BLOCK, 0, reinterpret_cast<LPARAM>(&readed));
            }
            CloseHandle(file);
            ref->run->bytes = readed;
            ok = readed == ref->total;
        }
        if (req) InternetCloseHandle(req);
        if (conn) InternetCloseHandle(conn);
    }
    if (root) InternetCloseHandle(root);
    PostMessageW(ref->window, WM_FINISHED, ok, 0);
    return 0;
}

void RunReference(Run& run, const wchar_t* url, const wchar_t* file) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = ReferenceWndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"HttpBenchReference";
    RegisterClassW(&wc);
    Reference ref{&run, nullptr, url, file};
    ref.window = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 wc.hInstance, nullptr);
    SetWindowLongPtrW(ref.window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&ref));
    HANDLE worker = CreateThread(nullptr, 0, ReferenceWorker, &ref, 0, nullptr);
    PumpUntilQuit();
    WaitForSingleObject(worker, INFINITE);
    CloseHandle(worker);
    DestroyWindow(ref.window);
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc < 3) {
        fwprintf(stderr, L"usage: HttpBench URL FILE [progress|noprogress] [reference]\n");
        return 2;
    }
    Run run;
    run.withProgress = argc < 4 || std::wstring(argv[3]) != L"noprogress";
    const bool reference = argc >= 5 && std::wstring(argv[4]) == L"reference";

    LARGE_INTEGER freq, t0, t1;
    QueryPerformanceFrequency(&freq);
    const long long allocationsBefore = testing_support::AllocationCount();
    QueryPerformanceCounter(&t0);
    if (reference)
        RunReference(run, argv[1], argv[2]);
    else
        RunComponent(run, argv[1], argv[2]);
    QueryPerformanceCounter(&t1);
    // A loop that allocates per read shows a count in the tens of thousands.
    const long long runAllocations = testing_support::AllocationCount() - allocationsBefore;

    double seconds = double(t1.QuadPart - t0.QuadPart) / double(freq.QuadPart);
    double mib = double(run.bytes) / (1024.0 * 1024.0);
    PROCESS_MEMORY_COUNTERS pmc = {};
    pmc.cb = sizeof(pmc);
    GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof(pmc));
    printf("loop=%s mode=%s result=%s status=%d bytes=%lld seconds=%.3f mibps=%.1f events=%lld "
           "position=%d allocations=%lld peak_ws_mib=%.1f\n",
           reference ? "reference" : "component", run.withProgress ? "progress" : "noprogress",
           run.ok ? "done" : "error", run.status, static_cast<long long>(run.bytes), seconds,
           seconds > 0 ? mib / seconds : 0.0, run.events, run.position, runAllocations,
           double(pmc.PeakWorkingSetSize) / (1024.0 * 1024.0));
    return run.ok ? 0 : 1;
}
