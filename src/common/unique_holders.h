// Owners for Windows and COM resources, named as the Windows Implementation
// Library names them. Each releases its resource exactly once: on reset(), on
// destruction, or never when release() handed it back to the caller.
// Interface pointers use Microsoft::WRL::ComPtr from <wrl/client.h>.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <winsvc.h>

template <typename T, typename Closer, T Invalid = T()>
class unique_any {
public:
    unique_any() = default;
    explicit unique_any(T value) : value_(value) {}
    unique_any(const unique_any&) = delete;
    unique_any& operator=(const unique_any&) = delete;
    unique_any(unique_any&& other) noexcept : value_(other.release()) {}
    unique_any& operator=(unique_any&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    ~unique_any() { reset(); }

    T get() const { return value_; }
    bool is_valid() const { return value_ != Invalid; }
    explicit operator bool() const { return is_valid(); }

    void reset(T value = Invalid)
    {
        T old = value_;
        value_ = value;
        if (old != Invalid)
            Closer()(old);
    }

    T release()
    {
        T value = value_;
        value_ = Invalid;
        return value;
    }

    // For out-parameters: frees what is held and gives the address to fill.
    T* put()
    {
        reset();
        return &value_;
    }
    T* addressof() { return &value_; }

private:
    T value_ = Invalid;
};

namespace unique_closers {
struct close_handle { void operator()(HANDLE h) const { CloseHandle(h); } };
struct close_hkey { void operator()(HKEY k) const { RegCloseKey(k); } };
struct close_schandle { void operator()(SC_HANDLE h) const { CloseServiceHandle(h); } };
struct close_event_source { void operator()(HANDLE h) const { DeregisterEventSource(h); } };
struct free_bstr { void operator()(BSTR s) const { SysFreeString(s); } };
struct destroy_safearray { void operator()(SAFEARRAY* a) const { SafeArrayDestroy(a); } };
struct free_hglobal { void operator()(HGLOBAL m) const { GlobalFree(m); } };
struct free_hlocal { void operator()(HLOCAL m) const { LocalFree(m); } };
template <typename T>
struct free_process_heap { void operator()(T* p) const { HeapFree(GetProcessHeap(), 0, p); } };
} // namespace unique_closers

using unique_handle = unique_any<HANDLE, unique_closers::close_handle>;
using unique_hkey = unique_any<HKEY, unique_closers::close_hkey>;
using unique_schandle = unique_any<SC_HANDLE, unique_closers::close_schandle>;
using unique_event_source = unique_any<HANDLE, unique_closers::close_event_source>;
using unique_bstr = unique_any<BSTR, unique_closers::free_bstr>;
using unique_safearray = unique_any<SAFEARRAY*, unique_closers::destroy_safearray>;
using unique_hglobal = unique_any<HGLOBAL, unique_closers::free_hglobal>;
using unique_hlocal = unique_any<HLOCAL, unique_closers::free_hlocal>;
template <typename T>
using unique_process_heap_ptr = unique_any<T*, unique_closers::free_process_heap<T>>;

// A VARIANT that is initialised on construction and cleared exactly once.
class unique_variant {
public:
    unique_variant() { VariantInit(&value_); }
    unique_variant(const unique_variant&) = delete;
    unique_variant& operator=(const unique_variant&) = delete;
    ~unique_variant() { reset(); }

    VARIANT* get() { return &value_; }
    const VARIANT* get() const { return &value_; }
    VARIANT* operator->() { return &value_; }
    const VARIANT* operator->() const { return &value_; }

    void reset()
    {
        VariantClear(&value_);
        VariantInit(&value_);
    }

    // Hands the value to the caller, who clears it.
    VARIANT release()
    {
        VARIANT value = value_;
        VariantInit(&value_);
        return value;
    }

    // For out-parameters: clears what is held and gives the address to fill.
    VARIANT* put()
    {
        reset();
        return &value_;
    }

private:
    VARIANT value_;
};

// Access to a SAFEARRAY's data, paired with exactly one SafeArrayUnaccessData.
// The array itself stays owned elsewhere (unique_safearray).
template <typename T>
class unique_safearray_access {
public:
    unique_safearray_access() = default;
    unique_safearray_access(const unique_safearray_access&) = delete;
    unique_safearray_access& operator=(const unique_safearray_access&) = delete;
    ~unique_safearray_access() { reset(); }

    // Returns the result of SafeArrayAccessData; data() is valid after success.
    HRESULT access(SAFEARRAY* array)
    {
        reset();
        void* data = nullptr;
        HRESULT hr = SafeArrayAccessData(array, &data);
        if (SUCCEEDED(hr)) {
            array_ = array;
            data_ = static_cast<T*>(data);
        }
        return hr;
    }

    void reset()
    {
        if (array_)
            SafeArrayUnaccessData(array_);
        array_ = nullptr;
        data_ = nullptr;
    }

    T* data() const { return data_; }
    bool is_valid() const { return array_ != nullptr; }

private:
    SAFEARRAY* array_ = nullptr;
    T* data_ = nullptr;
};
