// The reference-counted interface pointer of the platform's WRL headers,
// as far as the program uses it.
#pragma once

#include "../shlobj.h"

namespace Microsoft {
namespace WRL {

template <typename T>
class ComPtr {
public:
    ComPtr() : ptr_(nullptr) {}
    ComPtr(const ComPtr &) = delete;
    ComPtr &operator=(const ComPtr &) = delete;
    ~ComPtr() { Reset(); }

    T *Get() const { return ptr_; }
    T *operator->() const { return ptr_; }
    T **GetAddressOf() { return &ptr_; }
    T **ReleaseAndGetAddressOf()
    {
        Reset();
        return &ptr_;
    }
    unsigned long Reset()
    {
        unsigned long count = 0;
        if (ptr_ != nullptr) {
            T *old = ptr_;
            ptr_ = nullptr;
            count = old->Release();
        }
        return count;
    }

private:
    T *ptr_;
};

}  // namespace WRL
}  // namespace Microsoft
