#pragma once
// A description of the machine and the build, for the report.
#include <string>
#include <vector>

namespace bench {

struct MachineLine {
    std::string name;
    std::string value;
};

std::vector<MachineLine> DescribeMachine();
std::string LoadAverage();  // "1.20, 0.95, 0.80"
std::string NowUtc();       // "2024-05-17 13:45 UTC"

}  // namespace bench
