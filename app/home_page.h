#pragma once
#include <string>

namespace sw {

// The home page fragment for quotation number index of the quote table.
std::string RenderHomePage(int index);

}  // namespace sw
