// lightctl: switches the lamp through the light service, as the point-of-sale software does.

#include "ClientAnswer.h"
#include "ClientOptions.h"
#include "LightClient.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

enum ExitStatus { Switched = 0, ServiceFailed = 1, NoAnswer = 2, UsageFailure = 64 };

} // namespace

int main(int argc, char** argv)
{
    using namespace Norvik::Tools;
    ClientOptions options;
    try {
        options = ClientOptions::parse(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const UsageError& error) {
        std::fprintf(stderr, "lightctl: %s\n%s", error.what(), ClientUsage);
        return UsageFailure;
    }
    if (options.help) {
        std::fputs(ClientUsage, stdout);
        return Switched;
    }
    try {
        const ClientAnswer answer =
            ClientAnswer::parse(LightClient::exchange(options.port, options.request, options.timeoutSeconds));
        if (!answer.log.empty()) {
            std::fwrite(answer.log.data(), 1, answer.log.size(), stdout);
            std::fputc('\n', stdout);
        }
        return answer.error == 0 ? Switched : ServiceFailed;
    } catch (const ClientFailure& error) {
        std::fprintf(stderr, "lightctl: %s\n", error.what());
        return NoAnswer;
    }
}
