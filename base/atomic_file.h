// Files written whole or not at all: the bytes go to a temporary file in the
// target's folder, which is renamed over the target only once complete, so a
// failed write (full disk, file size limit, unwritable folder) leaves no
// half-written file and an existing file keeps its content.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

class FileSink {
public:
    explicit FileSink(int fd) : fd_(fd) {}
    // False, remembering the reason, once any write has failed.
    bool write(const void* data, std::size_t size);
    bool write(const std::string& text) { return write(text.data(), text.size()); }
    int error() const { return error_; }
    // A reason given by the producer itself (an encoder's failure).
    void fail(const std::string& reason) {
        if (reason_.empty()) reason_ = reason;
    }
    const std::string& reason() const { return reason_; }

private:
    int fd_;
    int error_ = 0;
    std::string reason_;
};

// "" on success, else one line saying what failed. `produce` writes the whole
// content into the sink. A device or a pipe, and any name in /dev
// (/dev/full, /dev/stdout), is written directly, added to what it holds; a
// symbolic link's target gets the content.
std::string write_file_atomically(const std::string& path, const std::function<void(FileSink&)>& produce);
