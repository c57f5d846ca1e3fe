#pragma once
// The yes/no oracle: 23 fixed answers and its page.
#include <array>
#include <string>

#include "platform/host.h"

namespace sw {

extern const std::array<const char*, 23> YesNoAnswers;

class YesNoOracle {
public:
    // The page; when asked, the answer's index goes to *answer when given
    // (for the journal).
    std::string RenderYesNoPage(int asked, const std::string& question, platform::Host& host,
                                int* answer = nullptr) const;
    // The page of an answer already drawn (index into YesNoAnswers; -1 for
    // the page that asks for a question).
    static std::string RenderAnswerPage(int answer, const std::string& question);
    static platform::PageParts Parts();
};

}  // namespace sw
