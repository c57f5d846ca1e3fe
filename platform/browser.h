#pragma once
#include <string>

namespace sw::platform {

// Opens url in a Chromium app window with a profile of its own when Chromium
// is installed, else in the default browser. Returns false when nothing
// could be started.
bool OpenPageWindow(const std::string& url);
// Removes the temporary browser profile, if one was made.
void CleanUpPageWindow();

}  // namespace sw::platform
