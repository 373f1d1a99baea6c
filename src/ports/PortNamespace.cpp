#include "PortNamespace.h"

namespace zx {

std::string RefusedLinkFolderText(const PortNamespace& ports) {
    const auto problem = ports.TrustProblem();
    if (!problem) {
        return {};
    }
    return "The port links in " + ports.LinkFolder().string() +
           " are not used: " + problem->Text() +
           ". Until then, COM numbers follow the built-in table (" + PortNamespace::TableText() +
           ").";
}

} // namespace zx
