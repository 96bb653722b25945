#if !defined(_WIN32)

// COM port names map to devices through a link directory ("com5" -> device), else
// COMn -> /dev/ttyS(n-1).

#include "lampdriver/SerialPort.h"

#include "lampdriver/PosixLineSettings.h"
#include "utils/handle/PosixDescriptor.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace BrillLamp {

namespace {

constexpr const char* DefaultLinkDirectory = "/etc/brilllamp/ports";
constexpr const char* DeviceNamespacePrefix = "\\\\.\\";

std::string devicePath(std::string name)
{
    const std::string prefix = DeviceNamespacePrefix;
    if (name.compare(0, prefix.size(), prefix) == 0)
        name.erase(0, prefix.size());
    for (char& c : name)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));

    const char* directory = std::getenv("BRILLLAMP_PORTS");
    const std::string link =
        std::string(directory && *directory ? directory : DefaultLinkDirectory) + "/" + name;
    struct stat info {};
    if (::lstat(link.c_str(), &info) == 0)
        return link;
    char device[40];
    std::snprintf(device, sizeof device, "/dev/ttyS%ld",
                  std::strtol(name.c_str() + 3, nullptr, 10) - 1);
    return device;
}

} // namespace

PortHandle openSerialPort(const std::string& name)
{
    // Non-blocking only while opening, so that a port without carrier does not hang the open.
    // An open that fails half-way leaves nothing open.
    Norvik::Utils::UniqueFd port(
        ::open(devicePath(name).c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!port || !::isatty(port.get()))
        return InvalidPort;
    // TIOCEXCL does not stop root; the advisory lock does.
    if (::flock(port.get(), LOCK_EX | LOCK_NB) != 0 || ::ioctl(port.get(), TIOCEXCL) != 0)
        return InvalidPort;
    const int flags = ::fcntl(port.get(), F_GETFL);
    if (flags < 0 || ::fcntl(port.get(), F_SETFL, flags & ~O_NONBLOCK) != 0)
        return InvalidPort;
    return port.release();
}

void lampLineSettings(termios& settings)
{
    // Binary in both directions, as a Windows COM port is: no echo of the boards' replies,
    // no newline translation of frames. Parity generation (PARENB/PARODD) stays as it was.
    settings.c_iflag &= ~static_cast<tcflag_t>(INPCK | IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR |
                                               IGNCR | ICRNL | IXON | IXOFF);
    settings.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    settings.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | CSTOPB);
    settings.c_cflag |= CS8 | CLOCAL | CREAD;
    ::cfsetispeed(&settings, B9600);
    ::cfsetospeed(&settings, B9600);
}

void configureSerialPort(PortHandle port)
{
    const int fd = static_cast<int>(port);
    termios settings{};
    if (::tcgetattr(fd, &settings) != 0)
        return;
    lampLineSettings(settings);
    ::tcsetattr(fd, TCSANOW, &settings);
}

bool writeSerialPort(PortHandle port, const std::uint8_t* bytes, std::size_t count)
{
    ssize_t written;
    do
        written = ::write(static_cast<int>(port), bytes, count);
    while (written < 0 && errno == EINTR);
    return written >= 0;
}

void purgeSerialInput(PortHandle port)
{
    ::tcflush(static_cast<int>(port), TCIFLUSH);
}

void closeSerialPort(PortHandle port)
{
    // Exclusive use ends with the handle, as on Windows, even while others hold the tty open.
    ::ioctl(static_cast<int>(port), TIOCNXCL);
    ::close(static_cast<int>(port));
}

} // namespace BrillLamp

#endif
