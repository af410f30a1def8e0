// Times the program's handling of large input, one line per measure:
//   InputBench.exe WORKFOLDER
// the caption scan of an 8 MiB page of repeated links (read as a fetched
// page is read), a 1 MiB history loaded, filtered for one keystroke and
// filled, and the parse of a 1 MiB ini file of distinct sections. Peak
// memory is what the work holds through operator new at its most, and its
// ratio to the file's size.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <functional>
#include <string>

#include "app/History.h"
#include "classlib/Files.h"
#include "classlib/IniFiles.h"
#include "classlib/StringList.h"
#include "classlib/Strings.h"
#include "engine/Constants.h"
#include "engine/PageFetch.h"
#include "engine/VideoScraper.h"
#include "tests/support/AllocationCounter.h"

namespace {

constexpr size_t MiB = 1024 * 1024;

double Seconds(const std::function<void()>& work) {
    LARGE_INTEGER freq, t0, t1;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&t0);
    work();
    QueryPerformanceCounter(&t1);
    return double(t1.QuadPart - t0.QuadPart) / double(freq.QuadPart);
}

// Runs the work once and prints its time and peak memory against Bytes.
void Measure(const char* name, size_t bytes, const std::function<void()>& work, const char* extra = "") {
    testing_support::ResetAllocationPeak();
    double s = Seconds(work);
    size_t peak = testing_support::AllocationPeakSinceReset();
    printf("%s bytes=%zu seconds=%.3f peak_mib=%.2f peak_ratio=%.2f %s\n", name, bytes, s, double(peak) / MiB,
           double(peak) / double(bytes), extra);
}

std::string CaptionPage() {
    std::string page = "<html><body>\n<h1>page</h1>\n<div class=\"userContent\"><span class=\"hasCaption\">";
    for (int i = 0; page.size() < 8 * MiB; ++i) {
        const std::string n = std::to_string(i);
        page += "<a class=\"profileLink\" href=\"https://www.facebook.com/p" + n + "?ref=br_rs&amp;fref=" + n +
                "\">Name " + n + "</a> and <a href=\"/hashtag/t" + n + "\">#t" + n + "</a> ";
    }
    return page + "</span></div>\n</body></html>\n";
}

std::string HistoryText() {
    std::string text = "\xEF\xBB\xBF";
    for (int i = 0;; ++i) {
        std::string line = std::to_string(10150000000000LL + i) + ">Video n\xC2\xBA " + std::to_string(i) +
                           " \xE2\x80\x94 a day at the lake with friends\r\n";
        if (text.size() + line.size() > app::kMaxHistoryFileBytes) break;
        text += line;
    }
    return text;
}

std::string IniText() {
    std::string text;
    for (int i = 0; text.size() < MiB; ++i) text += "[Section " + std::to_string(i) + "]\r\nKey=" + std::to_string(i) + "\r\n";
    return text;
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc < 2) {
        fwprintf(stderr, L"usage: InputBench WORKFOLDER\n");
        return 2;
    }
    const std::wstring work = cls::IncludeTrailingPathDelimiter(argv[1]);
    engine::DataFolder = work + L"data\\";
    engine::ThumbnailsFolder = engine::DataFolder + L"Miniaturas\\";
    cls::ForceDirectories(engine::DataFolder);

    // The caption scan, as a fetched page is read: decoded lines, each
    // through the entity decoder and the video page scanner.
    const std::string page = CaptionPage();
    const std::wstring pageFile = work + L"page.tmp";
    cls::WriteFileBytes(pageFile, page);
    std::wstring caption;
    Measure("caption_scan", page.size(), [&] {
        cls::TStringList lines;
        lines.LoadFromFile(pageFile, cls::TextEncoding::UTF8);
        cls::TStringList results;
        engine::TVideoInfoScanner scan(results);
        for (const std::wstring& line : lines.Lines())
            if (!scan.Feed(engine::DecodeHtmlEntities(line))) break;
        caption = scan.Caption();
    });
    printf("caption_scan caption_chars=%zu\n", caption.size());

    // The history at the import cap; each measure starts from the full file.
    const std::string history = HistoryText();
    const std::wstring historyFile = app::HistoryFileName();
    size_t found = 0;
    cls::WriteFileBytes(historyFile, history);
    Measure("history_load", history.size(), [&] { found = app::FilterHistory(L"zzzz").Entries.size(); },
            "(every line read and folded, none matching)");
    Measure("history_filter_keystroke", history.size(), [&] { found = app::FilterHistory(L"v").Entries.size(); });
    printf("history_filter_keystroke matches=%zu\n", found);
    Measure("history_fill", history.size(), [&] { found = app::LoadAndCleanHistory().size(); });
    printf("history_fill entries=%zu file_after=%zu\n", found, [&] {
        std::string b;
        cls::ReadFileBytes(historyFile, b);
        return b.size();
    }());

    const std::string ini = IniText();
    const std::wstring iniFile = work + L"Config.ini";
    cls::WriteFileBytes(iniFile, ini);
    std::wstring value;
    Measure("ini_parse", ini.size(), [&] {
        cls::TMemIniFile file(iniFile, cls::TextEncoding::UTF8);
        value = file.ReadString(L"section 20000", L"key", L"");
    });
    printf("ini_parse value=%ls\n", value.c_str());
    return 0;
}
