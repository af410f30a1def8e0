// The main window's message bar: one line at the bottom of the client area
// that slides up one pixel every 10 ms, hides itself 5 seconds after it is
// up (while the link box can be used) and slides down the same way.
#include "uFrmKorvelink.h"

#include "LoginState.h"
#include "classlib/Edit.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Image.h"
#include "classlib/Label.h"
#include "classlib/ScrollBox.h"
#include "classlib/SpeedButton.h"
#include "classlib/Timer.h"

namespace app {

using namespace cls;

void TFrmKorvelink::MostrarPnlMsgs(const std::wstring& text, int kind) {
    ImgMsg1->Hide();
    ImgMsg2->Hide();
    ImgProcesando->Hide();
    // The three icons share one place.
    ImgMsg2->SetLeft(ImgMsg1->Left());
    ImgProcesando->SetLeft(ImgMsg1->Left());

    LblMensaje->SetCaption(text);
    BtnOcultar2->Show();
    Timer1->SetEnabled(false);
    Timer2->SetEnabled(false);
    Timer3->SetEnabled(false);
    BtnOcultar2->SetHint(L"Hide");

    messageKind_ = kind;
    if (kind == MsgInformation) {
        ImgMsg1->Show();
    } else if (kind == MsgError) {
        ImgMsg2->Show();
    } else {
        ImgProcesando->Show();
        ImgProcesando->SetAnimate(true);
        BtnOcultar2->Hide();
    }

    if (!PnlMsgs->Visible()) PnlMsgs->Show();
    // From here on the results area's height follows the bar.
    ScllVideos->SetAlign(alCustom);
    int h = ClientHeight();
    if (PnlMsgs->Top() == h - PnlMsgs->Height()) {
        Timer2->SetEnabled(true);
    } else {
        ScllVideos->SetHeight(h - ScllVideos->Top());
        Timer1->SetEnabled(true);
    }
}

void TFrmKorvelink::OcultarPnlMsgs() {
    if (PnlMsgs->Visible()) {
        Timer1->SetEnabled(false);
        Timer2->SetEnabled(false);
        Timer3->SetEnabled(true);
    }
    ImgProcesando->SetAnimate(false);
}

void TFrmKorvelink::Timer1Timer(TComponent*) {
    int up = ClientHeight() - PnlMsgs->Height();
    if (PnlMsgs->Top() != up) {
        PnlMsgs->SetTop(PnlMsgs->Top() - 1);
        ScllVideos->SetHeight(ScllVideos->Height() - 1);
        if (ImgProcesando->Visible()) {
            // Makes the moving animation paint itself anew.
            ImgProcesando->SetTransparent(false);
            ImgProcesando->SetTransparent(true);
        }
        if (PnlMsgs->Top() != up) return;
    }
    Timer1->SetEnabled(false);
    ScllVideos->SetHeight(ClientHeight() - ScllVideos->Top() - PnlMsgs->Height());
    if (EdtEnlace->Enabled()) {
        Timer2->SetEnabled(true);
        if (LoginJustCompleted) {
            LoginJustCompleted = false;
            ScllVideos->SetFocus();
        }
    }
}

void TFrmKorvelink::Timer2Timer(TComponent*) {
    if (EdtEnlace->Enabled()) OcultarPnlMsgs();
}

void TFrmKorvelink::Timer3Timer(TComponent*) {
    int h = ClientHeight();
    if (PnlMsgs->Top() != h) {
        PnlMsgs->SetTop(PnlMsgs->Top() + 1);
        ScllVideos->SetHeight(ScllVideos->Height() + 1);
        if (PnlMsgs->Top() != h) return;
    }
    PnlMsgs->Hide();
    Timer3->SetEnabled(false);
    ScllVideos->SetAlign(alClient);
}

void TFrmKorvelink::BtnOcultar2Click(TComponent*) {
    Timer1->SetEnabled(false);
    Timer2->SetEnabled(false);
    Timer3->SetEnabled(false);
    PnlMsgs->Hide();
    PnlMsgs->SetTop(ClientHeight());
    ScllVideos->SetAlign(alClient);
}

}  // namespace app
