#include "tools/host/win/Runtime.h"

#include <cstring>

#include "tools/host/core/Outcome.h"
#include "tools/host/win/VariantText.h"

namespace tervex::host {

ItemStateRecord::ItemStateRecord() {
    std::memset(&state, 0, sizeof(state));
    VariantInit(&state.value);
}

ItemStateRecord::~ItemStateRecord() { VariantClear(&state.value); }

ItemCells ShownCells(const ItemRuntime& item) {
    ItemCells cells;
    cells.reads = std::to_string(item.stats.readsOk) + "/" + std::to_string(item.stats.readsBad);
    if (!item.reported) {
        if (!item.config->readable) cells.value = "(not read)";
        return cells;
    }
    cells.value = DisplayValue(item.value.ref());
    cells.quality = QualityText(item.quality);
    cells.time = LocalTimeText(item.stamp);
    cells.result = ResultText(item.result);
    return cells;
}

}  // namespace tervex::host
