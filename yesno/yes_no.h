#pragma once
// The yes/no oracle: 23 fixed answers and its page.
#include <array>
#include <string>

#include "platform/host.h"

namespace sw {

extern const std::array<const char*, 23> YesNoAnswers;

class YesNoOracle {
public:
    std::string RenderYesNoPage(int asked, const std::string& question, platform::Host& host) const;
};

}  // namespace sw
