// Figures from scripts: the program run as a user runs it, with --figure, on
// a machine without a display; the files it writes, its exit status and its
// messages, for the main uses and the malformed ones.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "tests/support/figure_reading.h"
#include "tests/support/run_program.h"
#include "tests/support/temporary_folder.h"

namespace {

const char* const shown_triangle =
    "K := { | } ;\n"
    "T := { i, j | 0 <= j <= i <= 4 } ;\n"
    "initvisu (2, K) ;\n"
    "visu (T) ;\n";

std::string content_of(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Width and height from a PNG file's header.
std::pair<int, int> png_size(const std::string& bytes) {
    if (bytes.size() < 24 || bytes.compare(1, 3, "PNG") != 0) return {0, 0};
    auto word = [&](std::size_t at) {
        int value = 0;
        for (std::size_t k = 0; k < 4; ++k) value = value * 256 + static_cast<unsigned char>(bytes[at + k]);
        return value;
    };
    return {word(16), word(20)};
}

class FigureMode : public TemporaryFolderTest {
protected:
    FigureMode() : TemporaryFolderTest("figure") {}
    void SetUp() override {
        // No display at all: the run must make its own.
        const char* display = std::getenv("DISPLAY");
        if (display) saved_display_ = display;
        unsetenv("DISPLAY");
    }
    void TearDown() override {
        if (!saved_display_.empty()) setenv("DISPLAY", saved_display_.c_str(), 1);
    }
    std::string saved_display_;
};

TEST_F(FigureMode, WritesEachFormatHeadless) {
    struct Case {
        const char* file;
        const char* start;   // the first bytes of the file
    };
    const Case cases[] = {
        {"t.svg", "<?xml"},
        {"t.pdf", "%PDF"},
        {"t.png", "\x89PNG"},
        {"t.tex", "% Qarnest figure"},
    };
    for (const Case& c : cases) {
        const std::string path = folder_ + "/" + c.file;
        const ProgramResult result = run_qarnest(shown_triangle, {"--figure", path});
        EXPECT_EQ(result.exit_status, 0) << c.file << ": " << result.err;
        EXPECT_EQ(result.err, "") << c.file;
        EXPECT_EQ(result.out.find("Waiting for user"), std::string::npos) << c.file;
        EXPECT_NE(result.out.find("End."), std::string::npos) << c.file;
        EXPECT_EQ(content_of(path).rfind(c.start, 0), 0u) << c.file;
    }
    EXPECT_EQ(png_size(content_of(folder_ + "/t.png")), (std::pair<int, int>{314, 348}));
    const SvgElement svg = svg_elements_named(content_of(folder_ + "/t.svg"), "svg").at(0);
    EXPECT_EQ(svg.attributes.at("width"), "314");
    EXPECT_EQ(svg.attributes.at("height"), "348");
}

TEST_F(FigureMode, TakesTheSizeAskedForAndAScriptFile) {
    const std::string script = folder_ + "/triangle.qn";
    std::ofstream(script) << shown_triangle;
    const std::string png = folder_ + "/t.png", svg = folder_ + "/t.svg";
    ProgramResult result = run_qarnest("", {"--figure-size", "640x200", "--figure", png, script});
    EXPECT_EQ(result.exit_status, 0) << result.err;
    EXPECT_EQ(png_size(content_of(png)), (std::pair<int, int>{640, 200}));
    result = run_qarnest("", {"--figure=" + svg, "--figure-size=77x99", script});
    EXPECT_EQ(result.exit_status, 0) << result.err;
    EXPECT_EQ(svg_elements_named(content_of(svg), "svg").at(0).attributes.at("viewBox"), "0 0 77 99");
}

// The statements of the manual page's EXAMPLES section up to the first ".fi".
std::string manual_page_example() {
    std::string page = content_of(std::string(QARNEST_SOURCE_DIR) + "/docs/qarnest.1.in");
    std::size_t begin = page.find(".nf\n", page.find(".SH EXAMPLES")) + 4;
    std::string example = page.substr(begin, page.find(".fi\n", begin) - begin);
    for (std::size_t at; (at = example.find("\\-")) != std::string::npos;) example.replace(at, 2, "-");
    return example;
}

// The parametric examples the README and the manual page give draw their
// domains (for the parameters' starting value 0): a figure of them holds
// point markers, where it used to hold nothing.
TEST_F(FigureMode, TheParametricExamplesShowTheirDomains) {
    struct Case {
        const char* name;
        std::string script;
    };
    const Case cases[] = {
        {"examples/visu-parametric", content_of(std::string(QARNEST_SOURCE_DIR) + "/examples/visu-parametric")},
        {"the manual page's example", manual_page_example()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NE(c.script.find("initvisu"), std::string::npos) << c.script;
        const std::string path = folder_ + "/p.svg";
        const ProgramResult result = run_qarnest(c.script, {"--figure", path});
        EXPECT_EQ(result.exit_status, 0) << result.err;
        std::size_t markers = 0;
        for (const SvgElement& e : svg_elements_named(content_of(path), "path"))
            if (e.attributes.count("d")) markers += marker_centres_of(path_rectangles(e.attributes.at("d"))).size();
        EXPECT_GT(markers, 0u) << content_of(path);
    }
}

TEST_F(FigureMode, FailsWithAClearMessageAndNoFile) {
    struct Case {
        const char* name;
        std::string script;
        std::vector<std::string> arguments;   // "@" stands for the test folder
        int status;
        std::string message;
    };
    const std::string target = "@/t.svg";
    const Case cases[] = {
        {"the viewer never started", "T := { i | 0 <= i <= 3 } ;\n", {"--figure", target}, 1,
         "No figure written to @/t.svg: no domain is shown\n"},
        {"the viewer shows nothing", "K := { | } ;\nT := { i, j | 0 <= i, j <= 3 } ;\ninitvisu (2, K) ;\n",
         {"--figure", target}, 1, "No figure written to @/t.svg: no domain is shown\n"},
        {"the last shown domain masked again", std::string(shown_triangle) + "visu (T) ;\n", {"--figure", target}, 1,
         "No figure written to @/t.svg: no domain is shown\n"},
        {"a missing folder", shown_triangle, {"--figure", "@/missing/t.svg"}, 1,
         "Can't write @/missing/t.svg: No such file or directory\n"},
        {"an unknown format", shown_triangle, {"--figure", "@/t.jpg"}, 2,
         "qarnest: --figure @/t.jpg: unknown figure format (use .svg, .pdf, .png or .tex)\nTry 'qarnest --help' for more information.\n"},
        {"no file name", shown_triangle, {"--figure"}, 2,
         "qarnest: option '--figure' needs a value (FILE)\nTry 'qarnest --help' for more information.\n"},
        {"a malformed size", shown_triangle, {"--figure", target, "--figure-size", "640by480"}, 2,
         "qarnest: --figure-size 640by480: give WIDTHxHEIGHT, each 1 to 8192 pixels\nTry 'qarnest --help' for more information.\n"},
        {"a size too large", shown_triangle, {"--figure", target, "--figure-size", "8193x10"}, 2,
         "qarnest: --figure-size 8193x10: give WIDTHxHEIGHT, each 1 to 8192 pixels\nTry 'qarnest --help' for more information.\n"},
        {"a size alone", shown_triangle, {"--figure-size", "10x10"}, 2,
         "qarnest: --figure-size goes with --figure\nTry 'qarnest --help' for more information.\n"},
        {"a missing script", "", {"--figure", target, "@/none.qn"}, 2,
         "qarnest: cannot read '@/none.qn': No such file or directory\n"},
    };
    auto in_folder = [&](std::string text) {
        for (std::size_t at; (at = text.find('@')) != std::string::npos;) text.replace(at, 1, folder_);
        return text;
    };
    for (const Case& c : cases) {
        std::vector<std::string> arguments;
        for (const std::string& a : c.arguments) arguments.push_back(in_folder(a));
        const ProgramResult result = run_qarnest(c.script, arguments);
        EXPECT_EQ(result.exit_status, c.status) << c.name;
        EXPECT_EQ(result.err, in_folder(c.message)) << c.name;
        EXPECT_EQ(std::system(("test -z \"$(ls -A " + folder_ + ")\"").c_str()), 0) << c.name << ": files left";
    }
}

}  // namespace
