#pragma once
// Tiny owners for the handles the program acquires, so every path releases what it took.
#include <windows.h>

#include <objbase.h>

#include <utility>

template <typename Traits> class UniqueResource {
  public:
    using Value = typename Traits::Value;
    UniqueResource() = default;
    explicit UniqueResource(Value value) : value_(value) {}
    UniqueResource(const UniqueResource &) = delete;
    UniqueResource &operator=(const UniqueResource &) = delete;
    UniqueResource(UniqueResource &&other) noexcept : value_(other.Release()) {}
    UniqueResource &operator=(UniqueResource &&other) noexcept {
        Reset(other.Release());
        return *this;
    }
    ~UniqueResource() { Reset(); }

    Value Get() const { return value_; }
    bool Valid() const { return Traits::IsValid(value_); }
    explicit operator bool() const { return Valid(); }
    Value Release() { return std::exchange(value_, Traits::Invalid()); }
    void Reset(Value value = Traits::Invalid()) {
        if (Traits::IsValid(value_))
            Traits::Close(value_);
        value_ = value;
    }

  private:
    Value value_ = Traits::Invalid();
};

struct FileHandleTraits {
    using Value = HANDLE;
    static Value Invalid() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Value v) { return v != INVALID_HANDLE_VALUE && v != nullptr; }
    static void Close(Value v) { CloseHandle(v); }
};
// Kernel handles: files (INVALID_HANDLE_VALUE on failure) and threads or events (null).
using UniqueHandle = UniqueResource<FileHandleTraits>;

struct FindHandleTraits {
    using Value = HANDLE;
    static Value Invalid() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Value v) { return v != INVALID_HANDLE_VALUE && v != nullptr; }
    static void Close(Value v) { FindClose(v); }
};
using UniqueFind = UniqueResource<FindHandleTraits>;

struct RegKeyTraits {
    using Value = HKEY;
    static Value Invalid() { return nullptr; }
    static bool IsValid(Value v) { return v != nullptr; }
    static void Close(Value v) { RegCloseKey(v); }
};
using UniqueRegKey = UniqueResource<RegKeyTraits>;

struct LibraryTraits {
    using Value = HMODULE;
    static Value Invalid() { return nullptr; }
    static bool IsValid(Value v) { return v != nullptr; }
    static void Close(Value v) { FreeLibrary(v); }
};
using UniqueLibrary = UniqueResource<LibraryTraits>;

struct IconTraits {
    using Value = HICON;
    static Value Invalid() { return nullptr; }
    static bool IsValid(Value v) { return v != nullptr; }
    static void Close(Value v) { DestroyIcon(v); }
};
using UniqueIcon = UniqueResource<IconTraits>;

struct GdiObjectTraits {
    using Value = HGDIOBJ;
    static Value Invalid() { return nullptr; }
    static bool IsValid(Value v) { return v != nullptr; }
    static void Close(Value v) { DeleteObject(v); }
};
using UniqueGdiObject = UniqueResource<GdiObjectTraits>;

struct LocalMemoryTraits {
    using Value = HLOCAL;
    static Value Invalid() { return nullptr; }
    static bool IsValid(Value v) { return v != nullptr; }
    static void Close(Value v) { LocalFree(v); }
};
using UniqueLocalMemory = UniqueResource<LocalMemoryTraits>;

// Owns one reference to a COM object.
template <typename T> class ComPtr {
  public:
    ComPtr() = default;
    ComPtr(const ComPtr &) = delete;
    ComPtr &operator=(const ComPtr &) = delete;
    ~ComPtr() { Reset(); }
    T *Get() const { return ptr_; }
    T *operator->() const { return ptr_; }
    explicit operator bool() const { return ptr_ != nullptr; }
    // Address for an out parameter; drops what was held first.
    T **Put() {
        Reset();
        return &ptr_;
    }
    void **PutVoid() { return reinterpret_cast<void **>(Put()); }
    T *Detach() { return std::exchange(ptr_, nullptr); }
    void Reset() {
        if (ptr_)
            std::exchange(ptr_, nullptr)->Release();
    }

  private:
    T *ptr_ = nullptr;
};

// A lock for data that two threads touch (a critical section: Windows XP has no lighter one).
class CriticalSection {
  public:
    CriticalSection() { InitializeCriticalSection(&section_); }
    ~CriticalSection() { DeleteCriticalSection(&section_); }
    CriticalSection(const CriticalSection &) = delete;
    CriticalSection &operator=(const CriticalSection &) = delete;
    void Enter() { EnterCriticalSection(&section_); }
    void Leave() { LeaveCriticalSection(&section_); }

  private:
    CRITICAL_SECTION section_;
};

// Holds a critical section for as long as it lives.
class Locked {
  public:
    explicit Locked(CriticalSection &section) : section_(section) { section_.Enter(); }
    ~Locked() { section_.Leave(); }
    Locked(const Locked &) = delete;
    Locked &operator=(const Locked &) = delete;

  private:
    CriticalSection &section_;
};
