// The result panel of one searched video: a framed thumbnail, the title and
// one link label per thing that can be downloaded. The panel and the
// download window reach the main window only through VideoPanelHost, which
// the main window fills when it is created.
#pragma once
#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "classlib/ExtCtrls.h"

namespace cls {
class TForm;
class TImage;
class TImageList;
class TLabel;
class TStringList;
}  // namespace cls

namespace app {

struct TVideoPanelHost {
    // Places the download window and is its pop-up parent.
    cls::TForm* MainForm = nullptr;
    // ScllVideos: owner and parent of the panels.
    cls::TWinControl* ResultsArea = nullptr;
    // ImageList3, 13 x 10: picture 0 the photo camera, 1 the video camera
    // (AddCameraPictures fills it).
    cls::TImageList* CameraImages = nullptr;
    // ImgThumbDefault: the 174 x 130 placeholder of a missing thumbnail.
    cls::TImage* ThumbDefault = nullptr;
    // Hides the history drop-down when it is visible.
    std::function<void()> HideHistoryDropDown;
    std::function<void()> OcultarPnlMsgs;
    // The message bar's work-in-progress animation is visible.
    std::function<bool()> WorkAnimationVisible;
    // MnuSelDestFolder, MnuHistorial and LblLimpiarHistorial: off while a
    // download window exists.
    std::function<void(bool enabled)> SetDownloadMenusEnabled;
    // TaskbarProgressAvailable; unset: whether the taskbar list exists.
    std::function<bool()> TaskbarProgressAvailable;
    // PnlVideoMouseDown; unset: the history drop-down is hidden.
    cls::TMouseEvent PnlVideoMouseDown;
};
extern TVideoPanelHost VideoPanelHost;

// Adds the two camera pictures, from the resources of Module (null: the
// program), to a 13 x 10 image list; returns how many were added (0
// without the resources).
int AddCameraPictures(cls::TImageList& list, HINSTANCE module = nullptr);

// The four things a link label's download needs.
struct TDownloadFields {
    std::wstring Id, MediaUrl, FileName, Title;
};
// Two U+00B4 characters between the fields of a link label's hint.
extern const wchar_t* const HintSeparator;
std::wstring JoinDownloadHint(const TDownloadFields& fields);

// The kind of a result line: the text of the marker "&src=" kind "&" that
// ends it ("snapshot", "sd", "hd"); empty without one.
std::wstring ResultLineKind(std::wstring_view line);
// The line without that marker: the address byte for byte, whatever its
// query holds.
std::wstring MediaAddressOf(const std::wstring& line, const std::wstring& kind);

struct TLinkRow {
    std::wstring Caption;
    int ImageIndex;
    int IconTop;
    int LabelTop;
};
// The row of a link of this kind; hd moves down when an sd label exists.
TLinkRow LinkRowFor(const std::wstring& kind, bool sdLabelExists);

// "Title: " + the title with "|" made "_" (a "|" would cut the tooltip)
// + a line feed + the video's address.
std::wstring VideoTipText(const std::wstring& title, const std::wstring& id);

constexpr cls::TColor FrameColorLoaded = 0x7B7B7B;
constexpr cls::TColor FrameColorPlaceholder = 0xC8BAB2;
constexpr cls::TColor PanelTextColor = 0x333333;

class TVideoPanel : public cls::TPanel {
public:
    struct TLink {
        cls::TImage* Icon;
        cls::TLabel* Label;
    };

    explicit TVideoPanel(cls::TComponent* owner);
    // Tells the download window first when it still holds one of the labels.
    ~TVideoPanel() override;

    cls::TShape* Frame = nullptr;
    cls::TImage* Thumbnail = nullptr;
    cls::TLabel* TitleLabel = nullptr;
    const std::vector<TLink>& Links() const { return links_; }

    // The fields of one of this panel's link labels, or null.
    const TDownloadFields* FieldsOf(const cls::TComponent* label) const;

    void AddLink(const TLinkRow& row, const TDownloadFields& fields);

private:
    std::vector<TLink> links_;
    std::map<const cls::TComponent*, TDownloadFields> fields_;
};

// The panel a link label sits on, or null.
TVideoPanel* PanelOfLinkLabel(const cls::TComponent* label);

// Builds and shows the result panel of a search in the results area.
TVideoPanel* CreateVideoPanel(const cls::TStringList& list, const std::wstring& id,
                              const std::wstring& title, const std::wstring& shortTitle);

}  // namespace app
