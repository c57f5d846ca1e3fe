#pragma once
// The program's one message window: a modal notification with OK and Cancel.
#include <functional>
#include <string>

#include "platform/host.h"

namespace sw {

class CMsgBox {
public:
    using Presenter = std::function<int(const std::string& message, int iconId)>;

    // Shows message modally; returns 1 for OK (or Enter) and 2 for Cancel,
    // Escape or closing it.
    int Show(std::string message, int iconId);

    // Where notifications go: the page once it exists. Without a presenter
    // (command-line tools, start-up before any page) the message is written
    // to standard error and counts as answered with OK.
    static void SetPresenter(Presenter presenter);
    static const Presenter& GetPresenter();
};

// Routes notifications to a presenter for as long as the guard lives.
class ScopedMsgBoxPresenter {
public:
    explicit ScopedMsgBoxPresenter(CMsgBox::Presenter presenter);
    ~ScopedMsgBoxPresenter();
    ScopedMsgBoxPresenter(const ScopedMsgBoxPresenter&) = delete;
    ScopedMsgBoxPresenter& operator=(const ScopedMsgBoxPresenter&) = delete;

private:
    CMsgBox::Presenter previous_;
};

}  // namespace sw
