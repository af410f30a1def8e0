// The program's main window.
#pragma once
#include "classlib/Forms.h"

namespace app {

class TFrmKorvelink : public cls::TForm {
public:
    explicit TFrmKorvelink(cls::TComponent* owner = nullptr);
    ~TFrmKorvelink() override;

    static constexpr const wchar_t* WindowClass = L"TFrmKorvelink";
    static constexpr int DesignClientWidth = 532;
    static constexpr int DesignClientHeight = 203;

private:
    // The form resource: the window, its controls and their event bindings.
    void CreateControls();

    void FormCreate(cls::TComponent* sender);
};

extern TFrmKorvelink* FrmKorvelink;

}  // namespace app
