#pragma once
// One item of the host's address space, as the driver sees it with each task.
#include <cstdint>
#include <functional>

#include "boundary/PluginInterface.h"
#include "tools/host/win/ComBase.h"

namespace tervex::host {

class HostItem final : public HostObject<IOrnItem> {
public:
    HostItem() : HostObject(IID_IOrnItem) {}

    std::function<void(bool write, uint32_t handle, HRESULT result)> onComplete;
    std::function<void(int32_t answered, int32_t tries, uint8_t first)> onTransfer;

    // The pages are not used by this host: adding and modifying is refused.
    HRESULT __stdcall AddElement(TItemAttributes attributes, int32_t kind, int32_t code, TItemProperties* list,
                                 IOrnDriver2* driver, IUnknown** element) override;
    void __stdcall ReadComplete(uint32_t handle, HRESULT result) override;
    void __stdcall WriteComplete(uint32_t handle, HRESULT result) override;
    HRESULT __stdcall ModifyElement(TItemAttributes attributes, TItemProperties* list) override;
    void __stdcall ReportTransfer(int32_t answered, int32_t tries, uint8_t first) override;
    void __stdcall Reserved8() override { Unexpected(); }
    void __stdcall Reserved9() override { Unexpected(); }
    void __stdcall Reserved10() override { Unexpected(); }
    void __stdcall Reserved11() override { Unexpected(); }
    void __stdcall Reserved12() override { Unexpected(); }
};

}  // namespace tervex::host
