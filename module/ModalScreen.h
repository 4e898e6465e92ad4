#pragma once

#include "host/Application.h"
#include "host/ScreenCreation.h"

#include <QScopeGuard>
#include <memory>

namespace kvo::module {

// Shows a new instance of Form modally over the main window, published in `instance` while it is
// up. Nothing reads the instance once the modal call returns, so it ends there, even on a throw.
template <class Form> void ShowModalInstance(Form*& instance) {
    std::unique_ptr<Form> form(kvo::CreateForm<Form>(kvo::Application().MainForm()));
    instance = form.get();
    const auto forget = qScopeGuard([&instance] { instance = nullptr; });
    form->ShowModal();
}

} // namespace kvo::module
