#pragma once
// A minimal owning pointer for COM interfaces: releases on destruction, and hands out the address
// of its slot for the out-parameter of a creating call (releasing what it held before).
#include <unknwn.h>

#include <utility>

namespace velmora::win32 {

template <typename Interface>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { reset(); }
    ComPtr(const ComPtr& other) : pointer_(other.pointer_) {
        if (pointer_ != nullptr) pointer_->AddRef();
    }
    // From a pointer to a derived interface, sharing the object.
    template <typename Derived>
    ComPtr(const ComPtr<Derived>& other) : pointer_(other.get()) {
        if (pointer_ != nullptr) pointer_->AddRef();
    }
    ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(pointer_, other.pointer_);
        return *this;
    }

    Interface* get() const { return pointer_; }
    Interface* operator->() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }

    // For a creating call: ComPtr<IFoo> foo; factory->CreateFoo(foo.put());
    Interface** put() {
        reset();
        return &pointer_;
    }
    void reset() {
        if (pointer_ != nullptr) std::exchange(pointer_, nullptr)->Release();
    }

private:
    Interface* pointer_ = nullptr;
};

}  // namespace velmora::win32
