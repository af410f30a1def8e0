#include "Dialogs.h"

#include <commdlg.h>

#include <vector>

#include "classlib/Application.h"

namespace cls {

FileDialogFunc FileDialogHook;

std::wstring SystemFilter(const std::wstring& filter) {
    std::wstring s = filter;
    for (auto& c : s)
        if (c == L'|') c = L'\0';
    s.push_back(L'\0');
    s.push_back(L'\0');
    return s;
}

DWORD OpenFileFlags(TOpenOptions o) {
    DWORD f = OFN_EXPLORER;
    if (o & ofReadOnly) f |= OFN_READONLY;
    if (o & ofOverwritePrompt) f |= OFN_OVERWRITEPROMPT;
    if (o & ofHideReadOnly) f |= OFN_HIDEREADONLY;
    if (o & ofNoChangeDir) f |= OFN_NOCHANGEDIR;
    if (o & ofAllowMultiSelect) f |= OFN_ALLOWMULTISELECT;
    if (o & ofPathMustExist) f |= OFN_PATHMUSTEXIST;
    if (o & ofFileMustExist) f |= OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
    if (o & ofCreatePrompt) f |= OFN_CREATEPROMPT;
    if (o & ofNoReadOnlyReturn) f |= OFN_NOREADONLYRETURN;
    if (o & ofEnableSizing) f |= OFN_ENABLESIZING;
    if (o & ofDontAddToRecent) f |= OFN_DONTADDTORECENT;
    return f;
}

TOpenDialog::TOpenDialog(TComponent* owner) : TComponent(owner) {}

void TOpenDialog::SetProps(const Props& p) {
    Name = p.Name;
    Title = p.Title;
    Filter = p.Filter;
    FilterIndex = p.FilterIndex;
    DefaultExt = p.DefaultExt;
    FileName = p.FileName;
    InitialDir = p.InitialDir;
    Options = p.Options;
}

bool TOpenDialog::Execute() {
    if (FileDialogHook) return FileDialogHook(*this);
    std::vector<wchar_t> buffer(32768, L'\0');
    FileName.copy(buffer.data(), std::min(FileName.size(), buffer.size() - 1));
    std::wstring filter = SystemFilter(Filter);
    OPENFILENAMEW ofn = {sizeof(ofn)};
    HWND owner = GetActiveWindow();
    ofn.hwndOwner = owner ? owner : Application.MainFormHandle;
    ofn.lpstrFilter = Filter.empty() ? nullptr : filter.c_str();
    ofn.nFilterIndex = FilterIndex;
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = static_cast<DWORD>(buffer.size());
    ofn.lpstrInitialDir = InitialDir.empty() ? nullptr : InitialDir.c_str();
    ofn.lpstrTitle = Title.empty() ? nullptr : Title.c_str();
    ofn.lpstrDefExt = DefaultExt.empty() ? nullptr : DefaultExt.c_str();
    ofn.Flags = OpenFileFlags(Options);
    BOOL ok = IsSaveDialog() ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
    if (!ok) return false;
    FileName = buffer.data();
    FilterIndex = static_cast<int>(ofn.nFilterIndex);
    return true;
}

}  // namespace cls
