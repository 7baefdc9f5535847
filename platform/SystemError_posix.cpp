#include "SystemError.h"

namespace platform {

const std::error_category& SystemCategory() {
    return std::system_category();
}

std::string SystemMessage(int code) {
    return SystemCategory().message(code);
}

} // namespace platform
