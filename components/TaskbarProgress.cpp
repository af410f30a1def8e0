#include "components/TaskbarProgress.h"

#include "classlib/Application.h"

namespace components {

TaskbarListFactoryFunc TaskbarListFactory;

namespace {

// Deliberately never destroyed with the other statics: by then OLE may be
// gone, and releasing a shell object after that crashes. The program calls
// ReleaseTaskbarAPI in time.
cls::ComPtr<ITaskbarList3>& TaskbarList() {
    static auto* list = new cls::ComPtr<ITaskbarList3>();
    return *list;
}

HRESULT CreateTaskbarList(cls::ComPtr<ITaskbarList3>& list) {
    if (TaskbarListFactory) return TaskbarListFactory(list);
    return CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                            list.put_void());
}

}  // namespace

TBPFLAG TaskbarProgressFlag(int state) {
    switch (state) {
        case tpsIndeterminate: return TBPF_INDETERMINATE;
        case tpsNormal: return TBPF_NORMAL;
        case tpsError: return TBPF_ERROR;
        case tpsPaused: return TBPF_PAUSED;
        default: return TBPF_NOPROGRESS;
    }
}

bool InitializeTaskbarAPI() {
    if (TaskbarList()) return true;
    try {
        cls::ComPtr<ITaskbarList3> list;
        if (SUCCEEDED(CreateTaskbarList(list)) && list && list->HrInit() == S_OK)
            TaskbarList() = std::move(list);
    } catch (...) {
        // A shell object that throws counts as no taskbar list.
    }
    return static_cast<bool>(TaskbarList());
}

bool IsTaskbarAPIAvailable() { return static_cast<bool>(TaskbarList()); }

void ReleaseTaskbarAPI() { TaskbarList().reset(); }

bool SetTaskbarProgressState(int state) {
    auto& list = TaskbarList();
    if (!list) return false;
    return list->SetProgressState(cls::Application.MainFormHandle, TaskbarProgressFlag(state)) == S_OK;
}

bool SetTaskbarProgressValue(uint64_t current, uint64_t max) {
    auto& list = TaskbarList();
    if (!list) return false;
    return list->SetProgressValue(cls::Application.MainFormHandle, current, max) == S_OK;
}

}  // namespace components
