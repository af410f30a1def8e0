// A flat tool bar on the system toolbar window. Its tool buttons take
// their pictures from an image list; a window control placed on the bar
// (a text box, say) gets a slot of its own width between the buttons.
#pragma once
#include <windows.h>

#include <string>

#include "classlib/Controls.h"

namespace cls {

class TImageList;
class TToolBar;

enum TToolButtonStyle { tbsButton, tbsCheck, tbsSeparator, tbsDivider };

class TToolButton : public TControl {
public:
    struct Props {
        int ImageIndex = -1;
        TToolButtonStyle Style = tbsButton;
        bool Down = false;
        std::wstring Caption;
    };

    explicit TToolButton(TComponent* owner);
    void SetProps(const Props& props);

    TToolBar* ToolBar() const;
    int ImageIndex() const { return imageIndex_; }
    TToolButtonStyle Style() const { return style_; }
    bool Down() const;
    // The command id of the button on the bar.
    UINT Command() const { return command_; }

    void Click() { DoClick(); }
    void Invalidate() override;
    bool HintByForm() const override { return false; }

protected:
    void VisibleChanged() override;
    void EnabledChanged() override;
    void CaptionChanged() override;

private:
    friend class TToolBar;
    int imageIndex_ = -1;
    TToolButtonStyle style_ = tbsButton;
    bool down_ = false;
    UINT command_;
};

class TToolBar : public TWinControl {
public:
    struct Props {
        TImageList* Images = nullptr;
        int ButtonWidth = 23;
        int ButtonHeight = 22;
        bool Flat = true;
        bool ShowCaptions = false;
        int Indent = 0;
    };

    explicit TToolBar(TComponent* owner);
    void SetProps(const Props& props);

    TImageList* Images() const { return images_; }
    void SetImages(TImageList* images);
    // The place of a button or window control on the bar.
    RECT ItemRect(TControl* item);

protected:
    void CreateParams(TCreateParams& params) override;
    void HandleCreated() override;
    bool CommandNotify(WORD code, WORD id) override;
    bool Notify(NMHDR& header, LRESULT& result) override;
    void ControlsChanged() override;

private:
    friend class TToolButton;
    void Rebuild();
    void UpdateButton(TToolButton* button);
    void PlaceControls();
    TToolButton* FindButton(UINT command) const;

    TImageList* images_ = nullptr;
    int buttonWidth_ = 23;
    int buttonHeight_ = 22;
    bool flat_ = true;
    bool showCaptions_ = false;
    int indent_ = 0;
    bool rebuilding_ = false;
};

}  // namespace cls
