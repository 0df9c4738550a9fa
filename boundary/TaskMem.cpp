#include "boundary/TaskMem.h"

#include <objbase.h>

#include <cstring>

#include "win/MessageBox.h"

namespace tervex {

void* AllocTaskMem(int32_t size) {
    void* block = size > 0 ? CoTaskMemAlloc(static_cast<SIZE_T>(size)) : CoTaskMemAlloc(0);
    if (block) {
        if (size > 0) std::memset(block, 0, static_cast<size_t>(size));
        return block;
    }
    if (size > 0) ShowMessageBox("Не хватает памяти", "OPC сервер", MB_TASKMODAL | MB_ICONERROR);
    return nullptr;
}

void FreeTaskMem(void* block) {
    if (block) CoTaskMemFree(block);
}

}  // namespace tervex
