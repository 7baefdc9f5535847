#include "SingleInstance.h"

namespace platform {

std::string RaiseRequestLine(const std::string& title) {
    return "raise " + title;
}

} // namespace platform
