// The program as its Debian package delivers it: the package's name and
// dependencies, the files it holds, the unpacked executable run from another
// folder (its icons found beside it) and its manual page.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <signal.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "tests/support/run_program.h"
#include "tests/support/x_session.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const fs::path package_dir = QARNEST_PACKAGE_DIR;
const fs::path root = package_dir / "root";
const fs::path installed_program = root / "usr/bin/qarnest";
const fs::path data_dir = root / "usr/share/qarnest";
const fs::path manual_page = root / "usr/share/man/man1/qarnest.1.gz";

std::string quoted(const std::string& text) {
    std::string result = "'";
    for (char c : text) result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return result + "'";
}

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

// A folder of its own for the duration of a test.
class TemporaryFolder {
public:
    TemporaryFolder() {
        std::string pattern = (fs::temp_directory_path() / "qarnest-package-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp");
        path_ = pattern;
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

struct CommandResult {
    std::string out, err;
    int status = -1;
};

// Runs a shell command, its standard output and error captured apart.
CommandResult shell(const std::string& command) {
    TemporaryFolder scratch;
    const fs::path err_file = scratch.path() / "stderr";
    CommandResult result;
    FILE* pipe = popen(("(" + command + ") 2>" + quoted(err_file.string())).c_str(), "r");
    if (!pipe) return result;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.out.append(buffer, n);
    int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.err = read_file(err_file);
    return result;
}

// The unpacked program started in `folder` on a script, as a user would from
// a terminal: standard output to a file, the display given.
class InstalledProgram {
public:
    InstalledProgram(const fs::path& folder, const fs::path& script, const std::string& display)
        : out_file_(folder / "transcript") {
        pid_ = fork();
        if (pid_ == 0) {
            int in = open(script.c_str(), O_RDONLY);
            int out = open(out_file_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (in < 0 || out < 0 || chdir(folder.c_str()) != 0) _exit(126);
            dup2(in, 0);
            dup2(out, 1);
            setenv("DISPLAY", display.c_str(), 1);
            execl(installed_program.c_str(), "qarnest", static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    ~InstalledProgram() {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    InstalledProgram(const InstalledProgram&) = delete;
    InstalledProgram& operator=(const InstalledProgram&) = delete;

    // The exit status, or -1 when the program has not ended in time.
    int wait_exit(std::chrono::milliseconds timeout) {
        auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                exited_ = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(20ms);
        }
        return -1;
    }
    std::string transcript() const { return read_file(out_file_); }

private:
    fs::path out_file_;
    pid_t pid_ = -1;
    bool exited_ = false;
};

// The package names in a Depends field, without versions or alternatives' bars.
std::vector<std::string> package_names(const std::string& depends) {
    std::vector<std::string> names;
    std::string name;
    bool in_version = false;
    for (char c : depends + ",") {
        if (c == '(') in_version = true;
        if (c == ')') in_version = false;
        if (in_version || c == ')' || c == ' ' || c == '\n') continue;
        if (c == ',' || c == '|') {
            if (!name.empty()) names.push_back(name);
            name.clear();
        } else {
            name += c;
        }
    }
    return names;
}

TEST(Package, IsNamedByVersionAndArchitectureAndDependsOnTheLinkedLibraries) {
    const std::string architecture = trimmed(shell("dpkg --print-architecture").out);
    const fs::path package = package_dir / ("qarnest_" + std::string(QARNEST_VERSION) + "_" + architecture + ".deb");
    ASSERT_TRUE(fs::exists(package)) << package;
    CommandResult depends = shell("dpkg-deb -f " + quoted(package.string()) + " Depends");
    ASSERT_EQ(depends.status, 0) << depends.err;
    for (const char* library : {"libpolylib64-", "libgtk2.0-0", "libglib2.0-0", "libc6"})
        EXPECT_NE(depends.out.find(library), std::string::npos) << library << " in " << depends.out;
    std::vector<std::string> names = package_names(depends.out);
    EXPECT_GE(names.size(), 4u);
    for (const std::string& name : names)
        EXPECT_NE(shell("dpkg-query -W -f='${Status}' " + quoted(name)).out.find("install ok installed"),
                  std::string::npos)
            << name << " is a package this machine has";
}

TEST(Package, HoldsTheProgramItsIconsItsExamplesAndItsManualPage) {
    EXPECT_EQ(access(installed_program.c_str(), X_OK), 0) << installed_program;
    EXPECT_TRUE(fs::exists(manual_page)) << manual_page;
    for (const char* icon : {"repere_icon.xpm", "properties_icon.xpm", "context_icon.xpm"})
        EXPECT_EQ(read_file(data_dir / icon), read_file(fs::path(QARNEST_SOURCE_DIR) / icon)) << icon;
    int examples = 0;
    for (const fs::directory_entry& example : fs::directory_iterator(fs::path(QARNEST_SOURCE_DIR) / "examples")) {
        ++examples;
        EXPECT_EQ(read_file(data_dir / "examples" / example.path().filename()), read_file(example.path()))
            << example.path().filename();
    }
    EXPECT_GT(examples, 0);
}

// Jupyter looks for kernels and templates in /usr/share/jupyter; the kernel
// finds /usr/bin/qarnest from its own folder there.
TEST(Package, HoldsTheNotebookKernelWhereJupyterLooks) {
    const fs::path jupyter = root / "usr/share/jupyter";
    for (const char* file : {"kernels/qarnest/kernel.json", "kernels/qarnest/qarnest_kernel.py",
                             "kernels/qarnest/qarnest_explorer.py",
                             "nbconvert/templates/qarnest/index.html.j2", "nbconvert/templates/qarnest/conf.json"})
        EXPECT_TRUE(fs::exists(jupyter / file)) << file;
    EXPECT_NE(read_file(jupyter / "kernels/qarnest/kernel.json").find("\"/usr/bin/python3\""), std::string::npos);
    EXPECT_TRUE(fs::equivalent(jupyter / "kernels/qarnest/../../../../bin/qarnest", installed_program));
}

TEST(Package, UnpackedProgramAnswersAScriptFromAnotherFolderAsTheBuiltOne) {
    XSession x(false);
    TemporaryFolder elsewhere;
    InstalledProgram program(elsewhere.path(), data_dir / "examples/basics", x.display());
    ASSERT_EQ(program.wait_exit(60s), 0);
    setenv("DISPLAY", x.display().c_str(), 1);
    ProgramResult built = run_qarnest(read_file(fs::path(QARNEST_SOURCE_DIR) / "examples/basics"));
    ASSERT_EQ(built.exit_status, 0);
    EXPECT_EQ(program.transcript(), built.out);
    EXPECT_NE(built.out.find("End.\n"), std::string::npos);
}

// Started from a folder without icon files, the windows get theirs from the
// installed data folder beside the executable. The window manager reads an
// icon from the hints of a shown window, so each window is shown first.
TEST(Package, UnpackedViewerFindsItsIconsBesideTheExecutable) {
    XSession x;
    TemporaryFolder elsewhere;
    InstalledProgram program(elsewhere.path(), data_dir / "examples/visu-parametric", x.display());
    std::string visualisation = x.find_window("Visualisation", 30s);
    ASSERT_FALSE(visualisation.empty()) << program.transcript();
    ASSERT_TRUE(x.wait_viewable(visualisation, true));
    x.settle();
    const std::pair<int, const char*> toggles[] = {{1, "Projection"}, {2, "Domains"}, {3, "Context"}};
    for (auto [index, title] : toggles) {
        x.click(visualisation, 40, 18 + 36 * index);
        std::string window = x.find_window(title, 5s);
        ASSERT_FALSE(window.empty()) << title;
        EXPECT_TRUE(x.wait_viewable(window, true)) << title;
        x.settle();
        EXPECT_NE(x.run("xprop -id " + window + " WM_HINTS").find("bitmap id # to use for icon"), std::string::npos)
            << title << " has its icon";
    }
    x.close(visualisation);
    EXPECT_EQ(program.wait_exit(20s), 0);
    EXPECT_NE(program.transcript().find("Waiting for user to leave graphical interface.\n"), std::string::npos);
}

TEST(Package, ManualPageRendersWithoutWarnings) {
    CommandResult page = shell("LC_ALL=C MANWIDTH=80 man --warnings -l " + quoted(manual_page.string()));
    EXPECT_EQ(page.status, 0);
    EXPECT_EQ(page.err, "");
    for (const std::string& text : {std::string("NAME"), std::string("qarnest - interactive calculator"),
                                    std::string("SYNOPSIS"), std::string("STATEMENTS"), std::string("VIEWER"),
                                    std::string("FILES"), std::string("EXIT STATUS"), std::string("EXAMPLES"),
                                    "qarnest " + std::string(QARNEST_VERSION)})
        EXPECT_NE(page.out.find(text), std::string::npos) << text;
    CommandResult whatis = shell("lexgrog " + quoted(manual_page.string()));
    EXPECT_EQ(whatis.status, 0) << "man's index reads the page's name line: " << whatis.out << whatis.err;
}

}  // namespace
