#pragma once
// The host server as the driver sees it: settings it stores, log lines, and the
// Idle call of a synchronous poll.
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "boundary/PluginInterface.h"
#include "tools/host/win/ComBase.h"

namespace tervex::host {

class HostServer final : public HostObject<IOrnOPCServer> {
public:
    HostServer() : HostObject(IID_IOrnOPCServer) {}

    std::function<void(const std::string& utf8Line)> onLog;
    std::function<void()> onIdle;
    // What the settings page stored, as (name, value) in UTF-8.
    std::vector<std::pair<std::string, std::string>> stored;
    long idleCalls = 0;

    void __stdcall StoreSetting(const ShortString* name, const ShortString* value) override;
    void __stdcall WriteLog(const ShortString* text, int32_t kind) override;
    void __stdcall Reserved5() override { Unexpected(); }
    void __stdcall Reserved6() override { Unexpected(); }
    void __stdcall Idle() override;
    void __stdcall Reserved8() override { Unexpected(); }
    void __stdcall Reserved9() override { Unexpected(); }
    void __stdcall Reserved10() override { Unexpected(); }
    void __stdcall Reserved11() override { Unexpected(); }
    void __stdcall Reserved12() override { Unexpected(); }
};

}  // namespace tervex::host
