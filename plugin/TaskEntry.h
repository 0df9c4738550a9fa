#pragma once
// The driver's own copy of a host task.
#include <cstdint>

#include "boundary/PluginInterface.h"
#include "boundary/Records.h"

namespace tervex {

struct TTaskEntry {
    uint8_t Kind;
    IOrnItem* Item;  // counted reference
    uint32_t Handle;
    ShortString ItemId;
    TItemState* ItemState;
    TItemProperties* NodeList;
    TItemProperties* ItemList;
    uint32_t Reserved;
    HRESULT* ResultPtr;
    uint16_t SortKey;
};

// A zero-filled entry from task memory, with its own item reference; null when
// task memory is exhausted.
TTaskEntry* NewTaskEntry(const TTaskDef& task);
// Releases the item reference, then the entry.
void FreeTaskEntry(TTaskEntry* entry);

// Hands a task's result to the host: ReadComplete or WriteComplete of its item for the
// asynchronous kinds, the result word for the others. What the host raises is swallowed.
void ReportResult(uint8_t kind, IOrnItem* item, uint32_t handle, HRESULT* resultPtr, HRESULT result);

}  // namespace tervex
