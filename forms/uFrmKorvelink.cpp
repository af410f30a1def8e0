#include "uFrmKorvelink.h"

#include "classlib/Application.h"

namespace app {

TFrmKorvelink* FrmKorvelink = nullptr;

TFrmKorvelink::TFrmKorvelink(cls::TComponent* owner) : cls::TForm(owner) {
    CreateParams p;
    p.className = WindowClass;
    p.clientWidth = DesignClientWidth;
    p.clientHeight = DesignClientHeight;
    CreateHandle(p);
    FormCreate();
}

void TFrmKorvelink::FormCreate() {
    SetCaption(L"Korvelink");
    cls::Application.Title = Caption();
}

}  // namespace app
