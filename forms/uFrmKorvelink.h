// The program's main window.
#pragma once
#include "classlib/Forms.h"

namespace app {

class TFrmKorvelink : public cls::TForm {
public:
    explicit TFrmKorvelink(cls::TComponent* owner = nullptr);

    static constexpr const wchar_t* WindowClass = L"TFrmKorvelink";
    static constexpr int DesignClientWidth = 532;
    static constexpr int DesignClientHeight = 203;

protected:
    void FormCreate();
};

extern TFrmKorvelink* FrmKorvelink;

}  // namespace app
