#include "PortState.h"

namespace zx {

// Windows tells who holds a port only to the one who opens it: a listed port counts as free
// until an open says otherwise.
PortState LookAtPort(const PortNamespace&, int) {
    return {};
}

} // namespace zx
