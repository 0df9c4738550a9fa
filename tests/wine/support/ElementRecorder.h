#pragma once
// A fake host element that decodes every list it is handed while the call lasts
// (the driver clears the values as soon as the call returns).
#include <windows.h>

#include <string>
#include <vector>

#include "support/FakeHost.h"

namespace testing_host {

struct CapturedEntry {
    uint32_t id;
    uint16_t declaredType;
    std::wstring description;  // from the entry's Windows-1251 bytes
    VARTYPE valueType;
    std::wstring valueText;    // "null" for VT_NULL; otherwise the invariant text of the value
    bool cleanRest;            // empty item id, error code and reserved fields 0
    double dateValue;          // for VT_DATE values
};

struct CapturedCall {
    bool add;
    int32_t kind;
    int32_t code;
    IOrnDriver2* driver;
    bool elementOutGiven;
    std::wstring itemId;       // from the attributes' Windows-1251 bytes
    std::wstring accessPath;
    tervex::TItemAttributes attributes;
    int32_t listRefCount;
    std::vector<CapturedEntry> entries;
};

class RecordingItem : public FakeItem {
public:
    HRESULT __stdcall AddElement(tervex::TItemAttributes attributes, int32_t kind, int32_t code,
                                 tervex::TItemProperties* list, IOrnDriver2* driver, IUnknown** element) override;
    HRESULT __stdcall ModifyElement(tervex::TItemAttributes attributes, tervex::TItemProperties* list) override;

    std::vector<CapturedCall> calls;
    // Handed out as the new element by AddElement when set.
    FakeItem* createdElement = nullptr;
};

// Windows-1251 bytes to UTF-16 through the platform, independently of the driver.
std::wstring FromCp1251(const std::string& bytes);

}  // namespace testing_host
