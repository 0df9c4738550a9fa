#pragma once
// The host's COM-style objects live as long as the run: their reference counts
// are kept only to see that the driver gives back what it takes.
#include <windows.h>
#include <unknwn.h>

namespace tervex::host {

template <typename Interface>
class HostObject : public Interface {
public:
    HRESULT __stdcall QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, iid_)) {
            *object = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    ULONG __stdcall AddRef() override { return static_cast<ULONG>(++refs_); }
    ULONG __stdcall Release() override { return static_cast<ULONG>(--refs_); }
    long References() const { return refs_; }
    // Calls to slots the driver is not meant to call.
    long UnexpectedCalls() const { return unexpected_; }

protected:
    explicit HostObject(const GUID& iid) : iid_(iid) {}
    void Unexpected() { ++unexpected_; }

private:
    GUID iid_;
    long refs_ = 0;
    long unexpected_ = 0;
};

}  // namespace tervex::host
