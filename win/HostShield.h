#pragma once
// Calls into the host behind a frame of their own. Whatever the host raises inside
// them ends there: a C++ exception, or a Windows structured exception, which is how a
// host built with another compiler raises its own exceptions and which C++ catch does
// not see. The driver then goes on as if the call had failed.
#include <utility>

namespace tervex {

// Runs body(context); false when a structured exception left it (and was swallowed).
bool CallShielded(void (*body)(void*), void* context) noexcept;

// Runs call(); false when it was left by any exception. Keep the call itself free of
// objects with destructors: a structured exception skips them.
template <typename Call>
bool HostCall(Call&& call) noexcept {
    struct Frame {
        Call* call;
        bool threw;
    } frame{&call, false};
    const bool returned = CallShielded(
        [](void* context) {
            auto* f = static_cast<Frame*>(context);
            try {
                (*f->call)();
            } catch (...) {
                f->threw = true;
            }
        },
        &frame);
    return returned && !frame.threw;
}

// The call's result, or onFailure when it was left by an exception.
template <typename Result, typename Call>
Result HostCall(Result onFailure, Call&& call) noexcept {
    Result result = onFailure;
    if (!HostCall([&] { result = call(); })) return onFailure;
    return result;
}

}  // namespace tervex
