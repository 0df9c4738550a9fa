#include "plugin/TaskEntry.h"

#include <oleauto.h>

#include "boundary/PropertyList.h"
#include "boundary/TaskMem.h"
#include "config/ItemParams.h"
#include "win/HostShield.h"

namespace tervex {
namespace {

uint16_t SortKeyOf(TItemProperties* itemList) {
    VARIANT value;
    VariantInit(&value);
    uint16_t key = 0;
    if (FindProperty(PROP_ITEM_ADDRESS, itemList, &value)) {
        // The low 16 bits of the address; an unconvertible value sorts as 0.
        if (SUCCEEDED(VariantChangeType(&value, &value, 0, VT_I8))) key = static_cast<uint16_t>(V_I8(&value));
    }
    VariantClear(&value);
    return key;
}

}  // namespace

TTaskEntry* NewTaskEntry(const TTaskDef& task) {
    auto* entry = static_cast<TTaskEntry*>(AllocTaskMem(sizeof(TTaskEntry)));
    if (!entry) return nullptr;
    entry->Kind = task.kind;
    entry->Item = task.item;
    if (IOrnItem* item = entry->Item) HostCall([&] { item->AddRef(); });
    entry->Handle = task.handle;
    entry->ItemId = task.itemId;
    entry->ItemState = task.itemState;
    entry->NodeList = task.nodeList;
    entry->ItemList = task.itemList;
    entry->Reserved = task.reserved;
    entry->ResultPtr = task.result;
    entry->SortKey = SortKeyOf(task.itemList);
    return entry;
}

void FreeTaskEntry(TTaskEntry* entry) {
    if (!entry) return;
    if (IOrnItem* item = entry->Item) HostCall([&] { item->Release(); });
    FreeTaskMem(entry);
}

void ReportResult(uint8_t kind, IOrnItem* item, uint32_t handle, HRESULT* resultPtr, HRESULT result) {
    switch (kind) {
    case tkAsyncRead:
        if (item) HostCall([&] { item->ReadComplete(handle, result); });
        break;
    case tkAsyncWrite:
        if (item) HostCall([&] { item->WriteComplete(handle, result); });
        break;
    default:
        if (resultPtr) *resultPtr = result;
        break;
    }
}

}  // namespace tervex
