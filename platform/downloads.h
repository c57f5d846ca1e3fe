#pragma once
// The files offered to the page and not yet fetched (platform/download.cpp
// serves them). Each waits under a path of its own, /download/<token>, that
// only the page it was sent to knows; it is handed out once, within a
// minute, and only a few wait at a time. Offered from the handler thread,
// taken on the I/O thread: the list is guarded by its own lock.
#include <chrono>
#include <cstddef>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/download_source.h"

namespace sw::platform {

class Downloads {
public:
    struct Offered {
        std::string name;  // the file name the browser saves it as
        std::string type;  // its media type
        std::unique_ptr<DownloadSource> source;
    };

    // The path the page fetches it from.
    std::string Offer(Offered offered);
    // What waits under a request's path; nothing for a path never offered,
    // fetched already or offered too long ago.
    std::optional<Offered> Take(std::string_view path);
    static bool IsDownloadPath(std::string_view path);

private:
    struct Waiting {
        std::string path;
        std::chrono::steady_clock::time_point offeredAt;
        Offered offered;
    };
    std::mutex mutex_;
    std::list<Waiting> waiting_;  // guarded by mutex_; oldest first
};

}  // namespace sw::platform
