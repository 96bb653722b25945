#if !defined(_WIN32)

#include "service/AdministratorCheck.h"

#include <unistd.h>

namespace Norvik {

// Membership of an administrative group gives no rights by itself, as an unelevated token on
// Windows gives none: only the effective user counts.
AdministratorCheck::Answer AdministratorCheck::check()
{
    return Answer{geteuid() == 0, false, 0};
}

} // namespace Norvik

#endif
