#pragma once
// A file the program hands to the user piece by piece (the journal's
// export), so that however large it is, only one piece is ever held. The
// handler thread makes it; the server's worker pool then reads it, one
// piece at a time and never two at once, while the browser downloads it
// (platform/download.cpp).
#include <string>

namespace sw::platform {

class DownloadSource {
public:
    virtual ~DownloadSource() = default;
    // The next piece into *piece (replacing what it held); false once there
    // is nothing more. A source that fails ends early: the browser then
    // reports the download as failed, never as complete.
    virtual bool Next(std::string* piece) = 0;
    // Whether the end was reached without a failure; asked once Next has
    // returned false.
    virtual bool Complete() const { return true; }
};

}  // namespace sw::platform
