#pragma once

#include "utils/handle/UniqueResource.h"

#include <unistd.h>

namespace Norvik::Utils {

struct DescriptorTraits {
    using Value = int;
    static Value none() noexcept { return -1; }
    static bool owns(Value fd) noexcept { return fd >= 0; }
    static void close(Value fd) noexcept { ::close(fd); }
};

// A file, socket or pipe descriptor.
using UniqueFd = UniqueResource<DescriptorTraits>;

} // namespace Norvik::Utils
