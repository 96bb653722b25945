#pragma once

#include "utils/handle/UniqueResource.h"

#include <winsock2.h>

namespace Norvik::Utils {

struct SocketTraits {
    using Value = SOCKET;
    static Value none() noexcept { return INVALID_SOCKET; }
    static bool owns(Value socket) noexcept { return socket != INVALID_SOCKET; }
    static void close(Value socket) noexcept { ::closesocket(socket); }
};

// A Winsock socket.
using UniqueSocket = UniqueResource<SocketTraits>;

} // namespace Norvik::Utils
