#pragma once

#include "utils/handle/UniqueResource.h"

#include <windows.h>

namespace Norvik::Utils {

// Some calls fail with null (CreateEvent, CreateThread, CreateFileMapping), others with
// INVALID_HANDLE_VALUE (CreateFile): neither is a handle to close.
struct KernelHandleTraits {
    using Value = HANDLE;
    static Value none() noexcept { return nullptr; }
    static bool owns(Value handle) noexcept { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
    static void close(Value handle) noexcept { ::CloseHandle(handle); }
};

// A kernel object: event, thread, file, file mapping, serial port.
using UniqueHandle = UniqueResource<KernelHandleTraits>;

struct RegistryKeyTraits {
    using Value = HKEY;
    static Value none() noexcept { return nullptr; }
    static bool owns(Value key) noexcept { return key != nullptr; }
    static void close(Value key) noexcept { ::RegCloseKey(key); }
};

using UniqueRegistryKey = UniqueResource<RegistryKeyTraits>;

// The service manager or one of its services.
struct ServiceHandleTraits {
    using Value = SC_HANDLE;
    static Value none() noexcept { return nullptr; }
    static bool owns(Value handle) noexcept { return handle != nullptr; }
    static void close(Value handle) noexcept { ::CloseServiceHandle(handle); }
};

using UniqueServiceHandle = UniqueResource<ServiceHandleTraits>;

} // namespace Norvik::Utils
