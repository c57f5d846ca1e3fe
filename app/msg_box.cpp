#include "app/msg_box.h"

#include <iostream>

namespace sw {

namespace {
CMsgBox::Presenter& CurrentPresenter() {
    static CMsgBox::Presenter presenter;
    return presenter;
}
}  // namespace

int CMsgBox::Show(std::string message, int iconId) {
    const Presenter& presenter = CurrentPresenter();
    if (presenter) return presenter(message, iconId);
    std::cerr << message << '\n';
    return platform::kIdOk;
}

void CMsgBox::SetPresenter(Presenter presenter) { CurrentPresenter() = std::move(presenter); }
const CMsgBox::Presenter& CMsgBox::GetPresenter() { return CurrentPresenter(); }

ScopedMsgBoxPresenter::ScopedMsgBoxPresenter(CMsgBox::Presenter presenter)
    : previous_(CMsgBox::GetPresenter()) {
    CMsgBox::SetPresenter(std::move(presenter));
}

ScopedMsgBoxPresenter::~ScopedMsgBoxPresenter() { CMsgBox::SetPresenter(std::move(previous_)); }

}  // namespace sw
