// The main window's side of the result panels and the download window:
// what they may reach of this window, and the panel of a search.
#include "uFrmKorvelink.h"

#include "VideoPanel.h"
#include "classlib/Image.h"
#include "classlib/ImgList.h"
#include "classlib/Label.h"
#include "classlib/Menus.h"
#include "classlib/ScrollBox.h"

namespace app {

using namespace cls;

void TFrmKorvelink::ConnectResultPanels() {
    TVideoPanelHost host;
    host.MainForm = this;
    host.ResultsArea = ScllVideos;
    host.CameraImages = ImageList3;
    host.ThumbDefault = ImgThumbDefault;
    host.HideHistoryDropDown = [this] { HideHistoryPanel(); };
    host.OcultarPnlMsgs = [this] { OcultarPnlMsgs(); };
    host.WorkAnimationVisible = [this] { return ImgProcesando->Visible(); };
    host.SetDownloadMenusEnabled = [this](bool enabled) { SetDownloadMenusEnabled(enabled); };
    host.TaskbarProgressAvailable = [] { return TaskbarProgressAvailable; };
    host.PnlVideoMouseDown = Method(this, &TFrmKorvelink::PnlVideoMouseDown);
    VideoPanelHost = std::move(host);
}

void TFrmKorvelink::DisconnectResultPanels() {
    // A download window that outlives this one must not call back into it.
    if (VideoPanelHost.MainForm == this) VideoPanelHost = {};
}

void TFrmKorvelink::SetDownloadMenusEnabled(bool enabled) {
    MnuSelDestFolder->SetEnabled(enabled);
    MnuHistorial->SetEnabled(enabled);
    LblLimpiarHistorial->SetEnabled(enabled);
}

void TFrmKorvelink::CreateVideoPanel(const TStringList& list, const std::wstring& id, const std::wstring& title,
                                     const std::wstring& shortTitle) {
    app::CreateVideoPanel(list, id, title, shortTitle);
}

}  // namespace app
