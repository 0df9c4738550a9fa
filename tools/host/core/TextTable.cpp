#include "tools/host/core/TextTable.h"

#include <algorithm>

#include "tools/host/core/TextFields.h"

namespace tervex::host {

void TextTable::AddColumn(std::string header, Align align) { columns_.push_back(Column{std::move(header), align}); }

void TextTable::AddRow(std::vector<std::string> cells) {
    cells.resize(columns_.size());
    rows_.push_back(std::move(cells));
}

std::string TextTable::Render(const std::string& indent) const {
    std::vector<size_t> widths;
    for (const Column& column : columns_) widths.push_back(DisplayWidth(column.header));
    for (const auto& row : rows_)
        for (size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], DisplayWidth(row[c]));

    auto line = [&](const std::vector<std::string>& cells) {
        std::string text = indent;
        for (size_t c = 0; c < cells.size(); ++c) {
            const std::string pad(widths[c] - DisplayWidth(cells[c]), ' ');
            const bool last = c + 1 == cells.size();
            if (columns_[c].align == Align::Right) text += pad + cells[c];
            else text += cells[c] + (last ? std::string() : pad);
            if (!last) text += "  ";
        }
        return text + "\n";
    };
    std::vector<std::string> headers;
    std::vector<std::string> rules;
    for (size_t c = 0; c < columns_.size(); ++c) {
        headers.push_back(columns_[c].header);
        rules.push_back(std::string(widths[c], '-'));
    }
    std::string text = line(headers) + line(rules);
    for (const auto& row : rows_) text += line(row);
    return text;
}

}  // namespace tervex::host
