#pragma once
#include <string>

#include "platform/page_parts.h"

namespace sw {

// The home page fragment for quotation number index of the quote table.
std::string RenderHomePage(int index);
platform::PageParts HomePageParts();

}  // namespace sw
