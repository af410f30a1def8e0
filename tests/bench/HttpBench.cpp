// Downloads one URL with the HTTP component the way the download window
// does (asynchronous, events on the GUI thread's message loop) and prints
// speed and peak memory on one line:
//   HttpBench.exe URL FILE progress|noprogress
#include <windows.h>
#include <psapi.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

#include "engine/HTTPGet.h"

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc < 3) {
        fwprintf(stderr, L"usage: HttpBench URL FILE [progress|noprogress]\n");
        return 2;
    }
    const bool withProgress = argc < 4 || std::wstring(argv[3]) != L"noprogress";

    engine::THTTPGet get(nullptr);
    get.URL = argv[1];
    get.FileName = argv[2];
    bool ok = false;
    long long events = 0;
    int position = -1;  // what a progress bar would show
    if (withProgress)
        get.OnProgress = [&](cls::TThread*, int64_t total, int64_t readed) {
            ++events;
            if (total > 0) position = static_cast<int>(readed * 100 / total);
        };
    get.OnDoneFile = [&](engine::THTTPGet*, const std::wstring&, int64_t) {
        ok = true;
        PostQuitMessage(0);
    };
    get.OnError = [&](engine::THTTPGet*) { PostQuitMessage(1); };

    LARGE_INTEGER freq, t0, t1;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&t0);
    get.GetFile();
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    QueryPerformanceCounter(&t1);

    double seconds = double(t1.QuadPart - t0.QuadPart) / double(freq.QuadPart);
    double mib = double(get.BytesRead()) / (1024.0 * 1024.0);
    PROCESS_MEMORY_COUNTERS pmc = {};
    pmc.cb = sizeof(pmc);
    GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof(pmc));
    printf("mode=%s result=%s status=%d bytes=%lld seconds=%.3f mibps=%.1f events=%lld position=%d "
           "peak_ws_mib=%.1f\n",
           withProgress ? "progress" : "noprogress", ok ? "done" : "error", get.StatusCode(),
           static_cast<long long>(get.BytesRead()), seconds, seconds > 0 ? mib / seconds : 0.0,
           events, position, double(pmc.PeakWorkingSetSize) / (1024.0 * 1024.0));
    return ok ? 0 : 1;
}
