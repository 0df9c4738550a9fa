#pragma once
// The host element the pages add and modify through: the station root (new
// nodes), a node (new items, or the node itself) or an item. Every change goes
// straight into the station model.
#include <functional>

#include "boundary/PluginInterface.h"
#include "tools/host/core/Station.h"
#include "tools/host/win/ComBase.h"

namespace tervex::host {

class ConfigElement final : public HostObject<IOrnItem> {
public:
    // node, item: -1 for none. The station outlives the element.
    ConfigElement(Station& station, int node, int item);

    // After every change that was taken.
    std::function<void()> onChanged;

    HRESULT __stdcall AddElement(TItemAttributes attributes, int32_t kind, int32_t code, TItemProperties* list,
                                 IOrnDriver2* driver, IUnknown** element) override;
    void __stdcall ReadComplete(uint32_t, HRESULT) override { Unexpected(); }
    void __stdcall WriteComplete(uint32_t, HRESULT) override { Unexpected(); }
    HRESULT __stdcall ModifyElement(TItemAttributes attributes, TItemProperties* list) override;
    void __stdcall ReportTransfer(int32_t, int32_t, uint8_t) override { Unexpected(); }
    void __stdcall Reserved8() override { Unexpected(); }
    void __stdcall Reserved9() override { Unexpected(); }
    void __stdcall Reserved10() override { Unexpected(); }
    void __stdcall Reserved11() override { Unexpected(); }
    void __stdcall Reserved12() override { Unexpected(); }

private:
    HRESULT StoreNode(const TItemAttributes& attributes, const TItemProperties* list, int target);
    HRESULT StoreItem(const TItemAttributes& attributes, const TItemProperties* list, int node, int target);

    Station& station_;
    int node_;
    int item_;
};

}  // namespace tervex::host
