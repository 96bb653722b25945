#include "utils/logging/LogCompressor.h"

#include "utils/logging/LogEnvironment.h"

#include <memory>
#include <zlib.h>

namespace Norvik::Utils {

namespace {

constexpr std::size_t blockSize = 1024;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

} // namespace

LogCompressor::LogCompressor(std::wstring source) : source(std::move(source)) {}

// Never throws: the pass runs inside a log call's roll-over, and a logged failure would wait
// for the lock that call holds.
void LogCompressor::run()
{
    try {
        compress(source, source + L".gz");
    } catch (...) {
    }
}

bool LogCompressor::compress(const std::wstring& source, const std::wstring& archive)
{
    std::unique_ptr<std::FILE, FileCloser> input(LogEnvironment::openFile(source, "rb"));
    if (!input) {
        return false;
    }
    gzFile output = LogEnvironment::openArchive(archive);
    if (!output) {
        return false;
    }
    bool written = true;
    char block[blockSize];
    std::size_t count;
    while ((count = std::fread(block, 1, sizeof block, input.get())) > 0) {
        if (gzwrite(output, block, static_cast<unsigned>(count)) != static_cast<int>(count)) {
            written = false;
            break;
        }
    }
    if (std::ferror(input.get())) {
        written = false;
    }
    input.reset();
    const bool closed = gzclose(output) == Z_OK;
    if (written && closed) {
        LogEnvironment::removeFile(source);
        return true;
    }
    LogEnvironment::removeFile(archive);
    return false;
}

} // namespace Norvik::Utils
