#if defined(_WIN32)

#include "service/AdministratorCheck.h"

#include <windows.h>

namespace Norvik {

AdministratorCheck::Answer AdministratorCheck::check()
{
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0,
                                  0, &administrators))
        return Answer{false, true, GetLastError()};

    BOOL member = FALSE;
    const BOOL checked = CheckTokenMembership(nullptr, administrators, &member);
    const DWORD error = checked ? ERROR_SUCCESS : GetLastError();
    FreeSid(administrators);
    if (!checked)
        return Answer{false, true, error};
    return Answer{member != FALSE, false, 0};
}

} // namespace Norvik

#endif
