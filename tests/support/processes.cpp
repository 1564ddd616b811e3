#include "tests/support/processes.h"

#include <dirent.h>
#include <signal.h>
#include <fstream>
#include <sstream>
#include <string>

std::vector<pid_t> children_named(pid_t pid, const std::string& name) {
    std::vector<pid_t> children;
    DIR* proc = opendir("/proc");
    if (!proc) return children;
    while (dirent* entry = readdir(proc)) {
        std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
        std::string line;
        if (!std::getline(stat, line)) continue;
        const auto open = line.find('('), close = line.rfind(')');
        if (open == std::string::npos || close == std::string::npos) continue;
        std::istringstream fields(line.substr(close + 2));
        char state;
        pid_t parent;
        fields >> state >> parent;
        if (parent == pid && line.substr(open + 1, close - open - 1) == name) children.push_back(std::stoi(line));
    }
    closedir(proc);
    return children;
}

bool process_gone(pid_t pid) {
    if (kill(pid, 0) != 0) return true;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string pid_field, name, state;
    stat >> pid_field >> name >> state;
    return state == "Z";
}

namespace {

long resident_kib(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return 0;
}

std::vector<pid_t> children_of(pid_t pid) {
    std::vector<pid_t> children;
    DIR* proc = opendir("/proc");
    if (!proc) return children;
    while (dirent* entry = readdir(proc)) {
        std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
        std::string line;
        if (!std::getline(stat, line)) continue;
        auto close = line.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream fields(line.substr(close + 2));
        char state;
        pid_t parent;
        fields >> state >> parent;
        if (parent == pid) children.push_back(std::stoi(line));
    }
    closedir(proc);
    return children;
}

}  // namespace

bool has_children(pid_t pid) { return !children_of(pid).empty(); }

long tree_resident_kib(pid_t pid) {
    long total = resident_kib(pid);
    for (pid_t child : children_of(pid)) total += tree_resident_kib(child);
    return total;
}
