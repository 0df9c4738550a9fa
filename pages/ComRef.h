#pragma once
// A counted reference to a COM-style interface.
namespace tervex {

template <typename Interface>
class ComRef {
public:
    ComRef() = default;
    ~ComRef() { Reset(nullptr); }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;

    // Takes a reference to the new interface before dropping the old one.
    void Reset(Interface* object) {
        if (object) object->AddRef();
        Interface* previous = object_;
        object_ = object;
        if (previous) previous->Release();
    }
    Interface* get() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }

private:
    Interface* object_ = nullptr;
};

}  // namespace tervex
