#pragma once

#include <memory>
#include <utility>

namespace kvo {

// Creates a screen the way the form loader does: builds it (constructor), then runs its
// FormCreate once. A failure in either destroys the half-made screen and goes on to the caller.
template <typename T, typename... Args> T* CreateForm(Args&&... args) {
    auto form = std::make_unique<T>(std::forward<Args>(args)...);
    form->FormCreate(form.get());
    return form.release();
}

} // namespace kvo
