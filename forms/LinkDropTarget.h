// The link drop target the main window and the user-ID window place on
// themselves: links only, read as soon as a drag enters, the window's own
// handlers given the link as text.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

namespace cls {
class TForm;
}
namespace dragdrop {
class TDropURLTarget;
}

namespace app {

// Effect comes in as the drop target chose it; a handler sets it to
// DROPEFFECT_NONE to refuse.
using TLinkDropEvent = std::function<void(const std::wstring& url, DWORD& effect)>;

struct TLinkDropHandlers {
    TLinkDropEvent OnEnter;
    TLinkDropEvent OnDrop;
    // Whether the drag image shows, asked after OnEnter.
    std::function<bool()> ShowImage;
};

// Starts the drag-and-drop library and places a drop target owned by and
// registered on Form.
dragdrop::TDropURLTarget* PlaceLinkDropTarget(cls::TForm* form, TLinkDropHandlers handlers);
// Frees the drop target before the library it needs; Target becomes null.
void FreeLinkDropTarget(dragdrop::TDropURLTarget*& target);

}  // namespace app
