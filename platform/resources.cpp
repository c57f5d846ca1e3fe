#include "platform/resources.h"

namespace sw::platform {

std::optional<std::string_view> FindResource(std::string_view path) {
    for (const auto& resource : Resources())
        if (resource.path == path) return resource.bytes;
    return std::nullopt;
}

}  // namespace sw::platform
