#include "tests/support/temporary_folder.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

TemporaryFolderTest::TemporaryFolderTest(const std::string& what) {
    std::string pattern = "/tmp/qarnest-" + what + "-XXXXXX";
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make " + pattern);
    folder_ = pattern;
}

TemporaryFolderTest::~TemporaryFolderTest() {
    std::error_code ignored;
    // A test may have left a file without permissions or a folder in the
    // way: make everything removable first.
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder_, ignored))
        std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(folder_, ignored);
}

std::string TemporaryFolderTest::script(const std::string& name, const std::string& text) const {
    std::string file = path(name);
    write(file, text);
    return file;
}

std::vector<std::string> TemporaryFolderTest::entries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder_)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

void TemporaryFolderTest::write(const std::string& file, const std::string& text) { std::ofstream(file) << text; }

std::string TemporaryFolderTest::content_of(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}
