#pragma once
// A whole program session for flow tests: a private copy of the sample data
// as the working directory, a seeded generator, the main dialog and the page
// double it writes to. Notifications go to the page double.
#include <filesystem>
#include <memory>
#include <string>

#include "app/msg_box.h"
#include "app/sagewend_dlg.h"
#include "support/page_double.h"

namespace sw::testing {

class Session {
public:
    // Copies sample/ (or dataDir) to a private folder and loads it.
    explicit Session(unsigned seed = 1, const std::string& dataDir = "");
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    PageDouble& page() { return page_; }
    CSagewendDlg& dialog() { return *dialog_; }
    const std::filesystem::path& dir() const { return dir_; }

private:
    std::filesystem::path dir_;
    std::filesystem::path previous_;
    PageDouble page_;
    std::unique_ptr<ScopedMsgBoxPresenter> presenter_;
    std::unique_ptr<CSagewendDlg> dialog_;
};

// A fresh private folder, removed when the guard goes.
std::filesystem::path MakeTempDir(const std::string& prefix);

}  // namespace sw::testing
