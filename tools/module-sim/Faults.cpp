#include "Faults.h"

#include <sstream>

namespace zx::sim {

bool CodeSet::Parse(const std::string& text) {
    if (text == "all") {
        Codes_.set();
        return true;
    }
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) {
        if (item.empty() || item.size() > 3 ||
            item.find_first_not_of("0123456789") != std::string::npos) {
            return false;
        }
        const int code = std::stoi(item);
        if (code > 255) {
            return false;
        }
        Codes_.set(static_cast<std::size_t>(code));
    }
    return true;
}

} // namespace zx::sim
