#include "support/FakeHost.h"

#include <cstring>

#include "boundary/Records.h"

namespace testing_host {

void __stdcall FakeServer::StoreSetting(const tervex::ShortString* name, const tervex::ShortString* value) {
    stored.emplace_back(tervex::ShortStringToUtf8(*name), tervex::ShortStringToUtf8(*value));
}

void __stdcall FakeServer::WriteLog(const tervex::ShortString* text, int32_t kind) {
    log.push_back(tervex::ShortStringToUtf8(*text));
    logKinds.push_back(kind);
}

void __stdcall FakeServer::Idle() {
    ++idleCalls;
    if (onIdle) onIdle();
}

uint8_t __stdcall FakePort::WritePort(uint8_t port, const uint8_t* data, int32_t count, IOrnPortClient* client) {
    lastClient = client;
    writes.push_back({port, std::vector<uint8_t>(data, data + (count > 0 ? count : 0))});
    if (onWrite) onWrite(port, writes.back().bytes);
    return writeResult;
}

uint8_t __stdcall FakePort::CanTransmit(uint8_t, IOrnPortClient* client) {
    lastClient = client;
    return canTransmit ? 1 : 0;
}

void __stdcall FakePort::TransferDone(uint8_t port, IOrnPortClient*) { transfersDone.push_back(port); }

namespace {

std::vector<uint8_t> RawEntries(tervex::TItemProperties* list, int32_t* count) {
    *count = 0;
    if (!list || !*list) return {};
    const uint8_t* first = reinterpret_cast<const uint8_t*>(*list);
    std::memcpy(count, first - 4, 4);
    return std::vector<uint8_t>(first - 8, first + sizeof(tervex::TItemProperty) * static_cast<size_t>(*count));
}

}  // namespace

HRESULT __stdcall FakeItem::AddElement(tervex::TItemAttributes attributes, int32_t kind, int32_t code,
                                       tervex::TItemProperties* list, IOrnDriver2* driver, IUnknown** element) {
    ElementCall call{true, attributes, kind, code, {}, 0, driver != nullptr};
    call.rawList = RawEntries(list, &call.listCount);
    elementCalls.push_back(std::move(call));
    if (element) *element = nullptr;
    return elementResult;
}

HRESULT __stdcall FakeItem::ModifyElement(tervex::TItemAttributes attributes, tervex::TItemProperties* list) {
    ElementCall call{false, attributes, 0, 0, {}, 0, false};
    call.rawList = RawEntries(list, &call.listCount);
    elementCalls.push_back(std::move(call));
    return elementResult;
}

void __stdcall FakeItem::ReadComplete(uint32_t handle, HRESULT result) {
    completions.push_back({false, handle, result});
}

void __stdcall FakeItem::WriteComplete(uint32_t handle, HRESULT result) {
    completions.push_back({true, handle, result});
}

void __stdcall FakeItem::ReportTransfer(int32_t answered, int32_t tries, uint8_t first) {
    transfers.push_back({answered, tries, first});
}

}  // namespace testing_host
