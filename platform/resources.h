#pragma once
// The page resources built into the program (res/ at build time).
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sw::platform {

struct Resource {
    std::string_view path;  // relative to res/, "/" separated
    std::string_view bytes;
};

const std::vector<Resource>& Resources();
std::optional<std::string_view> FindResource(std::string_view path);

}  // namespace sw::platform
