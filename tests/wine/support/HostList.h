#pragma once
// A property list laid out as a host keeps one, for tests that hand lists to the driver.
#include <windows.h>
#include <oleauto.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "boundary/Records.h"

namespace testing_host {

// A property list as the host keeps one: reference count, entry count, then entries.
class HostList {
public:
    HostList() = default;
    HostList(const HostList&) = delete;
    HostList& operator=(const HostList&) = delete;
    ~HostList() {
        for (size_t i = 0; i < Count(); ++i) VariantClear(&list_[i].value);
    }

    HostList& Int(uint32_t id, int32_t value) {
        VARIANT v;
        VariantInit(&v);
        V_VT(&v) = VT_I4;
        V_I4(&v) = value;
        return Add(id, v);
    }
    HostList& Real(uint32_t id, double value) {
        VARIANT v;
        VariantInit(&v);
        V_VT(&v) = VT_R8;
        V_R8(&v) = value;
        return Add(id, v);
    }
    HostList& Text(uint32_t id, const wchar_t* value) {
        VARIANT v;
        VariantInit(&v);
        V_VT(&v) = VT_BSTR;
        V_BSTR(&v) = SysAllocString(value);
        return Add(id, v);
    }
    HostList& Null(uint32_t id) {
        VARIANT v;
        VariantInit(&v);
        V_VT(&v) = VT_NULL;
        return Add(id, v);
    }
    // A value of a type given with its bits, e.g. VT_ERROR or an interface without one.
    HostList& Raw(uint32_t id, VARTYPE type) {
        VARIANT v;
        VariantInit(&v);
        V_VT(&v) = type;
        return Add(id, v);
    }
    HostList& Value(uint32_t id, const VARIANT& value) {
        VARIANT v;
        VariantInit(&v);
        VariantCopy(&v, const_cast<VARIANT*>(&value));
        return Add(id, v);
    }
    // Takes the value over bit for bit, whatever it holds; the list clears it at the end.
    HostList& Put(uint32_t id, const VARIANT& value) { return Add(id, value); }
    tervex::TItemProperties* Address() { return &list_; }

private:
    size_t Count() const { return list_ ? static_cast<size_t>(reinterpret_cast<const int32_t*>(list_)[-1]) : 0; }

    HostList& Add(uint32_t id, const VARIANT& value) {
        const size_t n = Count();
        std::vector<uint64_t> grown((8 + (n + 1) * sizeof(tervex::TItemProperty) + 7) / 8, 0);
        auto* bytes = reinterpret_cast<uint8_t*>(grown.data());
        if (n) std::memcpy(bytes + 8, list_, n * sizeof(tervex::TItemProperty));
        auto* entries = reinterpret_cast<tervex::TItemProperty*>(bytes + 8);
        entries[n].propertyId = id;
        entries[n].value = value;
        const int32_t counts[2] = {1, static_cast<int32_t>(n + 1)};
        std::memcpy(bytes, counts, 8);
        memory_.swap(grown);
        list_ = entries;
        return *this;
    }

    std::vector<uint64_t> memory_;
    tervex::TItemProperties list_ = nullptr;
};

}  // namespace testing_host
