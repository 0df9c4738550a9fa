#pragma once
// A plain text table with columns lined up by characters (UTF-8 aware).
#include <string>
#include <vector>

namespace tervex::host {

class TextTable {
public:
    enum class Align { Left, Right };
    void AddColumn(std::string header, Align align = Align::Left);
    void AddRow(std::vector<std::string> cells);
    // Header, a rule, then the rows; each line starts with indent.
    std::string Render(const std::string& indent = "  ") const;

private:
    struct Column {
        std::string header;
        Align align;
    };
    std::vector<Column> columns_;
    std::vector<std::vector<std::string>> rows_;
};

}  // namespace tervex::host
