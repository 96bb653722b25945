#include "tests/support/TempDir.h"

#include "tests/support/Files.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace TestSupport {

namespace fs = std::filesystem;

TempDir::TempDir() : owner(::getpid())
{
    std::string pattern = (fs::temp_directory_path() / "norvik-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error(std::string("mkdtemp: ") + std::strerror(errno));
    dir = pattern;
    // Programs run as an unprivileged user must be able to reach what the test puts here.
    ::chmod(dir.c_str(), 0755);
}

TempDir::~TempDir()
{
    std::error_code ignored;
    if (::getpid() == owner)
        fs::remove_all(dir, ignored);
}

void TempDir::write(const std::string& name, const std::string& text) const
{
    writeFile(file(name), text);
}

void TempDir::copy(const std::string& from, const std::string& name) const
{
    fs::copy_file(from, file(name), fs::copy_options::overwrite_existing);
}

void TempDir::link(const std::string& target, const std::string& name) const
{
    fs::create_symlink(target, file(name));
}

} // namespace TestSupport
