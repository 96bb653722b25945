#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Norvik {

class LightVelk77Service;

// What a request is answered with: "error" and "log".
struct Answer {
    int error;
    std::wstring log;
};

// Turns one framed request into lamp switching and an answer. Never throws: every failure
// becomes an answer with -1 and a text naming it.
class RequestHandler {
public:
    explicit RequestHandler(LightVelk77Service& service) : service(service) {}

    Answer handle(const std::vector<std::uint8_t>& request);

    // The StyledWriter rendering of {"error":..,"log":..}.
    static std::vector<std::uint8_t> render(const Answer& answer);
    static Answer tooLong();

private:
    LightVelk77Service& service;
};

} // namespace Norvik
