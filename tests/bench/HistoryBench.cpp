// Drives the real Korvelink.exe with large history files and prints, one
// line per measure, how long the window stays without answering:
//   HistoryBench.exe PROGRAM WORKFOLDER [CAPSECONDS]
// The program is copied into WORKFOLDER\prog with an Init.dat that keeps its
// data beside it, so the history it reads is the one placed there. Measures:
//   keystroke_1mib       a history at the import cap (24,083 entries, every
//                        title holding the letter typed): one letter typed
//                        into the link box, until the drop-down shows every
//                        match, painted, and the window answers;
//   clean_window_1mib    "Clean History..." on that drop-down, until the
//                        clean-history window shows and answers;
//   history_button_1mib  the history button over a fresh copy of the file,
//                        until the drop-down shows and answers;
//   keystroke_limit      one letter over the largest history still loaded;
//   keystroke_32mib      one letter over a 32 MiB file placed by hand.
// Each also gives the process's peak memory and whether the history file is
// still byte for byte what was placed; the last two also how many of the 30
// thumbnails of its first entries are left after the program's exit. A
// measure that takes longer than the cap (default 120 s) is reported as
// "> cap" and its program ended.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>
#include <shellapi.h>

#include <cstdio>
#include <functional>
#include <optional>
#include <string>

#include "app/History.h"
#include "classlib/Files.h"
#include "classlib/Raii.h"
#include "tests/support/TestPictures.h"

namespace {

constexpr size_t MiB = 1024 * 1024;
constexpr wchar_t kTyped = L'a';
constexpr int kThumbnails = 30;  // as many as a history the program keeps
DWORD gCapMs = 120000;

double Now() {
    static LARGE_INTEGER freq = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) / double(freq.QuadPart);
}

// "1000000000000001>Title 0 about a video", newest first, with the
// byte-order mark and CR LF line ends the program writes, up to Bytes.
struct HistoryFile {
    std::string text;
    int entries = 0;
};
HistoryFile MakeHistory(size_t bytes) {
    HistoryFile h{"\xEF\xBB\xBF", 0};
    h.text.reserve(bytes);
    for (long long i = 0;; ++i) {
        std::string line = std::to_string(1000000000000001LL + i) + ">Title " + std::to_string(i) + " about a video\r\n";
        if (h.text.size() + line.size() > bytes) break;
        h.text += line;
        ++h.entries;
    }
    return h;
}

struct FindState {
    DWORD pid;
    const wchar_t* className;
    HWND found;
};
BOOL CALLBACK FindTopWindow(HWND hwnd, LPARAM lp) {
    auto* st = reinterpret_cast<FindState*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    wchar_t cls[64] = {};
    GetClassNameW(hwnd, cls, 64);
    if (pid != st->pid || !IsWindowVisible(hwnd) || lstrcmpW(cls, st->className) != 0) return TRUE;
    st->found = hwnd;
    return FALSE;
}
BOOL CALLBACK FindChild(HWND hwnd, LPARAM lp) {
    auto* st = reinterpret_cast<FindState*>(lp);
    wchar_t cls[64] = {};
    GetClassNameW(hwnd, cls, 64);
    if (lstrcmpiW(cls, st->className) != 0) return TRUE;
    st->found = hwnd;
    return FALSE;
}
HWND ChildOfClass(HWND parent, const wchar_t* className) {
    FindState st{0, className, nullptr};
    EnumChildWindows(parent, FindChild, reinterpret_cast<LPARAM>(&st));
    return st.found;
}

// One run of the program, ended (exited, else killed) when it goes.
class Program {
public:
    explicit Program(const std::wstring& exe) {
        std::wstring cmd = L"\"" + exe + L"\"";
        STARTUPINFOW si = {sizeof(si)};
        PROCESS_INFORMATION pi = {};
        if (!CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                            cls::ExtractFilePath(exe).c_str(), &si, &pi))
            return;
        CloseHandle(pi.hThread);
        process_.reset(pi.hProcess);
        pid_ = pi.dwProcessId;
        WaitForInputIdle(pi.hProcess, 15000);
        double start = Now();
        while (!main && Now() - start < 30 && Running()) {
            main = TopWindow(L"TFrmKorvelink");
            if (!main) Sleep(50);
        }
        if (!main || !Answers(15000)) {
            main = nullptr;
            return;
        }
        edit = ChildOfClass(main, L"Edit");
        toolbar = ChildOfClass(main, TOOLBARCLASSNAMEW);
        list = ChildOfClass(main, WC_LISTVIEWW);
        dropDown = list ? GetParent(list) : nullptr;
        // The drop-down's bottom strip: its other child.
        for (HWND c = dropDown ? GetWindow(dropDown, GW_CHILD) : nullptr; c; c = GetWindow(c, GW_HWNDNEXT))
            if (c != list) strip = c;
        Sleep(500);  // start-up settles
    }
    ~Program() { End(); }
    // Ends the program with File > Exit (Ctrl+W from the keyboard: its close
    // button only hides it), else kills it; true when it exited by itself.
    bool End() {
        if (!Running()) return false;
        if (main && !hung) {
            SetForegroundWindow(main);
            Sleep(200);
            INPUT in[4] = {};
            for (INPUT& i : in) i.type = INPUT_KEYBOARD;
            in[0].ki.wVk = in[3].ki.wVk = VK_CONTROL;
            in[1].ki.wVk = in[2].ki.wVk = 'W';
            in[2].ki.dwFlags = in[3].ki.dwFlags = KEYEVENTF_KEYUP;
            SendInput(4, in, sizeof(INPUT));
            if (WaitForSingleObject(process_.get(), 5000) == WAIT_OBJECT_0) return true;
        }
        TerminateProcess(process_.get(), 99);
        WaitForSingleObject(process_.get(), 5000);
        return false;
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool Ready() const { return main && edit && toolbar && list && strip; }
    bool Running() const { return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }
    HWND TopWindow(const wchar_t* className) const {
        FindState st{pid_, className, nullptr};
        EnumWindows(FindTopWindow, reinterpret_cast<LPARAM>(&st));
        return st.found;
    }
    // A message the GUI thread must answer; nothing when it does not in time.
    std::optional<LRESULT> Ask(HWND w, UINT msg, WPARAM wp, LPARAM lp, DWORD timeoutMs) const {
        DWORD_PTR r = 0;
        if (!SendMessageTimeoutW(w, msg, wp, lp, SMTO_NORMAL, timeoutMs, &r)) return std::nullopt;
        return static_cast<LRESULT>(r);
    }
    bool Answers(DWORD timeoutMs) const { return Ask(main, WM_NULL, 0, 0, timeoutMs).has_value(); }
    std::wstring Text(HWND w, DWORD timeoutMs) const {
        wchar_t buffer[256] = {};
        return Ask(w, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(buffer), timeoutMs) ? buffer : L"?";
    }
    int Items(HWND listView, DWORD timeoutMs) const {
        auto n = Ask(listView, LVM_GETITEMCOUNT, 0, 0, timeoutMs);
        return n ? static_cast<int>(*n) : -1;
    }
    void PostClick(HWND w, int x, int y) const {
        PostMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        PostMessageW(w, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    }
    std::string Memory() const {
        PROCESS_MEMORY_COUNTERS c = {sizeof(c)};
        if (!GetProcessMemoryInfo(process_.get(), &c, sizeof(c))) return "peak_ws_mib=? peak_private_mib=?";
        char text[96];
        snprintf(text, sizeof text, "peak_ws_mib=%.1f peak_private_mib=%.1f", double(c.PeakWorkingSetSize) / MiB,
                 double(c.PeakPagefileUsage) / MiB);
        return text;
    }

    HWND main = nullptr, edit = nullptr, toolbar = nullptr, list = nullptr, dropDown = nullptr, strip = nullptr;
    bool hung = false;  // a measure ran past the cap

private:
    cls::Handle process_;
    DWORD pid_ = 0;
};

// Seconds from Start until Done holds, or nothing past the cap (and the
// program is marked hung). Done asks the program, so it holds only once the
// GUI thread answers again.
std::optional<double> TimeUntil(Program& p, double start, const std::function<bool(DWORD)>& done) {
    for (;;) {
        double spent = Now() - start;
        if (spent * 1000 > gCapMs || !p.Running()) break;
        DWORD left = gCapMs - static_cast<DWORD>(spent * 1000);
        if (done(left)) return Now() - start;
        Sleep(5);
    }
    p.hung = true;
    return std::nullopt;
}

// Paints what the window has to paint, then asks once more: the drop-down
// is shown only when its rows are on the screen.
bool PaintedAndAnswering(Program& p, HWND w, DWORD timeoutMs) {
    RedrawWindow(w, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    return p.Answers(timeoutMs);
}

std::string Seconds(const std::optional<double>& s) {
    char text[32];
    if (s) snprintf(text, sizeof text, "%.3f", *s);
    else snprintf(text, sizeof text, ">%u", unsigned(gCapMs / 1000));
    return text;
}

struct Bench {
    std::wstring exe, data;

    std::wstring HistoryPath() const { return data + L"Historial.dat"; }
    void Place(const HistoryFile& h) const {
        cls::WriteFileBytes(HistoryPath(), h.text);
        std::string jpeg = testing_support::RedBlueJpeg(120, 90);
        cls::ForceDirectories(data + L"Miniaturas");
        for (int i = 0; i < kThumbnails; ++i)
            cls::WriteFileBytes(data + L"Miniaturas\\" + std::to_wstring(1000000000000001LL + i) + L".jpg", jpeg);
    }
    int ThumbnailsLeft() const {
        int n = 0;
        for (int i = 0; i < kThumbnails; ++i)
            n += cls::FileExists(data + L"Miniaturas\\" + std::to_wstring(1000000000000001LL + i) + L".jpg");
        return n;
    }
    bool Unchanged(const HistoryFile& h) const {
        std::string now;
        return cls::ReadFileBytes(HistoryPath(), now) && now == h.text;
    }

    // One letter typed into the link box; the drop-down is to list Expected
    // items (0: whatever it lists, once the window answers).
    std::optional<double> Type(Program& p, int expected, int& shown) const {
        PostMessageW(p.edit, WM_CHAR, kTyped, 0x001E0001);
        const std::wstring typed(1, kTyped);
        return TimeUntil(p, Now(), [&](DWORD left) {
            // The box answers with the letter only once its change handler,
            // which fills the drop-down, has returned.
            if (p.Text(p.edit, left) != typed) return false;
            shown = IsWindowVisible(p.dropDown) ? p.Items(p.list, left) : 0;
            if (expected > 0 && shown != expected) return false;
            return PaintedAndAnswering(p, p.main, left);
        });
    }

    void Keystroke(const char* name, const HistoryFile& h, bool expectAll) const {
        Place(h);
        std::optional<double> s;
        int shown = -1;
        Program p(exe);
        if (!p.Ready()) {
            printf("%s: the program did not start\n", name);
            return;
        }
        s = Type(p, expectAll ? h.entries : 0, shown);
        std::string memory = p.Memory();
        // Looked at once the program has ended (exited: its exit's clean-up
        // of thumbnails ran too).
        const char* end = p.End() ? "exited" : "killed";
        printf("%s bytes=%zu entries=%d seconds=%s items_shown=%d %s exit=%s file_unchanged=%s thumbnails_left=%d/%d\n",
               name, h.text.size(), h.entries, Seconds(s).c_str(), shown, memory.c_str(), end,
               Unchanged(h) ? "yes" : "no", ThumbnailsLeft(), kThumbnails);
        fflush(stdout);
    }

    // The 1 MiB history: a keystroke, the clean-history window from the
    // drop-down, then the history button over a fresh copy of the file.
    void Import1MiB(const HistoryFile& h) const {
        Place(h);
        Program p(exe);
        if (!p.Ready()) {
            printf("keystroke_1mib: the program did not start\n");
            return;
        }
        int shown = -1;
        auto s = Type(p, h.entries, shown);
        printf("keystroke_1mib bytes=%zu entries=%d seconds=%s items_shown=%d %s file_unchanged=%s\n", h.text.size(),
               h.entries, Seconds(s).c_str(), shown, p.Memory().c_str(), Unchanged(h) ? "yes" : "no");
        fflush(stdout);
        if (p.hung) return;

        // "Clean History..." sits 225 pixels left of the window's right
        // edge on the drop-down's bottom strip.
        RECT client;
        GetClientRect(p.main, &client);
        p.PostClick(p.strip, client.right - 225 + 20, 8);
        HWND form = nullptr;
        int items = -1;
        s = TimeUntil(p, Now(), [&](DWORD left) {
            form = p.TopWindow(L"TFrmHistorial");
            if (!form) return false;
            HWND formList = ChildOfClass(form, WC_LISTVIEWW);
            items = formList ? p.Items(formList, left) : -1;
            return items > 0 && PaintedAndAnswering(p, form, left);
        });
        printf("clean_window_1mib seconds=%s items_shown=%d\n", Seconds(s).c_str(), items);
        fflush(stdout);
        if (p.hung) return;
        PostMessageW(form, WM_CLOSE, 0, 0);
        TimeUntil(p, Now(), [&](DWORD left) { return !p.TopWindow(L"TFrmHistorial") && p.Answers(left); });
        if (p.hung) return;

        // That window cleaned the file; the button gets the whole one again.
        Place(h);
        if (IsWindowVisible(p.dropDown)) p.PostClick(p.toolbar, 11, 11);  // hides it first
        TimeUntil(p, Now(), [&](DWORD left) { return !IsWindowVisible(p.dropDown) && p.Answers(left); });
        p.PostClick(p.toolbar, 11, 11);
        s = TimeUntil(p, Now(), [&](DWORD left) {
            if (!IsWindowVisible(p.dropDown)) return false;
            items = p.Items(p.list, left);
            return items > 0 && PaintedAndAnswering(p, p.main, left);
        });
        printf("history_button_1mib seconds=%s items_shown=%d %s\n", Seconds(s).c_str(), items, p.Memory().c_str());
        fflush(stdout);
    }
};

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc < 3) {
        fwprintf(stderr, L"usage: HistoryBench PROGRAM WORKFOLDER [CAPSECONDS]\n");
        return 2;
    }
    if (argc > 3) gCapMs = static_cast<DWORD>(_wtoi(argv[3])) * 1000;
    const std::wstring prog = cls::IncludeTrailingPathDelimiter(argv[2]) + L"prog\\";
    cls::ForceDirectories(prog);
    Bench bench{prog + L"Korvelink.exe", prog};
    if (!CopyFileW(argv[1], bench.exe.c_str(), FALSE)) {
        fwprintf(stderr, L"cannot copy %ls\n", argv[1]);
        return 1;
    }
    // The data folder is the program's own; no donation reminder.
    cls::WriteFileBytes(prog + L"Init.dat", "[General]\r\nUbicacionData=App\r\n");
    cls::WriteFileBytes(prog + L"Config.ini", "\xEF\xBB\xBF[General]\r\nNoMostrarMsgDonar=1\r\n");

    bench.Import1MiB(MakeHistory(app::kMaxHistoryFileBytes));
    bench.Keystroke("keystroke_limit", MakeHistory(app::kMaxLoadableHistoryBytes), true);
    bench.Keystroke("keystroke_32mib", MakeHistory(32 * MiB), false);
    return 0;
}
