#pragma once

#include <cstdint>
#include <type_traits>
#include <utility>

// Owns one handle and closes it exactly once: at reset(), or when the owner
// goes out of scope on any path. `Close` is the function that ends the
// handle; `InvalidBits` is the value that means "none" (0, or all bits set
// for the file handles whose failure value is INVALID_HANDLE_VALUE). Each
// kind of handle is a one-line alias.
template <typename Handle, auto Close, std::uintptr_t InvalidBits = 0>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) : handle_(handle) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }

    static Handle Invalid()
    {
        if constexpr (std::is_pointer_v<Handle>)
            return reinterpret_cast<Handle>(InvalidBits);
        else
            return static_cast<Handle>(InvalidBits);
    }

    [[nodiscard]] Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != Invalid(); }

    // Closes the handle now, and owns `handle` from here on.
    void reset(Handle handle = Invalid())
    {
        Handle old = std::exchange(handle_, handle);
        if (old != Invalid())
            Close(old);
    }
    // Closes the handle now and hands out its place, for a call that fills an
    // out-parameter: the owner then owns what the call made, on every path.
    [[nodiscard]] Handle* put()
    {
        reset();
        return &handle_;
    }
    // Hands the handle to a caller that will close it.
    [[nodiscard]] Handle release() { return std::exchange(handle_, Invalid()); }

private:
    Handle handle_ = Invalid();
};
