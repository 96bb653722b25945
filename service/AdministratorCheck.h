#pragma once

namespace Norvik {

// Whether the user may run the program: on Windows a member of the built-in Administrators group
// with an elevated token, on POSIX the effective user root.
class AdministratorCheck {
public:
    struct Answer {
        bool administrator;
        // The check itself could not be made; errorCode is the system's error code.
        bool failed;
        unsigned long errorCode;
    };

    static Answer check();
};

} // namespace Norvik
