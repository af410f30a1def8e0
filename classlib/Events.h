// Event types of the class library: std::function members named On...,
// usually bound to a method of the form that holds the control.
#pragma once
#include <windows.h>

#include <functional>
#include <utility>

namespace cls {

class TComponent;

using TNotifyEvent = std::function<void(TComponent* sender)>;

// Binds a method of an object as an event handler:
//   Btn->OnClick = Method(this, &TFrmX::BtnClick);
template <class C, class R, class... A>
std::function<R(A...)> Method(C* self, R (C::*fn)(A...)) {
    return [self, fn](A... args) -> R { return (self->*fn)(std::forward<A>(args)...); };
}

}  // namespace cls
