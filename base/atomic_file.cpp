// Whole-or-nothing file writing through a temporary file and a rename.
#include "base/atomic_file.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

std::string folder_of(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string base_of(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string failure(const std::string& path, const std::string& reason) {
    return "Can't write " + path + ": " + reason;
}

// A new file gets the permissions the user's umask gives, not mkstemp's 0600.
mode_t default_file_mode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// Going over the file size limit must fail the write, not end the process.
class IgnoredFileSizeSignal {
public:
    IgnoredFileSizeSignal() {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        sigaction(SIGXFSZ, &ignore, &previous_);
    }
    ~IgnoredFileSizeSignal() { sigaction(SIGXFSZ, &previous_, nullptr); }
    IgnoredFileSizeSignal(const IgnoredFileSizeSignal&) = delete;
    IgnoredFileSizeSignal& operator=(const IgnoredFileSizeSignal&) = delete;

private:
    struct sigaction previous_ {};
};

// A device or a pipe is written where it is: renaming a file over it would
// replace it (as root, /dev/full with an ordinary file) instead of writing to
// it, and a failure there (a full device) must still be told. A name in /dev
// (/dev/stdout, /dev/fd/1) stands for an open file, which is added to, even
// when it is an ordinary file: the calculator's own output sent to a file.
bool written_in_place(const std::string& path) {
    if (path.rfind("/dev/", 0) == 0) return true;
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode) && !S_ISDIR(status.st_mode);
}

// The descriptor a name of the process's own open files stands for, or -1.
// Written through that descriptor, not a new opening of its file, the content
// goes where the process's writes go on, not over them.
int own_descriptor(const std::string& path) {
    if (path == "/dev/stdout") return 1;
    if (path == "/dev/stderr") return 2;
    for (const char* folder : {"/dev/fd/", "/proc/self/fd/"}) {
        const std::string prefix = folder;
        if (path.rfind(prefix, 0) != 0 || path.size() == prefix.size() || path.size() > prefix.size() + 6) continue;
        int fd = 0;
        for (std::size_t k = prefix.size(); k < path.size(); ++k) {
            if (path[k] < '0' || path[k] > '9') return -1;
            fd = fd * 10 + (path[k] - '0');
        }
        return fd;
    }
    return -1;
}

std::string write_in_place(const std::string& path, const std::function<void(FileSink&)>& produce) {
    const int own = own_descriptor(path);
    const int fd = own >= 0 ? fcntl(own, F_DUPFD_CLOEXEC, 0) : open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0) return failure(path, std::strerror(errno));
    IgnoredFileSizeSignal ignore_size_signal;
    FileSink sink(fd);
    produce(sink);
    int error = sink.error();
    if (close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && sink.reason().empty()) return "";
    return failure(path, error != 0 ? std::strerror(error) : sink.reason());
}

// The file a symbolic link leads to takes the new content, and the link stays.
std::string followed_link(const std::string& path) {
    struct stat status {};
    if (lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return path;
    char* target = realpath(path.c_str(), nullptr);
    if (!target) return path;
    std::string resolved = target;
    std::free(target);
    return resolved;
}

}  // namespace

bool FileSink::write(const void* data, std::size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0 && error_ == 0) {
        const ssize_t written = ::write(fd_, bytes, size);
        if (written < 0) {
            if (errno != EINTR) error_ = errno;
            continue;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return error_ == 0;
}

std::string write_file_atomically(const std::string& asked_path, const std::function<void(FileSink&)>& produce) {
    if (asked_path.empty() || base_of(asked_path).empty()) return failure(asked_path, "no file name");
    if (written_in_place(asked_path)) return write_in_place(asked_path, produce);
    const std::string path = followed_link(asked_path);
    std::string temporary = folder_of(path) + "/." + base_of(path) + ".XXXXXX";
    std::vector<char> name(temporary.begin(), temporary.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0) return failure(path, std::strerror(errno));
    temporary = name.data();

    IgnoredFileSizeSignal ignore_size_signal;
    FileSink sink(fd);
    produce(sink);
    int error = sink.error();
    if (error == 0 && sink.reason().empty() && fchmod(fd, default_file_mode()) != 0) error = errno;
    if (error == 0 && sink.reason().empty() && fsync(fd) != 0) error = errno;
    if (close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && sink.reason().empty() && rename(temporary.c_str(), path.c_str()) != 0) error = errno;
    if (error == 0 && sink.reason().empty()) return "";
    unlink(temporary.c_str());
    return failure(asked_path, error != 0 ? std::strerror(error) : sink.reason());
}
