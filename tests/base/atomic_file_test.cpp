// Whole-or-nothing figure files: the content on success, and on every kind of
// failure (missing folder, file size limit reached mid-write, encoder failure,
// a folder in the way) a message and no file, temporary or final.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/atomic_file.h"
#include "tests/support/temporary_folder.h"

namespace {

class AtomicFile : public TemporaryFolderTest {
protected:
    AtomicFile() : TemporaryFolderTest("atomic") {}
};

TEST_F(AtomicFile, WritesTheWholeContentWithTheUsualPermissions) {
    const std::string path = folder_ + "/figure.svg";
    const mode_t mask = umask(022);
    const std::string result = write_file_atomically(path, [](FileSink& sink) {
        sink.write("<svg>");
        sink.write(std::string(100000, 'x'));
    });
    umask(mask);
    EXPECT_EQ(result, "");
    EXPECT_EQ(content_of(path), "<svg>" + std::string(100000, 'x'));
    struct stat status {};
    ASSERT_EQ(stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0644u);
    EXPECT_EQ(entries(), std::vector<std::string>{"figure.svg"});
}

// The file size limit stands for a disk that fills up during the write.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit limited = previous_;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &previous_); }

private:
    rlimit previous_{};
};

struct FailureCase {
    const char* name;
    const char* file;             // in the test folder
    const char* existing;         // content already there, or null
    bool limit_size;              // the write runs into the file size limit
    const char* producer_reason;  // the producer fails with this, or null
    const char* expected_reason;
};

TEST_F(AtomicFile, AFailedWriteLeavesNoFileAndSaysWhy) {
    const FailureCase cases[] = {
        {"missing folder", "missing/figure.svg", nullptr, false, nullptr, "No such file or directory"},
        {"disk full mid-write", "figure.pdf", nullptr, true, nullptr, "File too large"},
        {"disk full over an existing figure", "figure.pdf", "the old figure", true, nullptr, "File too large"},
        {"encoder failure", "figure.png", nullptr, false, "PNG encoding failed", "PNG encoding failed"},
        {"a folder in the way", "in-the-way.svg", nullptr, false, nullptr, "Is a directory"},
    };
    ASSERT_EQ(mkdir((folder_ + "/in-the-way.svg").c_str(), 0755), 0);
    for (const FailureCase& c : cases) {
        const std::string path = folder_ + "/" + c.file;
        if (c.existing) std::ofstream(path) << c.existing;
        std::vector<std::string> before = entries();
        std::string result;
        {
            FileSizeLimit limit(c.limit_size ? 4096 : RLIM_INFINITY);
            result = write_file_atomically(path, [&](FileSink& sink) {
                sink.write(std::string(64 * 1024, 'x'));
                if (c.producer_reason) sink.fail(c.producer_reason);
            });
        }
        EXPECT_EQ(result, "Can't write " + path + ": " + c.expected_reason) << c.name;
        EXPECT_EQ(entries(), before) << c.name;
        if (c.existing) {
            EXPECT_EQ(content_of(path), c.existing) << c.name;
            unlink(path.c_str());
        }
    }
}

// Renaming a file over a device would replace it (as root, /dev/full by an
// ordinary file): a device is written where it is, and its failure told.
TEST_F(AtomicFile, ADeviceIsWrittenInPlaceAndItsFailureTold) {
    EXPECT_EQ(write_file_atomically("/dev/full", [](FileSink& sink) { sink.write("content"); }),
              "Can't write /dev/full: No space left on device");
    struct stat status {};
    ASSERT_EQ(stat("/dev/full", &status), 0);
    EXPECT_TRUE(S_ISCHR(status.st_mode));
    EXPECT_EQ(write_file_atomically("/dev/null", [](FileSink& sink) { sink.write("content"); }), "");
    ASSERT_EQ(stat("/dev/null", &status), 0);
    EXPECT_TRUE(S_ISCHR(status.st_mode));
}

// "/dev/stdout" sent to a file: the content goes where the process's own
// writes are, between them, not over them nor in place of the file.
TEST_F(AtomicFile, AnOwnDescriptorIsWrittenAtItsPosition) {
    const std::string file = folder_ + "/output.txt";
    const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "before ", 7), 7);
    EXPECT_EQ(write_file_atomically("/dev/fd/" + std::to_string(fd), [](FileSink& sink) { sink.write("content"); }),
              "");
    ASSERT_EQ(::write(fd, " after", 6), 6);
    close(fd);
    EXPECT_EQ(content_of(file), "before content after");
    EXPECT_EQ(entries(), std::vector<std::string>{"output.txt"});
}

TEST_F(AtomicFile, ALinkKeepsLeadingToTheNewContent) {
    const std::string target = folder_ + "/target.svg", link = folder_ + "/link.svg";
    std::ofstream(target) << "old";
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    EXPECT_EQ(write_file_atomically(link, [](FileSink& sink) { sink.write("new"); }), "");
    struct stat status {};
    ASSERT_EQ(lstat(link.c_str(), &status), 0);
    EXPECT_TRUE(S_ISLNK(status.st_mode));
    EXPECT_EQ(content_of(target), "new");
    EXPECT_EQ(entries(), (std::vector<std::string>{"link.svg", "target.svg"}));
}

TEST_F(AtomicFile, ANameWithoutAFileIsRefused) {
    EXPECT_EQ(write_file_atomically(folder_ + "/", [](FileSink& sink) { sink.write("x"); }),
              "Can't write " + folder_ + "/: no file name");
    EXPECT_TRUE(entries().empty());
}

}  // namespace
