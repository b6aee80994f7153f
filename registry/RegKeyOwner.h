#pragma once

#include <utility>

#include "registry/RegFuncs.h"

// Owns one open registry key and closes it exactly once: at reset(), or when
// the owner goes out of scope on any path. Predefined roots are never owned.
class RegKeyOwner {
public:
    RegKeyOwner() = default;
    explicit RegKeyOwner(RegKey key) : key_(key) {}
    ~RegKeyOwner() { reset(); }
    RegKeyOwner(const RegKeyOwner&) = delete;
    RegKeyOwner& operator=(const RegKeyOwner&) = delete;
    RegKeyOwner(RegKeyOwner&& other) noexcept : key_(other.release()) {}
    RegKeyOwner& operator=(RegKeyOwner&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }

    [[nodiscard]] RegKey get() const { return key_; }
    explicit operator bool() const { return key_ != RegKey::None; }

    // Closes the key now.
    void reset(RegKey key = RegKey::None)
    {
        if (key_ != RegKey::None)
            CloseRegKey(key_);
        key_ = key;
    }
    // Hands the key to a caller that will close it.
    [[nodiscard]] RegKey release() { return std::exchange(key_, RegKey::None); }

private:
    RegKey key_ = RegKey::None;
};
