#include "forms/VideoPanel.h"

#include <memory>

#include "app/History.h"
#include "classlib/Bitmap.h"
#include "classlib/Files.h"
#include "classlib/Image.h"
#include "classlib/ImgList.h"
#include "classlib/JpegImage.h"
#include "classlib/Label.h"
#include "classlib/Picture.h"
#include "classlib/StringList.h"
#include "classlib/Strings.h"
#include "components/PictureScaler.h"
#include "forms/DownloadStart.h"
#include "forms/uFrmDownloading.h"

namespace app {

using namespace cls;

TVideoPanelHost VideoPanelHost;

const wchar_t* const HintSeparator = L"\u00B4\u00B4";

namespace {

const wchar_t* const CameraResources[] = {L"KV_CAMERA_SNAPSHOT", L"KV_CAMERA_VIDEO"};

void PanelMouseDown(TComponent* sender, TMouseButton button, TShiftState shift, int x, int y) {
    if (VideoPanelHost.PnlVideoMouseDown)
        VideoPanelHost.PnlVideoMouseDown(sender, button, shift, x, y);
    else if (VideoPanelHost.HideHistoryDropDown)
        VideoPanelHost.HideHistoryDropDown();
}

void ShowPlaceholder(TVideoPanel* panel) {
    if (VideoPanelHost.ThumbDefault)
        panel->Thumbnail->AssignPicture(VideoPanelHost.ThumbDefault->Picture());
    else
        panel->Thumbnail->Clear();
    panel->Frame->SetPenColor(FrameColorPlaceholder);
}

}  // namespace

int AddCameraPictures(TImageList& list, HINSTANCE module) {
    if (!module) module = GetModuleHandleW(nullptr);
    int added = 0;
    for (const wchar_t* name : CameraResources) {
        if (!FindResourceW(module, name, RT_RCDATA)) continue;
        try {
            TPicture picture;
            picture.LoadFromResource(module, name);
            if (picture.Graphic() && list.AddGraphic(*picture.Graphic()) >= 0) ++added;
        } catch (...) {
            // A damaged picture leaves its row without an icon.
        }
    }
    return added;
}

std::wstring JoinDownloadHint(const TDownloadFields& f) {
    return f.Id + HintSeparator + f.MediaUrl + HintSeparator + f.FileName + HintSeparator + f.Title;
}

namespace {
const std::wstring_view KindMarkerStart = L"&src=";

// Where the kind marker the scraper appended begins: the last "&src=" of a
// line that ends with "&"; the address before it may hold anything,
// another marker-like pair included.
size_t KindMarkerPos(std::wstring_view line) {
    if (line.empty() || line.back() != L'&') return std::wstring_view::npos;
    size_t p = line.rfind(KindMarkerStart);
    if (p == std::wstring_view::npos || p + KindMarkerStart.size() >= line.size()) return std::wstring_view::npos;
    return p;
}
}  // namespace

std::wstring ResultLineKind(std::wstring_view line) {
    size_t p = KindMarkerPos(line);
    if (p == std::wstring_view::npos) return {};
    p += KindMarkerStart.size();
    return std::wstring(line.substr(p, line.size() - 1 - p));
}

std::wstring MediaAddressOf(const std::wstring& line, const std::wstring& kind) {
    size_t p = KindMarkerPos(line);
    if (p == std::wstring::npos || ResultLineKind(line) != kind) return line;
    return line.substr(0, p);
}

TLinkRow LinkRowFor(const std::wstring& kind, bool sdLabelExists) {
    if (kind == L"snapshot") return {L"Download Snapshot", 0, 74, 71};
    if (kind == L"sd") return {L"Download video in Standard Definition", 1, 101, 97};
    if (sdLabelExists) return {L"Download video in High Definition", 1, 127, 123};
    return {L"Download video in High Definition", 1, 101, 97};
}

std::wstring VideoTipText(const std::wstring& title, const std::wstring& id) {
    return L"Title: " + ReplaceAll(title, L"|", L"_") + L"\n" + CanonicalVideoAddress(id);
}

// ---------------------------------------------------------------------------

TVideoPanel::TVideoPanel(TComponent* owner) : TPanel(owner) {}

TVideoPanel::~TVideoPanel() {
    // The download window must never reach a freed label.
    if (FrmDownloading && FrmDownloading->Lbl1 && fields_.count(FrmDownloading->Lbl1))
        FrmDownloading->Lbl1 = nullptr;
}

const TDownloadFields* TVideoPanel::FieldsOf(const TComponent* label) const {
    auto it = fields_.find(label);
    return it == fields_.end() ? nullptr : &it->second;
}

void TVideoPanel::AddLink(const TLinkRow& row, const TDownloadFields& fields) {
    auto* icon = NewOwned<TImage>(this, this, {.Left = 220, .Top = row.IconTop, .Width = 13, .Height = 10},
                                  {.AutoSize = false});
    if (TImageList* images = VideoPanelHost.CameraImages; images && row.ImageIndex < images->Count()) {
        auto bitmap = std::make_unique<TBitmap>();
        images->GetBitmap(row.ImageIndex, *bitmap);
        icon->SetGraphic(std::move(bitmap));
    }
    // The hint carries the fields as it always has; it is never shown, and
    // the click reads the fields kept here, which no title can corrupt.
    auto* label = NewOwned<TLabel>(
        this, this,
        {.Left = 243, .Top = row.LabelTop, .Height = 16, .Hint = JoinDownloadHint(fields), .ShowHint = false,
         .Cursor = crHandPoint, .Font = TFontSpec{.Size = 10, .Color = LinkLabelColor}},
        {.Caption = row.Caption, .AutoSize = true});
    label->OnMouseMove = DownloadLabelMouseMove;
    label->OnMouseLeave = DownloadLabelMouseLeave;
    label->OnClick = DownloadLabelClick;
    fields_[label] = fields;
    links_.push_back({icon, label});
}

TVideoPanel* PanelOfLinkLabel(const TComponent* label) {
    auto* control = dynamic_cast<const TControl*>(label);
    if (!control) return nullptr;
    auto* panel = dynamic_cast<TVideoPanel*>(control->Parent());
    return panel && panel->FieldsOf(label) ? panel : nullptr;
}

TVideoPanel* CreateVideoPanel(const TStringList& list, const std::wstring& id, const std::wstring& title,
                              const std::wstring& shortTitle) {
    TWinControl* area = VideoPanelHost.ResultsArea;
    auto* panel = new TVideoPanel(area);
    // Below whatever the area holds, then aligned to the top. Placed before
    // it joins the area, so the area never sees it hanging off its bottom
    // (and never shows a scroll bar for it).
    panel->ApplyCommon({.Name = L"PnlVideo", .Top = area ? area->ClientHeight() : 0, .Height = 160});
    panel->SetProps({.Caption = L"", .BevelOuter = bvNone});
    panel->OnMouseDown = PanelMouseDown;
    panel->SetAlign(alTop);
    if (area) panel->SetParent(area);
    panel->Show();

    bool sdMade = false;
    for (const wchar_t* pass : {L"snapshot", L"sd", L"hd"}) {
        const std::wstring kind = pass;
        for (const std::wstring& line : list.Lines()) {
            if (ResultLineKind(line) != kind) continue;
            const std::wstring address = MediaAddressOf(line, kind);
            panel->AddLink(LinkRowFor(kind, sdMade),
                           {id, address, DownloadFileName(shortTitle, kind, address), title});
            if (kind == L"sd") sdMade = true;
        }
    }

    const std::wstring tip = VideoTipText(title, id);
    panel->Frame = NewOwned<TShape>(panel, panel, {.Left = 24, .Top = 23, .Width = 176, .Height = 132},
                                    {.PenColor = FrameColorLoaded});
    panel->Frame->OnMouseDown = PanelMouseDown;
    panel->Thumbnail = NewOwned<TImage>(
        panel, panel, {.Left = 25, .Top = 24, .Width = 174, .Height = 130, .Hint = tip, .ShowHint = true},
        {.Stretch = true, .AutoSize = false});
    panel->Thumbnail->OnMouseDown = PanelMouseDown;

    const std::wstring thumbFile = HistoryThumbnailFile(id);
    if (!thumbFile.empty() && FileExists(thumbFile)) {
        try {
            TJPEGImage jpeg;
            jpeg.LoadFromFile(thumbFile);
            auto bitmap = std::make_unique<TBitmap>();
            components::MakeThumbnail(jpeg, 174, 130, *bitmap, RGB(0, 0, 0));
            panel->Thumbnail->SetGraphic(std::move(bitmap));
        } catch (...) {
            ShowPlaceholder(panel);
        }
    } else {
        ShowPlaceholder(panel);
    }

    panel->TitleLabel = NewOwned<TLabel>(
        panel, panel,
        {.Left = 220, .Top = 35, .Width = 295, .Height = 19, .Hint = tip, .ShowHint = true,
         .Font = TFontSpec{.Size = 12, .Style = fsBold, .Color = PanelTextColor}},
        // A title is shown as it is: an "&" in it marks no hot key.
        {.Caption = title, .AutoSize = false, .ShowAccelChar = false, .EllipsisPosition = epEndEllipsis});
    panel->TitleLabel->OnMouseDown = PanelMouseDown;
    return panel;
}

}  // namespace app
