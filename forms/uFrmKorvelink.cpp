#include "uFrmKorvelink.h"

#include "classlib/Application.h"

namespace app {

using namespace cls;

TFrmKorvelink* FrmKorvelink = nullptr;

TFrmKorvelink::TFrmKorvelink(TComponent* owner) : TForm(owner) {
    CreateControls();
    DoCreate();
}

TFrmKorvelink::~TFrmKorvelink() {
    // OnDestroy runs while the form's own fields still exist.
    DoDestroy();
}

void TFrmKorvelink::CreateControls() {
    CreateHandle({
        .WindowClass = WindowClass,
        .ClientWidth = DesignClientWidth,
        .ClientHeight = DesignClientHeight,
        .BorderStyle = bsSingle,
        .BorderIcons = biSystemMenu | biMinimize,
        .Position = poScreenCenter,
    });
    OnCreate = Method(this, &TFrmKorvelink::FormCreate);
}

void TFrmKorvelink::FormCreate(TComponent*) {
    SetCaption(L"Korvelink");
    Application.SetTitle(Caption());
}

}  // namespace app
