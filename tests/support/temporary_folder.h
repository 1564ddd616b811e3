// A test with a folder of its own under /tmp, removed with all it holds when
// the test ends, and the small file helpers the tests that write files share.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

class TemporaryFolderTest : public ::testing::Test {
protected:
    // The folder is /tmp/qarnest-<what>-XXXXXX.
    explicit TemporaryFolderTest(const std::string& what);
    ~TemporaryFolderTest() override;

    std::string path(const std::string& name) const { return folder_ + "/" + name; }
    // Writes `text` as the file `name` of the folder and returns its path.
    std::string script(const std::string& name, const std::string& text) const;
    // The folder's entries, sorted, without "." and "..".
    std::vector<std::string> entries() const;

    static void write(const std::string& file, const std::string& text);
    static std::string content_of(const std::string& file);

    std::string folder_;
};
