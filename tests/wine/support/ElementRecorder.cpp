#include "support/ElementRecorder.h"

#include <oleauto.h>

#include "unit/RawList.h"

namespace testing_host {
namespace {

std::wstring ValueText(const VARIANT* value) {
    if (V_VT(value) == VT_NULL) return L"null";
    if (V_VT(value) == VT_EMPTY) return L"empty";
    VARIANT text;
    VariantInit(&text);
    if (FAILED(VariantChangeTypeEx(&text, const_cast<VARIANT*>(value), LOCALE_INVARIANT, 0, VT_BSTR)))
        return L"<unconvertible>";
    std::wstring out(V_BSTR(&text), SysStringLen(V_BSTR(&text)));
    VariantClear(&text);
    return out;
}

CapturedCall Capture(bool add, const tervex::TItemAttributes& attributes, int32_t kind, int32_t code,
                     tervex::TItemProperties* list, IOrnDriver2* driver, bool elementOutGiven) {
    CapturedCall call{add, kind, code, driver, elementOutGiven, {}, {}, attributes, 0, {}};
    call.itemId = FromCp1251(tervex::ShortStringRaw(attributes.itemId));
    call.accessPath = FromCp1251(tervex::ShortStringRaw(attributes.accessPath));
    if (!list || !*list) return call;
    const rawlist::List raw = rawlist::Walk(*list);
    call.listRefCount = raw.refCount;
    for (const rawlist::Entry& e : raw.entries) {
        const bool clean = e.itemId.empty() && e.reserved == 0 && e.errorCode == 0 && e.reserved2 == 0;
        const double date = V_VT(e.value) == VT_DATE ? V_DATE(e.value) : 0;
        call.entries.push_back(CapturedEntry{e.id, e.declaredType, FromCp1251(e.description), V_VT(e.value),
                                             ValueText(e.value), clean, date});
    }
    return call;
}

}  // namespace

std::wstring FromCp1251(const std::string& bytes) {
    if (bytes.empty()) return {};
    const int n = MultiByteToWideChar(1251, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(1251, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(), n);
    return out;
}

HRESULT __stdcall RecordingItem::AddElement(tervex::TItemAttributes attributes, int32_t kind, int32_t code,
                                            tervex::TItemProperties* list, IOrnDriver2* driver, IUnknown** element) {
    calls.push_back(Capture(true, attributes, kind, code, list, driver, element != nullptr));
    const HRESULT result = FakeItem::AddElement(attributes, kind, code, list, driver, element);
    if (element && createdElement) {
        createdElement->AddRef();
        *element = createdElement;
    }
    return result;
}

HRESULT __stdcall RecordingItem::ModifyElement(tervex::TItemAttributes attributes, tervex::TItemProperties* list) {
    calls.push_back(Capture(false, attributes, 0, 0, list, nullptr, false));
    return FakeItem::ModifyElement(attributes, list);
}

}  // namespace testing_host
