#include "plugin/PropertyText.h"

#include <oleauto.h>

#include <cstdio>

#include "boundary/PropertyList.h"
#include "config/ItemParams.h"
#include "config/NodeParams.h"
#include "values/win/HostVariant.h"
#include "values/win/OleVariant.h"
#include "win/WideText.h"

namespace tervex {
namespace {

// A VARIANT converted to another type, cleared on scope exit.
class Converted {
public:
    Converted(const VARIANT& source, VARTYPE type) {
        VariantInit(&value_);
        ok_ = SUCCEEDED(VariantChangeType(&value_, const_cast<VARIANT*>(&source), 0, type));
    }
    ~Converted() { VariantClear(&value_); }
    Converted(const Converted&) = delete;
    Converted& operator=(const Converted&) = delete;
    bool ok() const { return ok_; }
    const VARIANT& get() const { return value_; }

private:
    VARIANT value_;
    bool ok_ = false;
};

}  // namespace

std::string FormatPropertyText(int32_t id, const VARIANT& hostValue) {
    OleVariant direct;
    if (IsEmptyOrNull(hostValue) || !CopyHostValue(hostValue, direct)) return {};
    const VARIANT& value = direct.ref();
    if (id == PROP_COM_PORT) {
        Converted number(value, VT_I8);
        if (!number.ok()) return {};
        return "COM" + std::to_string(V_I8(&number.get()) + 1);
    }
    if (id == PROP_ITEM_ADDRESS) {
        Converted number(value, VT_I8);
        if (!number.ok()) return {};
        const int64_t address = V_I8(&number.get());
        // Negative addresses show their 32-bit two's complement, as an integer register would.
        const unsigned long long shown = (address < 0 && address >= INT32_MIN)
                                             ? static_cast<uint32_t>(address)
                                             : static_cast<unsigned long long>(address);
        char text[32];
        std::snprintf(text, sizeof(text), "%04llX hex", shown);
        return text;
    }
    Converted text(value, VT_BSTR);
    if (!text.ok()) return {};
    return BstrToUtf8(V_BSTR(&text.get()));
}

}  // namespace tervex
