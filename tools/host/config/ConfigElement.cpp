#include "tools/host/config/ConfigElement.h"

#include <cmath>
#include <exception>

#include "config/win/ItemList.h"
#include "config/win/NodeList.h"
#include "values/DataTypes.h"

namespace tervex::host {
namespace {

constexpr int32_t kNodeKind = 1;
constexpr int32_t kItemKind = 2;

bool ValidName(const std::string& name) {
    return !name.empty() && name.find_first_of(". \t") == std::string::npos;
}

double Tenths(double ms) { return std::round(ms / 100.0) / 10.0; }

}  // namespace

ConfigElement::ConfigElement(Station& station, int node, int item)
    : HostObject(IID_IOrnItem), station_(station), node_(node), item_(item) {}

HRESULT __stdcall ConfigElement::AddElement(TItemAttributes attributes, int32_t kind, int32_t, TItemProperties* list,
                                            IOrnDriver2*, IUnknown** element) {
    if (element) *element = nullptr;
    if (!list) return E_POINTER;
    try {
        if (kind == kNodeKind) return StoreNode(attributes, list, -1);
        if (kind == kItemKind && node_ >= 0) return StoreItem(attributes, list, node_, -1);
        return E_INVALIDARG;
    } catch (const std::exception&) {
        return E_FAIL;
    }
}

HRESULT __stdcall ConfigElement::ModifyElement(TItemAttributes attributes, TItemProperties* list) {
    if (!list) return E_POINTER;
    try {
        if (node_ < 0) return E_INVALIDARG;
        if (item_ >= 0) return StoreItem(attributes, list, node_, item_);
        return StoreNode(attributes, list, node_);
    } catch (const std::exception&) {
        return E_FAIL;
    }
}

HRESULT ConfigElement::StoreNode(const TItemAttributes& attributes, const TItemProperties* list, int target) {
    const std::string name = ShortStringToUtf8(attributes.itemId);
    if (!ValidName(name)) return E_INVALIDARG;
    for (size_t i = 0; i < station_.nodes.size(); ++i)
        if (static_cast<int>(i) != target && station_.nodes[i].name == name) return OPC_E_DUPLICATENAME;
    const NodeStoredValues stored = ReadNodeStoredValues(list);
    NodeConfig node = target >= 0 ? station_.nodes[static_cast<size_t>(target)] : NodeConfig{};
    node.name = name;
    if (stored.description) node.description = *stored.description;
    if (stored.scanRateMs) node.scanRateSeconds = Tenths(*stored.scanRateMs);
    if (!stored.comPort || *stored.comPort < 0 || *stored.comPort > 99) return E_INVALIDARG;
    node.port = static_cast<int>(*stored.comPort) + 1;
    if (stored.deviceAddress) node.address = static_cast<int>(std::lround(*stored.deviceAddress));
    if (stored.protocol) node.protocol = *stored.protocol;
    node.readPassword = stored.readPassword.value_or("");
    node.writePassword = stored.writePassword.value_or("");
    if (stored.byteOrder) node.byteOrder = *stored.byteOrder;
    if (target >= 0)
        station_.nodes[static_cast<size_t>(target)] = std::move(node);
    else
        station_.nodes.push_back(std::move(node));
    if (onChanged) onChanged();
    return S_OK;
}

HRESULT ConfigElement::StoreItem(const TItemAttributes& attributes, const TItemProperties* list, int nodeIndex,
                                 int target) {
    if (nodeIndex >= static_cast<int>(station_.nodes.size())) return E_INVALIDARG;
    NodeConfig& owner = station_.nodes[static_cast<size_t>(nodeIndex)];
    const std::string name = ShortStringToUtf8(attributes.itemId);
    if (!ValidName(name)) return E_INVALIDARG;
    for (size_t i = 0; i < owner.items.size(); ++i)
        if (static_cast<int>(i) != target && owner.items[i].name == name) return OPC_E_DUPLICATENAME;
    const ItemStoredValues stored = ReadItemStoredValues(list);
    ItemConfig item = target >= 0 ? owner.items[static_cast<size_t>(target)] : ItemConfig{};
    item.name = name;
    if (stored.description) item.description = *stored.description;
    if (stored.memoryArea) item.area = *stored.memoryArea;
    if (stored.address) item.address = static_cast<uint32_t>(std::llround(*stored.address));
    if (stored.typeCode) {
        item.typeCode = static_cast<uint16_t>(*stored.typeCode);
        item.typeName = DataTypeName(item.typeCode);
    }
    item.bit = stored.bitNumber ? static_cast<int>(std::lround(*stored.bitNumber)) : 0;
    // No scan rate of its own: the item follows its node.
    item.scanRateSeconds.reset();
    if (stored.scanRateMs) item.scanRateSeconds = Tenths(*stored.scanRateMs);
    if (stored.accessRights) {
        item.readable = (*stored.accessRights & 1) != 0;
        item.writable = (*stored.accessRights & 2) != 0;
    }
    if (item.area.empty() || item.typeName.empty()) return E_INVALIDARG;
    if (target >= 0)
        owner.items[static_cast<size_t>(target)] = std::move(item);
    else
        owner.items.push_back(std::move(item));
    if (onChanged) onChanged();
    return S_OK;
}

}  // namespace tervex::host
