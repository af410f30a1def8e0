#include "forms/LinkDropTarget.h"

#include "classlib/Forms.h"
#include "classlib/Strings.h"
#include "dragdrop/DragDropInternet.h"

namespace app {

dragdrop::TDropURLTarget* PlaceLinkDropTarget(cls::TForm* form, TLinkDropHandlers handlers) {
    // The library stays started while the window can take links.
    dragdrop::Initialize();
    auto* target = new dragdrop::TDropURLTarget(form);
    target->Name = L"DropURLTarget1";
    target->DragTypes = dragdrop::dtLink;
    target->GetDataOnEnter = true;
    // The handlers see the link as the program's text; the effect passes through them.
    auto relay = [target](const TLinkDropEvent& handler, LONG& effect) {
        DWORD e = static_cast<DWORD>(effect);
        if (handler) handler(cls::CodePageToWide(target->URL(), CP_ACP), e);
        effect = static_cast<LONG>(e);
    };
    target->OnEnter = [target, relay, enter = handlers.OnEnter, showImage = handlers.ShowImage](
                          cls::TComponent*, cls::TShiftState, POINT, LONG& effect) {
        relay(enter, effect);
        if (showImage) target->SetShowImage(showImage());
    };
    target->OnDrop = [relay, drop = handlers.OnDrop](cls::TComponent*, cls::TShiftState, POINT, LONG& effect) {
        relay(drop, effect);
    };
    target->SetTarget(form);
    return target;
}

void FreeLinkDropTarget(dragdrop::TDropURLTarget*& target) {
    delete target;
    target = nullptr;
    dragdrop::Finalize();
}

}  // namespace app
