// Small owners for Win32 handles inside the engine: each closes what it holds when it goes out
// of scope, so an operation closes its keys, files, libraries and COM objects on every path.
// Release() hands a handle over to a caller who owns it from then on.
#pragma once

#ifndef _WIN32
#error "install/engine/WinHandles.h is for the Win32 sources"
#endif

#include <windows.h>

#include <cstdlib>
#include <utility>

// Holds one handle of a kind described by Traits: Traits::Type, Traits::Empty() and
// Traits::Close(handle), which is called only for a handle other than the empty one.
template <typename Traits>
class UniqueHandle {
public:
    using Type = typename Traits::Type;

    UniqueHandle() = default;
    explicit UniqueHandle(Type handle) : m_handle(handle) {}
    ~UniqueHandle() { Reset(); }

    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : m_handle(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }

    Type Get() const { return m_handle; }
    explicit operator bool() const { return m_handle != Traits::Empty(); }

    // The address of the held handle for a function that fills it; closes the old one first.
    Type* Receive() {
        Reset();
        return &m_handle;
    }

    Type Release() { return std::exchange(m_handle, Traits::Empty()); }

    void Reset(Type handle = Traits::Empty()) {
        const Type old = std::exchange(m_handle, handle);
        if (old != Traits::Empty()) Traits::Close(old);
    }

private:
    Type m_handle = Traits::Empty();
};

struct KeyTraits {
    using Type = HKEY;
    static Type Empty() { return nullptr; }
    static void Close(Type key) { RegCloseKey(key); }
};

// Files: CreateFileW reports failure with INVALID_HANDLE_VALUE, which the holder never keeps.
struct FileTraits {
    using Type = HANDLE;
    static Type Empty() { return nullptr; }
    static void Close(Type file) { CloseHandle(file); }
};

struct ModuleTraits {
    using Type = HMODULE;
    static Type Empty() { return nullptr; }
    static void Close(Type module) { FreeLibrary(module); }
};

struct SidTraits {
    using Type = PSID;
    static Type Empty() { return nullptr; }
    static void Close(Type sid) { FreeSid(sid); }
};

// Memory from LocalAlloc, as CommandLineToArgvW hands it out.
template <typename T>
struct LocalTraits {
    using Type = T*;
    static Type Empty() { return nullptr; }
    static void Close(Type block) { LocalFree(reinterpret_cast<HLOCAL>(block)); }
};

// Buffers from malloc, the form in which the engine hands byte buffers to its callers.
template <typename T>
struct MallocTraits {
    using Type = T*;
    static Type Empty() { return nullptr; }
    static void Close(Type block) { std::free(block); }
};

// A COM interface pointer.
template <typename T>
struct ComTraits {
    using Type = T*;
    static Type Empty() { return nullptr; }
    static void Close(Type object) { object->Release(); }
};

using KeyHolder = UniqueHandle<KeyTraits>;
using FileHolder = UniqueHandle<FileTraits>;
using ModuleHolder = UniqueHandle<ModuleTraits>;
using SidHolder = UniqueHandle<SidTraits>;
template <typename T>
using LocalHolder = UniqueHandle<LocalTraits<T>>;
template <typename T>
using MallocHolder = UniqueHandle<MallocTraits<T>>;
template <typename T>
using ComHolder = UniqueHandle<ComTraits<T>>;

// A file handle from CreateFileW: the invalid-handle value becomes the empty holder.
inline FileHolder HoldFile(HANDLE file) {
    return FileHolder(file == INVALID_HANDLE_VALUE ? nullptr : file);
}
