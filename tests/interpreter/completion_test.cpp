// Completion of the word before the cursor, as the line editor's Tab and a
// driving program's requests get it: keywords, stored names, and file names
// inside the quotes after a keyword that takes one.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#include "interpreter/completion.h"
#include "tests/support/temporary_folder.h"

namespace {

class Completions : public TemporaryFolderTest {
protected:
    Completions() : TemporaryFolderTest("completion") {}
    void SetUp() override {
        ASSERT_EQ(mkdir((folder_ + "/plots").c_str(), 0700), 0);
        for (const char* file : {"/plot.svg", "/plan.png", "/.hidden.svg", "/plots/a.svg"})
            std::ofstream(folder_ + file) << "x";
    }
};

TEST_F(Completions, OfWordsAndFileNames) {
    struct Case {
        std::string text;   // "@" for the test folder
        std::size_t start;  // where the word starts; npos: just after the last quote
        bool file_name;
        std::vector<std::string> matches;
    };
    const std::vector<std::string> names = {"Triangle", "Tri2", "M"};
    const std::size_t after_quote = std::string::npos;
    // "*": an empty word, which every keyword and name completes.
    const Case cases[] = {
        {"pri", 0, false, {"print"}},
        {"P := con", 5, false, {"convex"}},
        {"visu (Tri", 6, false, {"Tri2", "Triangle"}},
        {"PL", 0, false, {"PLcons", "PLprint", "PLrays", "PLread", "PLwrite"}},
        {"sa", 0, false, {"sample", "save"}},
        {"save \"@/plo", after_quote, true, {"@/plot.svg", "@/plots/"}},
        {"load \"@/plots/", after_quote, true, {"@/plots/a.svg"}},
        {"PLwrite \"@/pla", after_quote, true, {"@/plan.png"}},
        {"D := PLread \"@/plots/", after_quote, true, {"@/plots/a.svg"}},
        {"PLwrite \"a.pl\" Tri", 15, false, {"Tri2", "Triangle"}},
        {"fig", 0, false, {"figure"}},
        {"R := M.", 7, false, {"*"}},
        {"figure \"@/pl", after_quote, true, {"@/plan.png", "@/plot.svg", "@/plots/"}},
        {"figure  \n \"@/plots/", after_quote, true, {"@/plots/a.svg"}},
        {"figure \"@/.h", after_quote, true, {"@/.hidden.svg"}},
        {"figure \"@/none/", after_quote, true, {}},
        {"figure \"a.svg\" ; figure \"@/plo", after_quote, true, {"@/plot.svg", "@/plots/"}},
        {"xfigure \"Tr", after_quote, false, {"Tri2", "Triangle"}},
        {"print \"Tr", after_quote, false, {"Tri2", "Triangle"}},
        {"figure \"a.svg\" ", 15, false, {"*"}},
    };
    for (const Case& c : cases) {
        std::string text = c.text;
        for (std::size_t at; (at = text.find('@')) != std::string::npos;) text.replace(at, 1, folder_);
        std::vector<std::string> expected;
        for (std::string match : c.matches) {
            for (std::size_t at; (at = match.find('@')) != std::string::npos;) match.replace(at, 1, folder_);
            expected.push_back(match);
        }
        if (c.matches == std::vector<std::string>{"*"}) {
            expected.clear();
            for (const KeywordRow& row : language_keywords()) expected.push_back(row.word);
            expected.insert(expected.end(), names.begin(), names.end());
            std::sort(expected.begin(), expected.end());
        }
        const Completion completion = complete_word(text, names);
        EXPECT_EQ(completion.word_start, c.start == after_quote ? text.rfind('"') + 1 : c.start) << c.text;
        EXPECT_EQ(completion.file_name, c.file_name) << c.text;
        EXPECT_EQ(completion.matches, expected) << c.text;
    }
}

// A keyword the scanner knows and completion does not would never be
// offered by Tab nor by the notebook.
TEST(KeywordTable, HoldsEveryKeywordOfTheScanner) {
    std::ifstream scanner(QARNEST_SOURCE_DIR "/interpreter/scanner.l");
    std::stringstream text;
    text << scanner.rdbuf();
    const std::string rules = text.str().substr(text.str().find("%%"));
    std::set<std::string> scanned;
    const std::regex keyword_rule("\\n\"([A-Za-z]+)\"\\s+\\{");
    for (std::sregex_iterator it(rules.begin(), rules.end(), keyword_rule), end; it != end; ++it)
        scanned.insert((*it)[1]);
    std::set<std::string> completed;
    for (const KeywordRow& row : language_keywords()) completed.insert(row.word);
    EXPECT_GE(scanned.size(), 20u);
    EXPECT_EQ(scanned, completed);
}

}  // namespace
