#pragma once

#include "utils/threading/Routine.h"

#include <string>

namespace Norvik::Utils {

// One pass: compresses a rolled-over log file into the same name followed by ".gz" and removes
// the original only once the archive has been written and closed without error; otherwise the
// original stays and the partial archive goes.
class LogCompressor final : public Threading::Routine {
public:
    explicit LogCompressor(std::wstring source);
    void run() override;

    static bool compress(const std::wstring& source, const std::wstring& archive);

private:
    std::wstring source;
};

} // namespace Norvik::Utils
