// The loop nests of codegen compiled with the system's C compiler into a
// program that prints every point it visits, run at each value of the
// parameters in the context, and compared with brute force on the table of
// cases, unions included: the same points, in the same order, none twice.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <unistd.h>

#include "tests/calculus/point_cases.h"
#include "tests/support/run_program.h"

namespace {

const char* const program_head =
    "#include <stdio.h>\n"
    "#include <stdlib.h>\n"
    "#define max(a, b) ((a) > (b) ? (a) : (b))\n"
    "#define min(a, b) ((a) < (b) ? (a) : (b))\n"
    "#define floord(n, d) ((n) >= 0 ? (n) / (d) : -((-(n) + (d) - 1) / (d)))\n"
    "#define ceild(n, d) ((n) >= 0 ? ((n) + (d) - 1) / (d) : -(-(n) / (d)))\n";

// S prints the point as "(a, b)", as the points statement does.
std::string statement_function(unsigned variables) {
    std::string parameters, format, arguments;
    for (unsigned k = 0; k < variables; ++k) {
        parameters += (k ? ", " : "") + std::string("long v") + std::to_string(k);
        format += k ? ", %ld" : "%ld";
        arguments += ", v" + std::to_string(k);
    }
    if (parameters.empty()) parameters = "void";
    return "static void S(" + parameters + ") { printf(\"(" + format + ")\\n\"" + arguments + "); }\n";
}

// main runs the nest once per group of arguments (the values of the
// parameters), each run ended by "--".
std::string program(const std::string& nest, unsigned variables, const std::vector<std::string>& parameters) {
    std::string text = std::string(program_head) + statement_function(variables) + "int main(int argc, char** argv) {\n";
    std::size_t p = parameters.size();
    text += "  for (int arg = 1; arg + " + std::to_string(p) + " <= argc; arg += " + std::to_string(std::max<std::size_t>(p, 1)) + ") {\n";
    for (std::size_t k = 0; k < p; ++k)
        text += "    long " + parameters[k] + " = atol(argv[arg + " + std::to_string(k) + "]);\n";
    text += "    {\n" + nest + "    }\n    puts(\"--\");\n  }\n  return 0;\n}\n";
    return text;
}

struct Compiled {
    std::string error;
    std::string binary;
};

class ScratchFolder {
public:
    ScratchFolder() {
        char name[] = "/tmp/qarnest-codegen-XXXXXX";
        path_ = mkdtemp(name) ? name : "";
    }
    ~ScratchFolder() {
        if (!path_.empty()) std::system(("rm -rf '" + path_ + "'").c_str());
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

std::string command_output(const std::string& command) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return output;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
    pclose(pipe);
    return output;
}

class Codegen : public ::testing::TestWithParam<PointCase> {};

TEST_P(Codegen, CompiledNestVisitsThePointsInLexicographicOrder) {
    const PointCase& c = GetParam();
    int statement = declaration_count(c) + 1;
    ProgramResult run = run_qarnest(declarations(c) + "codegen (P, K) ;\n");
    ASSERT_EQ(run.exit_status, 0) << run.out << run.err;
    BruteForce b = brute_force(c, run.out);
    std::string nest = statement_output(run.out, statement);

    ScratchFolder folder;
    ASSERT_FALSE(folder.path().empty());
    std::string source = folder.path() + "/nest.c", binary = folder.path() + "/nest";
    std::ofstream(source) << program(nest, b.variables, b.context.names);
    std::string errors = command_output("cc -O1 -Wall -Werror -Wno-unused-variable -Wno-unused-function -o " + binary + " " + source + " 2>&1");
    ASSERT_TRUE(errors.empty()) << errors << "\nin the nest:\n" << nest;

    std::string arguments;
    for (const Point& p : b.parameter_values)
        for (std::int64_t v : p) arguments += " " + std::to_string(v);
    std::istringstream visited(command_output(binary + arguments));
    for (std::size_t k = 0; k < b.parameter_values.size(); ++k) {
        std::vector<std::string> lines;
        for (std::string line; std::getline(visited, line) && line != "--";) lines.push_back(line);
        std::vector<std::string> expected;
        for (const Point& p : b.points[k]) expected.push_back(tuple_text(p));
        std::string where = heading_text(b.context.names, b.parameter_values[k]) + "\n" + nest;
        EXPECT_EQ(lines, expected) << where;
    }
}

INSTANTIATE_TEST_SUITE_P(Domains, Codegen, ::testing::ValuesIn(point_cases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
