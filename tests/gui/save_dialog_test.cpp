// The Save dialog as a user drives it, in the real program under valgrind:
// it opens in the working directory, the chosen filter's extension replaces
// the name's, the figure is written there, and no freed memory is read.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>
#include <unistd.h>

#include "tests/support/run_program.h"
#include "tests/support/x_session.h"

namespace {

using namespace std::chrono_literals;

std::string content_of(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool wait_for_file(const std::string& path, std::chrono::seconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (access(path.c_str(), F_OK) == 0) return true;
        std::this_thread::sleep_for(100ms);
    }
    return false;
}

// The program runs in a folder of its own: its working directory.
class WorkingFolder {
public:
    WorkingFolder() {
        char pattern[] = "/tmp/qarnest-save-XXXXXX";
        path_ = mkdtemp(pattern);
        char here[4096];
        previous_ = getcwd(here, sizeof here) ? here : "/";
        if (chdir(path_.c_str()) != 0) path_.clear();
    }
    ~WorkingFolder() {
        if (chdir(previous_.c_str()) != 0) return;
        std::system(("rm -rf " + path_).c_str());
    }
    const std::string& path() const { return path_; }

private:
    std::string path_, previous_;
};

// Whether the menu of a combo box of the program's is on screen.
bool menu_shown(const XSession& x) {
    std::istringstream windows(x.run("xdotool search --onlyvisible --name '^qarnest$' 2>/dev/null"));
    for (std::string window; windows >> window;)
        if (x.run("xprop -id " + window + " _NET_WM_WINDOW_TYPE").find("_NET_WM_WINDOW_TYPE_COMBO") != std::string::npos)
            return true;
    return false;
}

bool wait_for_menu(const XSession& x, bool shown, std::chrono::seconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (menu_shown(x) == shown) return true;
        std::this_thread::sleep_for(200ms);
    }
    return false;
}

// The format filter's menu opens from the bottom right of the chooser; its
// items are SVG, PDF, PNG and TikZ, SVG chosen when the chooser opens.
void choose_filter(const XSession& x, const std::string& chooser, int downs) {
    Geometry size = x.geometry(chooser);
    x.click(chooser, size.width - 110, size.height - 71);
    ASSERT_TRUE(wait_for_menu(x, true, 120s)) << "the filter menu did not open";
    x.settle(1s);
    std::string keys;
    for (int k = 0; k < downs; ++k) keys += " Down";
    x.run("xdotool key --delay 300" + keys + " Return");
    ASSERT_TRUE(wait_for_menu(x, false, 120s)) << "the filter menu did not close";
    x.settle(2s);
}

TEST(SaveDialog, OpensInTheWorkingFolderTakesTheFiltersExtensionAndReadsNoFreedMemory) {
#if defined(QARNEST_ADDRESS_SANITIZER) || defined(QARNEST_THREAD_SANITIZER)
    GTEST_SKIP() << "valgrind cannot run a sanitized program";
#endif
    if (std::system("valgrind --version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "valgrind is not installed (apt-get install valgrind)";
    XSession x;
    WorkingFolder folder;
    ASSERT_FALSE(folder.path().empty());
    const std::string log = folder.path() + "/valgrind.log";
    PtySession program({"--no-line-editing"}, {"DISPLAY=" + x.display()}, false,
                       {"valgrind", "--log-file=" + log, "--child-silent-after-fork=yes", "--error-limit=no"});
    ASSERT_TRUE(program.wait_for("<1> ", 120s)) << program.output();
    program.send("K := { | } ;\nA := { i, j | 0 <= j <= i <= 6 } ;\ninitvisu (2, K) ;\nvisu (A) ;\n");
    ASSERT_TRUE(program.wait_for("<5> ", 120s, true)) << program.output();
    std::string visualisation = x.find_window("Visualisation", 120s);
    ASSERT_FALSE(visualisation.empty());
    ASSERT_TRUE(x.wait_viewable(visualisation, true, 120s));
    x.settle(2s);

    struct Save {
        const char* typed;      // the name typed over the proposed one
        int filter;             // menu steps down from SVG
        const char* written;    // the file that must appear in the working folder
        const char* start;      // its first bytes
    };
    const Save saves[] = {
        {"plot", 2, "plot.png", "\x89PNG"},
        {"other.svg", 3, "other.tex", "% Qarnest figure"},
    };
    for (const Save& s : saves) {
        SCOPED_TRACE(s.written);
        x.key(visualisation, "ctrl+s");
        std::string chooser = x.find_window("Save figure", 120s);
        ASSERT_FALSE(chooser.empty());
        ASSERT_TRUE(x.wait_viewable(chooser, true, 120s));
        x.settle(3s);
        x.key(chooser, "ctrl+a");
        x.type(chooser, s.typed);
        ASSERT_NO_FATAL_FAILURE(choose_filter(x, chooser, s.filter));
        x.key(chooser, "alt+s");
        ASSERT_TRUE(wait_for_file(folder.path() + "/" + s.written, 120s))
            << "nothing written in the working folder: " << x.run("ls " + folder.path());
        ASSERT_TRUE(x.wait_viewable(chooser, false, 120s));
        std::this_thread::sleep_for(1s);
        EXPECT_EQ(content_of(folder.path() + "/" + s.written).rfind(s.start, 0), 0u);
    }
    program.send("quit\n");
    EXPECT_EQ(program.wait_exit(120s), 0);
    const std::string report = content_of(log);
    for (const char* fault : {"Invalid read", "Invalid write", "Invalid free"})
        EXPECT_EQ(report.find(fault), std::string::npos) << fault << " in valgrind's report:\n" << report;
    EXPECT_NE(report.find("ERROR SUMMARY"), std::string::npos) << "valgrind ran to the end:\n" << report;
}

}  // namespace
