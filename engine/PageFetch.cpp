#include "PageFetch.h"

#include <algorithm>
#include <memory>

#include "classlib/Files.h"
#include "classlib/StringList.h"
#include "classlib/Strings.h"
#include "Constants.h"
#include "FBapi.h"
#include "HTTPGet.h"

namespace engine {

cls::TComponent* PageFetchOwner = nullptr;

namespace {

constexpr int kNameAttempts = 100;

// Deletes the file when the scope ends, however it ends.
class TDeleteOnExit {
public:
    explicit TDeleteOnExit(std::wstring path) : path_(std::move(path)) {}
    ~TDeleteOnExit() { cls::RemoveFile(path_); }
    TDeleteOnExit(const TDeleteOnExit&) = delete;
    TDeleteOnExit& operator=(const TDeleteOnExit&) = delete;

private:
    std::wstring path_;
};

// One synchronous transfer into FileName; the component goes away with the
// call. True when the whole body arrived, announced size or not.
bool FetchToFile(const std::wstring& url, const std::wstring& fileName) {
    std::unique_ptr<THTTPGet> http(new THTTPGet(PageFetchOwner));
    http->WaitThread = true;
    http->UseCache = false;
    http->MaxBytes = PageFetchMaxBytes;
    http->FileName = fileName;
    http->URL = url;
    http->GetFile();
    return http->ArrivedWhole();
}

// Deletes, again and again, the first piece of S that starts with Open and
// ends with the first End found from Skip characters past that start,
// until either is missing: RemoveOpeningTags and RemoveElements. One pass:
// the text before the first Open holds no Open, so after a deletion the
// next one can only start in the last characters kept, where the deletion
// may have joined a new one, or further on. Skip is at least Open's length.
void RemoveRepeatedly(std::wstring& s, std::wstring_view open, std::wstring_view end, size_t skip) {
    std::wstring out;
    std::wstring_view rest = s;
    bool deleted = false;
    for (;;) {
        // The first Open of out + rest; out never holds a whole one.
        size_t k = out.size();
        if (deleted) {
            for (size_t j = out.size() - std::min(out.size(), open.size() - 1); j < out.size(); ++j) {
                size_t inOut = out.size() - j;
                if (std::wstring_view(out).substr(j) == open.substr(0, inOut) &&
                    rest.substr(0, open.size() - inOut) == open.substr(inOut)) {
                    k = j;
                    break;
                }
            }
        }
        if (k == out.size()) {
            size_t q = rest.find(open);
            if (q == std::wstring_view::npos) break;
            out.append(rest.substr(0, q));
            rest.remove_prefix(q);
            k = out.size();
        }
        size_t e = rest.find(end, k + skip - out.size());
        if (e == std::wstring_view::npos) break;
        out.resize(k);
        rest.remove_prefix(e + end.size());
        deleted = true;
    }
    if (!deleted) return;
    out.append(rest);
    s = std::move(out);
}

// Deletes every opening tag that starts with Open, through the first ">"
// found from Skip characters past its start.
void RemoveOpeningTags(std::wstring& s, std::wstring_view open, size_t skip) {
    RemoveRepeatedly(s, open, L">", skip);
}

// Deletes whole elements from Open through Close, contents included; Close
// is searched from Skip characters past the start of Open.
void RemoveElements(std::wstring& s, std::wstring_view open, std::wstring_view close, size_t skip) {
    RemoveRepeatedly(s, open, close, skip);
}

}  // namespace

std::wstring DrawFreeFileName(const std::wstring& folder, const std::function<std::wstring()>& draw,
                              int attempts) {
    for (int i = 0; i < attempts; ++i) {
        std::wstring name = draw();
        // A folder of that name would block the file just as well.
        if (!cls::FileExists(folder + name) && !cls::DirectoryExists(folder + name)) return name;
    }
    return {};
}

bool FetchPageLines(const std::wstring& url, const TLineScanner& scan) {
    cls::ForceDirectories(CacheFolder);
    std::wstring name = DrawFreeFileName(
        CacheFolder, [] { return L"~" + MakeRandomFileName() + L".tmp"; }, kNameAttempts);
    if (name.empty()) return false;
    std::wstring path = CacheFolder + name;

    // The result does not matter: an error page or a cut-off body is still
    // scanned like a complete page.
    FetchToFile(url, path);

    if (!cls::FileExists(path)) return false;
    TDeleteOnExit cleanup(path);
    cls::TStringList lines;
    lines.LoadFromFile(path, cls::TextEncoding::UTF8);
    for (const std::wstring& line : lines.Lines())
        if (!scan(DecodeHtmlEntities(line))) break;
    return true;
}

std::wstring DecodeHtmlEntities(std::wstring_view text) {
    // Order matters: the doubly escaped forms go first, and the JSON-escaped
    // percent forms ("\u0025" + hex) after the HTML entities.
    static const struct {
        const wchar_t* from;
        const wchar_t* to;
    } kRules[] = {
        {L"&amp;#39;", L"'"},          {L"&amp;quot;", L"\""},   {L"&amp;amp;", L"&"},
        {L"&#39;", L"'"},              {L"&quot;", L"\""},       {L"&amp;", L"&"},
        {L"&#034;", L"\""},            {L"&#039;", L"'"},        {L"\\u00255Cu00253D", L"%3D"},
        {L"\\u002522", L"\""},         {L"\\u00253A", L":"},     {L"\\u00255C", L"\\"},
        {L"\\u00252F", L"/"},          {L"\\u00253F", L"?"},     {L"\\u00253D", L"="},
        {L"\\u002526", L"&"},          {L"\\u00252C", L","},
    };
    std::wstring s(text);
    // Most rules find nothing in a line: they are skipped on a folded copy,
    // which is folded again only after a rule changed the text.
    std::wstring folded = cls::LowerCase(s);
    for (const auto& r : kRules) {
        if (folded.find(cls::LowerCase(r.from)) == std::wstring::npos) continue;
        s = cls::ReplaceAll(s, r.from, r.to, true);
        folded = cls::LowerCase(s);
    }
    return s;
}

std::wstring StripHtml(std::wstring_view text) {
    std::wstring s = DecodeHtmlEntities(text);
    RemoveOpeningTags(s, L"<a class", 8);
    RemoveOpeningTags(s, L"<a href", 7);
    RemoveElements(s, L"<i class", L"</i>", 8);
    RemoveElements(s, L"<span", L"</span>", 5);
    for (const wchar_t* tag : {L"<br />", L"</a>", L"<wbr />", L"</span>", L"<span>",
                               L"<span dir=\"rtl\">", L"<span dir=\"ltr\">"})
        s = cls::ReplaceAll(s, tag, L"", true);
    return cls::Trim(s);
}

bool IsPlainFileName(std::wstring_view name) {
    if (name.empty() || name.find(L"..") != std::wstring_view::npos) return false;
    for (wchar_t c : name)
        if (c < 32 || c == 127 || std::wstring_view(L"\\/:<>\"|?*").find(c) != std::wstring_view::npos)
            return false;
    return true;
}

bool ThumbnailNeedsFetch(const std::wstring& path) {
    return !cls::FileExists(path) || GetFileSize64(path) == 0;
}

void DownloadToThumbnailFolder(const std::wstring& name, const std::wstring& url) {
    if (!IsPlainFileName(name)) return;
    if (!cls::DirectoryExists(ThumbnailsFolder)) cls::ForceDirectories(ThumbnailsFolder);
    std::wstring path = ThumbnailsFolder + name;
    bool ok = FetchToFile(url, path);
    // A failed or empty picture would only show as a broken thumbnail.
    if (!ok || GetFileSize64(path) <= 0) cls::RemoveFile(path);
}

}  // namespace engine
