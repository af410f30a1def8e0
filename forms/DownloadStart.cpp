#include "forms/DownloadStart.h"

#include <windows.h>

#include <cwchar>
#include <memory>

#include "app/History.h"
#include "classlib/Application.h"
#include "classlib/Bitmap.h"
#include "classlib/Files.h"
#include "classlib/Image.h"
#include "classlib/JpegImage.h"
#include "classlib/Label.h"
#include "classlib/Strings.h"
#include "components/DrawnProgressBar.h"
#include "components/PictureScaler.h"
#include "engine/HTTPGet.h"
#include "forms/DownloadState.h"
#include "forms/Settings.h"
#include "forms/VideoPanel.h"
#include "forms/uFrmDownloading.h"

namespace app {

using namespace cls;

namespace {

const wchar_t* const StreamExtensions[] = {L".mp4", L".m4v", L".flv", L".webm", L".mkv",
                                           L".mov", L".3gp", L".avi", L".ts"};
const wchar_t* const PictureExtensions[] = {L".jpg", L".jpeg", L".png", L".gif", L".webp", L".bmp"};

std::wstring AsciiLower(std::wstring_view s) {
    std::wstring out(s);
    for (wchar_t& c : out)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return out;
}

bool NameTaken(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void HideHistory() {
    if (VideoPanelHost.HideHistoryDropDown) VideoPanelHost.HideHistoryDropDown();
}

void ShowDownloadThumbnail(TFrmDownloading* form, const std::wstring& id) {
    const std::wstring file = HistoryThumbnailFile(id);
    if (!file.empty() && FileExists(file)) {
        try {
            TJPEGImage jpeg;
            jpeg.LoadFromFile(file);
            auto bitmap = std::make_unique<TBitmap>();
            components::MakeThumbnail(jpeg, 97, 73, *bitmap, RGB(0, 0, 0));
            form->ImgThumbnail->SetGraphic(std::move(bitmap));
            return;
        } catch (...) {
            // An unreadable thumbnail shows the placeholder.
        }
    }
    form->ImgThumbnail->AssignPicture(form->ImgThumbDef->Picture());
}

// Over the main window's lower right corner, or where the last download
// window was left.
void PlaceDownloadWindow(TFrmDownloading* form) {
    if (DownloadFormLeft != -1) {
        form->SetBounds(DownloadFormLeft, DownloadFormTop, form->Width(), form->Height());
        return;
    }
    TForm* main = VideoPanelHost.MainForm ? VideoPanelHost.MainForm : Application.MainForm();
    if (!main) return;
    form->SetBounds(main->Left() + main->Width() - form->Width() - 54,
                    main->Top() + main->Height() - form->Height() - 10, form->Width(), form->Height());
}

}  // namespace

std::wstring SanitizeFileName(std::wstring_view text) {
    std::wstring out(text);
    for (wchar_t& c : out)
        if (c < 32 || std::wcschr(L"/\\:*\"<>|?&.", c)) c = L'_';
    return out;
}

std::wstring MakeUniqueFileName(const std::wstring& folder, const std::wstring& name,
                                const std::wstring& ext) {
    std::wstring candidate = folder + name + ext;
    for (int64_t n = 1; NameTaken(candidate); ++n)
        candidate = folder + name + L" (" + IntToStr(n) + L")" + ext;
    return candidate;
}

bool IsKnownMediaExtension(std::wstring_view ext, bool snapshot) {
    const std::wstring lower = AsciiLower(ext);
    if (snapshot) {
        for (const wchar_t* known : PictureExtensions)
            if (lower == known) return true;
    } else {
        for (const wchar_t* known : StreamExtensions)
            if (lower == known) return true;
    }
    return false;
}

std::wstring MediaExtension(const std::wstring& address, bool snapshot) {
    const std::wstring ext = ExtractFileExt(address.substr(0, address.find(L'?')));
    if (IsKnownMediaExtension(ext, snapshot)) return ext;
    return snapshot ? L".jpg" : L".mp4";
}

std::wstring KindSuffix(const std::wstring& kind) {
    if (kind == L"snapshot") return L" (snapshot)";
    if (kind == L"sd") return L" (SD)";
    if (kind == L"hd") return L" (HD)";
    return {};
}

std::wstring DownloadFileName(const std::wstring& shortTitle, const std::wstring& kind,
                              const std::wstring& address) {
    return SanitizeFileName(shortTitle) + KindSuffix(kind) + MediaExtension(address, kind == L"snapshot");
}

void StartDownload(const std::wstring& fileName, const std::wstring& folder, const std::wstring& url,
                   const std::wstring& id, const std::wstring& title, TLabel* linkLabel) {
    TVideoPanelHost& host = VideoPanelHost;
    HideHistory();
    if (!(host.WorkAnimationVisible && host.WorkAnimationVisible()) && host.OcultarPnlMsgs)
        host.OcultarPnlMsgs();
    try {
        // A window that is closing is no longer FrmDownloading: a new one
        // takes over rather than reusing one about to be freed.
        const bool created = FrmDownloading == nullptr;
        if (created) FrmDownloading = new TFrmDownloading(nullptr);
        TFrmDownloading* form = FrmDownloading;

        const std::wstring dir = IncludeTrailingPathDelimiter(folder);
        if (!DirectoryExists(dir)) ForceDirectories(dir);
        const std::wstring base = ExtractFileName(fileName);
        const std::wstring ext = ExtractFileExt(base);
        const std::wstring path = MakeUniqueFileName(dir, base.substr(0, base.size() - ext.size()), ext);

        form->Label1->SetCaption(ExtractFileName(path));
        form->Label1->SetHint(ExtractFileName(path));
        form->DrawnProgressBar1->SetMarquee(true);
        form->HG->FileName = path;
        form->HG->URL = url;
        form->Lbl1 = linkLabel;

        ShowDownloadThumbnail(form, id);
        AgregarEnHistorial(id, title);
        if (created) PlaceDownloadWindow(form);
        if (host.SetDownloadMenusEnabled) host.SetDownloadMenusEnabled(false);
        form->SetPopupParent(host.MainForm);
        if (created) form->Show();
        DownloadFormExists = true;
        form->Dwld();
    } catch (...) {
        // The click then simply has no further effect.
    }
}

void DownloadLabelClick(TComponent* sender) {
    try {
        HideHistory();
        auto* label = dynamic_cast<TLabel*>(sender);
        if (!label) return;
        // The help keyword holds the file of the label's completed download
        // (its caption then says "Play" or "View"), else nothing.
        const std::wstring path = label->HelpKeyword;
        if (!path.empty() && FileExists(path)) {
            PlayDownloadedFile(path);
            return;
        }
        if (DownloadFormExists && DownloadRunning) {
            Application.MessageBox(L"The download engine is currently active. Wait until it is complete or cancel it.",
                                   L"Download engine active", MB_ICONINFORMATION);
            return;
        }
        if (!path.empty()) {
            // The file of a completed download has gone: it is fetched again.
            std::wstring caption = ReplaceAll(label->Caption(), L"play", L"Download", true);
            label->SetCaption(ReplaceAll(caption, L"view", L"Download", true));
            label->HelpKeyword.clear();
        }

        TVideoPanel* panel = PanelOfLinkLabel(label);
        const TDownloadFields* fields = panel ? panel->FieldsOf(label) : nullptr;
        if (!fields) return;
        const TDownloadFields f = *fields;
        if (DownloadFolder.empty()) return;
        StartDownload(f.FileName, IncludeTrailingPathDelimiter(DownloadFolder), f.MediaUrl, f.Id, f.Title, label);
    } catch (...) {
        // A click that could not be carried out has no further effect.
    }
}

void DownloadLabelMouseMove(TComponent* sender, TShiftState, int, int) {
    if (auto* label = dynamic_cast<TLabel*>(sender)) label->Font().SetColor(LinkLabelHoverColor);
}

void DownloadLabelMouseLeave(TComponent* sender) {
    if (auto* label = dynamic_cast<TLabel*>(sender)) label->Font().SetColor(LinkLabelColor);
}

}  // namespace app
