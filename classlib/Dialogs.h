// The system's open and save dialogs. Execute goes through a replaceable
// hook, so tests can answer the dialog instead of a user.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "classlib/Component.h"

namespace cls {

using TOpenOptions = unsigned;
constexpr TOpenOptions ofReadOnly = 1 << 0;
constexpr TOpenOptions ofOverwritePrompt = 1 << 1;
constexpr TOpenOptions ofHideReadOnly = 1 << 2;
constexpr TOpenOptions ofNoChangeDir = 1 << 3;
constexpr TOpenOptions ofAllowMultiSelect = 1 << 4;
constexpr TOpenOptions ofPathMustExist = 1 << 5;
constexpr TOpenOptions ofFileMustExist = 1 << 6;
constexpr TOpenOptions ofCreatePrompt = 1 << 7;
constexpr TOpenOptions ofNoReadOnlyReturn = 1 << 8;
constexpr TOpenOptions ofEnableSizing = 1 << 9;
constexpr TOpenOptions ofDontAddToRecent = 1 << 10;

// The filter "Text files|*.txt|All files|*.*" as the system wants it:
// NUL-separated, ending with two NULs.
std::wstring SystemFilter(const std::wstring& filter);
// The OPENFILENAME flags of the options.
DWORD OpenFileFlags(TOpenOptions options);

class TOpenDialog : public TComponent {
public:
    struct Props {
        std::wstring Name;
        std::wstring Title;
        std::wstring Filter;
        int FilterIndex = 1;
        std::wstring DefaultExt;  // without the dot
        std::wstring FileName;
        std::wstring InitialDir;
        TOpenOptions Options = ofHideReadOnly | ofEnableSizing;
    };

    explicit TOpenDialog(TComponent* owner = nullptr);
    void SetProps(const Props& props);

    std::wstring Title;
    std::wstring Filter;
    int FilterIndex = 1;
    std::wstring DefaultExt;
    std::wstring FileName;
    std::wstring InitialDir;
    TOpenOptions Options = ofHideReadOnly | ofEnableSizing;

    // True when the user chose a file; FileName then names it.
    bool Execute();
    virtual bool IsSaveDialog() const { return false; }
};

class TSaveDialog : public TOpenDialog {
public:
    using TOpenDialog::TOpenDialog;
    bool IsSaveDialog() const override { return true; }
};

// Answers Execute in place of the system dialog when set: it may change
// the dialog's FileName and FilterIndex and returns what Execute returns.
using FileDialogFunc = std::function<bool(TOpenDialog& dialog)>;
extern FileDialogFunc FileDialogHook;

}  // namespace cls
