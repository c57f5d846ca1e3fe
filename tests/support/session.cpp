#include "support/session.h"

#include <unistd.h>

#include "core/random.h"

namespace sw::testing {

std::filesystem::path MakeTempDir(const std::string& prefix) {
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder");
    return pattern;
}

Session::Session(unsigned seed, const std::string& dataDir)
    : dir_(MakeTempDir("sagewend-flow")), previous_(std::filesystem::current_path()) {
    const std::filesystem::path source =
        dataDir.empty() ? std::filesystem::path(SAGEWEND_SOURCE_DIR) / "sample" : std::filesystem::path(dataDir);
    std::filesystem::copy(source, dir_, std::filesystem::copy_options::recursive);
    std::filesystem::current_path(dir_);
    presenter_ = std::make_unique<ScopedMsgBoxPresenter>(
        [this](const std::string& message, int icon) { return page_.ShowMessage(message, icon); });
    SRand(seed);
    dialog_ = std::make_unique<CSagewendDlg>(page_);
    page_.Attach(*dialog_);
    page_.Load();
}

Session::~Session() {
    dialog_.reset();
    presenter_.reset();
    std::filesystem::current_path(previous_);
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

}  // namespace sw::testing
