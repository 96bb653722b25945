#include "tests/reliability/ReliabilitySupport.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace Reliability {

bool Service::listensOn(unsigned short port) const
{
    std::vector<std::string> sockets;
    std::error_code error;
    for (const auto& entry :
         std::filesystem::directory_iterator("/proc/" + std::to_string(child.pid()) + "/fd", error)) {
        const std::string target = std::filesystem::read_symlink(entry.path(), error).string();
        if (target.rfind("socket:[", 0) == 0)
            sockets.push_back(target.substr(8, target.size() - 9));
    }
    char local[32];
    std::snprintf(local, sizeof local, "0100007F:%04X", static_cast<unsigned>(port));
    std::ifstream table("/proc/net/tcp");
    std::string line;
    std::getline(table, line);
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, address, remote, state, queues, timer, retransmits, uid, timeout, inode;
        fields >> slot >> address >> remote >> state >> queues >> timer >> retransmits >> uid >> timeout >> inode;
        if (address == local && state == "0A" && std::find(sockets.begin(), sockets.end(), inode) != sockets.end())
            return true;
    }
    return false;
}

} // namespace Reliability
