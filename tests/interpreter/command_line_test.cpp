// The command line and the process's streams: options, script files and
// their exit status, line mode over pipes, running without a display, and
// failed or closed standard descriptors.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <csignal>
#include <poll.h>
#include <thread>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/run_program.h"
#include "tests/support/temporary_folder.h"

namespace {

using namespace std::chrono_literals;

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Script files in a temporary directory, removed afterwards.
class ScriptFiles : public TemporaryFolderTest {
protected:
    ScriptFiles() : TemporaryFolderTest("scripts") {}
};

TEST_F(ScriptFiles, AreReadInOrderAndAnErrorNamesItsFileAndFailsTheRun) {
    std::string a = script("a.qn", "A := { i | 0 <= i <= 3 } ;\n");
    std::string b = script("b.qn", "print A ;\nprint 3 ;\nB := A union A ;\n");
    ProgramResult r = run_qarnest("", {a, b});
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(r.out,
              "<1> > A :=   { i | i <= 3, i >= 0 }\n"
              "<2> > A :=   { i | i <= 3, i >= 0 }\n"
              "<3> > Error - " + b + ", line 2 : parse error \n"
              "> Syntax: print 'name' ;\n"
              "<4> > B :=   { i | i <= 3, i >= 0 }\n"
              "<5> End.\n");
    EXPECT_EQ(r.err, "");
}

TEST_F(ScriptFiles, ExitStatusFollowsWhatTheStatementsDid) {
    struct Case {
        const char* name;
        const char* text;
        int status;
    };
    const Case cases[] = {
        {"clean", "A := { i | i >= 0 } ;\nprint A ;\n", 0},
        {"empty", "", 0},
        {"undeclared", "print Z ;\n", 1},
        {"refused operation", "A := { i | i >= 0 } ;\nB := convex Z ;\n", 1},
        {"recovered syntax", "A := { i | i >= 0 \n;\n", 1},
        {"incomplete at the end", "A := { i |", 1},
        {"viewer without display", "K := { | } ;\ninitvisu (1, K) ;\n", 1},
        {"beyond the work-space budget", nullptr, 1},
    };
    std::string wide = "P := { x0";
    for (int k = 1; k < 10000; ++k) wide += ", x" + std::to_string(k);
    wide += " | x0 >= 0 } ;\n";
    for (Case c : cases) {
        if (!c.text) c.text = wide.c_str();
        std::string path = script(std::string(c.name) + ".qn", c.text);
        ProgramResult r = run_qarnest("", {path}, 60s, {"DISPLAY="});
        EXPECT_EQ(r.exit_status, c.status) << c.name << "\n" << r.out;
    }
    ProgramResult piped = run_qarnest("print Z ;\n");
    EXPECT_EQ(piped.exit_status, 0) << "standard input alone keeps its exit status";
}

TEST_F(ScriptFiles, AMissingOrUnreadableFileIsOneMessageAndStatusTwo) {
    std::string a = script("a.qn", "A := { i | i >= 0 } ;\n");
    for (const std::string& bad : {folder_ + "/missing.qn", folder_}) {
        ProgramResult r = run_qarnest("", {a, bad});
        EXPECT_EQ(r.exit_status, 2) << bad;
        EXPECT_EQ(r.out, "") << "nothing runs when a file cannot be read";
        EXPECT_TRUE(contains(r.err, "qarnest: cannot read '" + bad + "': ")) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
}

TEST_F(ScriptFiles, InteractiveOptionGoesOnWithStandardInputAfterTheFiles) {
    std::string a = script("a.qn", "A := { i | 0 <= i <= 3 } ;\n");
    for (const char* option : {"-i", "--interactive"}) {
        ProgramResult r = run_qarnest("print A ;\n", {option, a});
        EXPECT_EQ(r.exit_status, 0);
        EXPECT_EQ(r.out, "<1> > A :=   { i | i <= 3, i >= 0 }\n<2> > A :=   { i | i <= 3, i >= 0 }\n<3> End.\n");
    }
    ProgramResult dash = run_qarnest("B := A union A ;\n", {a, "-", script("c.qn", "list ;\n")});
    EXPECT_TRUE(contains(dash.out, ">   B :=   { i | i <= 3, i >= 0 }\n>   A :=")) << dash.out;
}

TEST_F(ScriptFiles, ToolkitOptionsAreTakenOutFirst) {
    std::string a = script("a.qn", "A := { i | i >= 0 } ;\n");
    ProgramResult r = run_qarnest("", {"--sync", a});
    EXPECT_EQ(r.exit_status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "> A :=   { i | i >= 0 }\n"));
}

TEST(Options, HelpVersionAndRefusedArguments) {
    ProgramResult help = run_qarnest("", {"--help"});
    EXPECT_EQ(help.exit_status, 0);
    for (const char* part : {"Usage: qarnest [OPTION]... [SCRIPT]...", "-i, --interactive", "--line-mode",
                             "--no-line-editing", "--version", "Ctrl-C", "Ctrl-R", "Tab", "~/.qarnest_history",
                             "Exit status", "README"})
        EXPECT_TRUE(contains(help.out, part)) << part;
    EXPECT_EQ(run_qarnest("", {"-h"}).out, help.out);

    ProgramResult version = run_qarnest("", {"--version"});
    EXPECT_EQ(version.exit_status, 0);
    EXPECT_EQ(version.out.rfind("qarnest ", 0), 0u) << version.out;

    for (const char* bad : {"--bogus", "-x", "--help=yes"}) {
        ProgramResult r = run_qarnest("list ;\n", {bad});
        EXPECT_EQ(r.exit_status, 2) << bad;
        EXPECT_EQ(r.out, "") << bad;
        EXPECT_TRUE(contains(r.err, "Try 'qarnest --help'")) << r.err;
    }
}

// A program driving the calculator over pipes: one statement at a time.
class PipeDriver {
public:
    explicit PipeDriver(const std::vector<std::string>& args, const std::vector<std::string>& environment = {}) {
        int in[2], out[2];
        if (pipe(in) || pipe(out)) throw std::runtime_error("pipe");
        pid_ = fork();
        if (pid_ == 0) {
            dup2(in[0], 0);
            dup2(out[1], 1);
            for (int fd : {in[0], in[1], out[0], out[1]}) close(fd);
            for (const std::string& setting : environment) putenv(strdup(setting.c_str()));
            std::vector<std::string> storage = {QARNEST_BINARY};
            storage.insert(storage.end(), args.begin(), args.end());
            std::vector<char*> argv;
            for (auto& s : storage) argv.push_back(s.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        to_ = in[1];
        from_ = out[0];
    }
    ~PipeDriver() {
        if (to_ >= 0) close(to_);
        int status;
        if (pid_ > 0) waitpid(pid_, &status, 0);
        close(from_);
    }
    pid_t pid() const { return pid_; }
    const std::string& received() const { return received_; }
    void send(const std::string& text) { ASSERT_EQ(write(to_, text.data(), text.size()), (ssize_t)text.size()); }
    // Everything that arrives until `text` has, or nothing after `timeout`.
    std::string read_until(const std::string& text, std::chrono::milliseconds timeout) {
        auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!contains(received_, text)) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return {};
            pollfd p = {from_, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
            char buffer[4096];
            ssize_t n = read(from_, buffer, sizeof buffer);
            if (n <= 0) return {};
            received_.append(buffer, static_cast<std::size_t>(n));
        }
        return received_;
    }
    void close_input() {
        close(to_);
        to_ = -1;
    }
    // Waits for the end with the input still open: the raw wait status, or
    // -1 (after killing it) when it does not end in time.
    int wait_for_end(std::chrono::milliseconds timeout) {
        auto deadline = std::chrono::steady_clock::now() + timeout;
        int status = 0;
        while (waitpid(pid_, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) return signal_and_wait(SIGKILL), -1;
            std::this_thread::sleep_for(10ms);
        }
        pid_ = -1;
        return status;
    }
    // Sends `signal` and waits for the end: the raw wait status.
    int signal_and_wait(int signal) {
        kill(pid_, signal);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return status;
    }

private:
    pid_t pid_ = -1;
    int to_ = -1, from_ = -1;
    std::string received_;
};

TEST(LineMode, EachStatementIsAnsweredBeforeTheNextIsSent) {
    PipeDriver driver({"--line-mode"});
    EXPECT_EQ(driver.read_until("<1> ", 10s), "<1> ");
    driver.send("P := { i | 0 <= i <= 3 } ;\n");
    EXPECT_EQ(driver.read_until("<2> ", 10s), "<1> > P :=   { i | i <= 3, i >= 0 }\n<2> ");
    driver.send("P := convex P ;\n");
    EXPECT_TRUE(contains(driver.read_until("?", 10s), "> Overwrite (o) , Choose another name (n) ?"));
    driver.send("o\n");
    EXPECT_TRUE(contains(driver.read_until("<4> ", 10s), "> OK : overwrite 'P'\n> P :=   { i | i <= 3, i >= 0 }\n"));
    driver.send("quit\n");
    EXPECT_TRUE(contains(driver.read_until("End.\n", 10s), "\n bye...\n\nEnd.\n"));
}

// A program that writes statements into a pipe and keeps it open gets its
// answers, and "quit" ends the run, without the option, a full block or the
// end of input.
TEST(LineMode, WithoutTheOptionAPipeKeptOpenIsReadAsItArrives) {
    PipeDriver driver({});
    driver.send("P := { i | 0 <= i <= 3 } ;\n");
    EXPECT_TRUE(contains(driver.read_until("<2> ", 10s), "<1> > P :=   { i | i <= 3, i >= 0 }\n<2> "));
    driver.send("print P ;\nquit\n");
    EXPECT_TRUE(contains(driver.read_until("End.\n", 10s), "<2> > P :=   { i | i <= 3, i >= 0 }\n<3> \n bye...\n\nEnd.\n"));
    EXPECT_TRUE(WIFEXITED(driver.wait_for_end(10s))) << "the run did not end while the pipe stayed open";
}

TEST(Signals, InBatchUseCtrlCKeepsItsDefaultMeaning) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{}, {"--line-mode"}}) {
        PipeDriver driver(args);
        driver.send("P := { i | i >= 0 } ;\n");
        std::this_thread::sleep_for(300ms);
        int status = driver.signal_and_wait(SIGINT);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << "status " << status;
    }
}

const char* const long_ehrhart =
    "T := { a, b, c, d, N, M | 0 <= a <= N, 0 <= b <= M, 0 <= c <= a + b, 0 <= d <= c + N,"
    " 2 * a + 3 * b <= 5 * c + 7 * d + M } ;\nC := { N, M | N >= 0, M >= 0 } ;\n";

TEST(Signals, WithKeepOnInterruptCtrlCStopsTheStatementAndTheRunGoesOn) {
    PipeDriver driver({"--line-mode", "--keep-on-interrupt"});
    driver.send(long_ehrhart);
    ASSERT_TRUE(contains(driver.read_until("<3> ", 10s), "<3> "));
    driver.send("ehrhart (T, C) ;\n");
    std::this_thread::sleep_for(300ms);
    kill(driver.pid(), SIGINT);
    EXPECT_TRUE(contains(driver.read_until("<4> ", 5s),
                         "<3> > Error - line 3 : the Ehrhart polynomial of 'T' was interrupted - command ignored \n<4> "));
    driver.send("P := { i |\n");
    ASSERT_TRUE(contains(driver.read_until("<5> ", 5s), "<5> "));
    kill(driver.pid(), SIGINT);
    ASSERT_TRUE(contains(driver.read_until("<5> \n<5> ", 5s), "<5> \n<5> ")) << "the statement being read is dropped";
    driver.send("list ;\n");
    EXPECT_TRUE(contains(driver.read_until("<6> ", 5s), "\n<5> > Domain List: \n>   C :=   { N, M | N >= 0, M >= 0 }\n"
                                                        ">   T :=   "));
    driver.close_input();
    EXPECT_TRUE(contains(driver.read_until("End.\n", 10s), "<6> End.\n"));
}

// Every line read gets one frame before it, requests included; the frames
// count refusals and tell a statement under way and a waiting question.
TEST(KernelProtocol, FramesAndRequestsInsteadOfPrompts) {
    const std::string ready = "\x1e{\"ready\":true,\"refused\":";
    auto frame = [&](int refused, bool pending, bool answer) {
        return ready + std::to_string(refused) + ",\"pending\":" + (pending ? "true" : "false") +
               ",\"answer\":" + (answer ? "true" : "false") + ",\"picture\":null}\n";
    };
    struct Step {
        std::string line;
        std::string answer;   // everything written until the next frame, that frame included
    };
    const Step steps[] = {
        {"", frame(0, false, false)},
        {"Triangle := { i, j | 0 <= j <= i <= 3 } ;\n", "> Triangle :=   { i, j | i <= 3, i >= j, j >= 0 }\n" +
                                                          frame(0, false, false)},
        {"print Q ;\n", "> Error - line 2 :  'Q' undeclared - print: command ignored \n" + frame(1, false, false)},
        {"\x1e" "complete print Tr\n",
         "\x1e{\"completion\":{\"start\":6,\"file\":false,\"matches\":[\"Triangle\"]}}\n" + frame(1, false, false)},
        {"\x1esync a \"b\"\n", "\x1e{\"sync\":\"a \\\"b\\\"\"}\n" + frame(1, false, false)},
        {"\x1e" "figure -1 -1 t.svg\n",
         "> figure : the viewer needs an X display and none could be opened - command ignored\n" + frame(2, false, false)},
        {"\x1e" "bogus\n", "\x1e{\"unknown\":\"bogus\"}\n" + frame(2, false, false)},
        {"P := { i |\n", frame(2, true, false)},
        {"i >= 0 } ;\n", "> P :=   { i | i >= 0 }\n" + frame(2, false, false)},
        {"P := { i | i <= 0 } ;\n", "Warning : identifier 'P' is already used for another domain !\n"
                                    "> Overwrite (o) , Choose another name (n) ?" + frame(2, false, true)},
        {"o\n", "> OK : overwrite 'P'\n> P :=   { i | i <= 0 }\n" + frame(2, false, false)},
        {"quit\n", "\n bye...\n\nEnd.\n"},
    };
    PipeDriver driver({"--kernel-protocol"}, {"DISPLAY="});
    std::string so_far;
    for (const Step& step : steps) {
        driver.send(step.line);
        const std::string expected = so_far + step.answer;
        ASSERT_EQ(driver.read_until(expected, 10s), expected) << "after " << step.line << driver.received();
        so_far = expected;
    }
}

struct ProtocolStep {
    std::string line;
    std::string answer;   // what comes before the next frame
};

// Sends each line and checks what comes before the next frame; a request
// leaves the picture's digest as it was, unless it gave new values.
template <std::size_t n>
void run_protocol_steps(PipeDriver& driver, const ProtocolStep (&steps)[n]) {
    const std::string frame_start = "\x1e{\"ready\":true,\"refused\":";
    std::string so_far = driver.read_until("}\n", 60s);
    ASSERT_TRUE(contains(so_far, frame_start)) << so_far;
    std::string last_picture = so_far.substr(so_far.find("\"picture\":"));
    for (const ProtocolStep& step : steps) {
        driver.send(step.line);
        const std::string expected = so_far + step.answer + frame_start;
        ASSERT_EQ(driver.read_until(expected, 30s).substr(0, expected.size()), expected)
            << "after " << step.line << driver.received();
        so_far = driver.read_until("}\n", 10s);
        const std::string frame = so_far.substr(so_far.rfind(frame_start));
        ASSERT_EQ(frame.back(), '\n') << frame;
        const std::string picture = frame.substr(frame.find("\"picture\":"));
        if (step.line.rfind("\x1e" "values", 0) == 0 && step.answer.find("set") != std::string::npos) {
            EXPECT_NE(picture, last_picture) << "the picture follows the values given";
        } else if (step.line[0] == '\x1e') {
            EXPECT_EQ(picture, last_picture) << "after " << step.line;
        }
        last_picture = picture;
    }
}

// The explorer's requests: the viewer's parameters and ranges, values given
// only inside the context, and card's answer within a box of values, none of
// them counted as lines.
TEST(KernelProtocol, ExplorerRequestsAnswerFromTheViewer) {
    const std::string explored =
        "\x1e{\"explore\":{\"context\":\"K\",\"parameters\":[{\"name\":\"N\",\"value\":4,\"low\":0,\"high\":10},"
        "{\"name\":\"M\",\"value\":2,\"low\":0,\"high\":15}],\"domains\":[{\"name\":\"T\",\"colour\":\"#000000\"},"
        "{\"name\":\"S\",\"colour\":\"#000000\"}]}}\n";
    const ProtocolStep steps[] = {
        {"\x1e" "explore\n", "\x1e{\"explore\":{\"refused\":\"no domain is shown\"}}\n"},
        {"\x1e" "values 1 2\n", "\x1e{\"values\":\"refused\"}\n"},
        {"K := { N, M | 0 <= N <= 10, 0 <= M, 2M <= 3N + 1 } ;\n", "> K :=   { N, M | N <= 10, N >= 0, M >= 0, 3N >= 2M-1 }\n"},
        {"T := { i, j, N, M | 0 <= j <= i <= N, j <= M } ;\n", "> T :=   { i, j, N, M | i <= N, i >= j, j >= 0, j <= M }\n"},
        {"S := { i, j, N, M | 0 <= i <= M, 0 <= j <= 1 } ;\n", "> S :=   { i, j, N, M | i <= M, i >= 0, j <= 1, j >= 0 }\n"},
        {"initvisu (2, K) ;\n", ""},
        {"parameters (N = 4, M = 2) ;\n", ""},
        {"\x1e" "explore\n", "\x1e{\"explore\":{\"refused\":\"no domain is shown\"}}\n"},
        {"visu (S) ;\n", ""},
        {"visu (T) ;\n", ""},
        {"\x1e" "explore\n", explored},
        {"\x1e" "values 1 9\n", "\x1e{\"values\":\"outside\"}\n"},
        {"\x1e" "values 1\n", "\x1e{\"values\":\"refused\"}\n"},
        {"\x1e" "values 1 x\n", "\x1e{\"values\":\"refused\"}\n"},
        {"\x1e" "explore\n", explored},   // the values refused changed nothing
        {"\x1e" "card T 0 2 0 1\n", "> N = 0, M = 0 : 1 point\n> N = 1, M = 0 : 2 points\n> N = 1, M = 1 : 3 points\n"
                                      "> N = 2, M = 0 : 3 points\n> N = 2, M = 1 : 5 points\n"},
        {"\x1e" "card S 3 3 0 2\n", "> N = 3, M = 0 : 2 points\n> N = 3, M = 1 : 4 points\n> N = 3, M = 2 : 6 points\n"},
        {"\x1e" "card T 2 0 0 1\n", "> Error - line 8 : card: no values of the viewer's parameters to count at - command "
                                      "ignored \n"},
        {"\x1e" "values 3 1\n", "\x1e{\"values\":\"set\"}\n"},
        {"print Q ;\n", "> Error - line 8 :  'Q' undeclared - print: command ignored \n"},
        {"E := { | } ;\n", "> E := { | }\n"},
        {"initvisu (2, E) ;\n", ""},
        {"Q := { i, j | 0 <= i <= 1, 0 <= j <= 1 } ;\n", "> Q :=   { i, j | i <= 1, i >= 0, j <= 1, j >= 0 }\n"},
        {"visu (Q) ;\n", ""},
        {"\x1e" "explore\n", "\x1e{\"explore\":{\"refused\":\"the viewer's context has no parameters\"}}\n"},
        {"\x1e" "values\n", "\x1e{\"values\":\"refused\"}\n"},
    };
    PipeDriver driver({"--kernel-protocol", "--virtual-display"});
    run_protocol_steps(driver, steps);
    if (HasFailure()) {
        driver.signal_and_wait(SIGKILL);   // a session with a virtual display would wait for its windows
        return;
    }
    driver.send("quit\n");
    EXPECT_TRUE(contains(driver.read_until("End.\n", 10s), "End.\n"));
}

TEST(NoDisplay, StatementsWorkAndTheViewerAnswersWithOneLine) {
    ProgramResult r = run_qarnest(
        "P := { i, j | 0 <= i <= 2, 0 <= j <= i } ;\nK := { | } ;\ninitvisu (2, K) ;\nvisu (P) ;\n"
        "Q := convex P ;\nehrhart (P, K) ;\nlist ;\n",
        {}, 60s, {"DISPLAY="});
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(contains(r.out, "<3> > initvisu : the viewer needs an X display and none could be opened - command "
                                "ignored\n<4> > visu : the viewer needs an X display and none could be opened - "
                                "command ignored\n<5> > Q :=   "))
        << r.out;
    EXPECT_TRUE(contains(r.out, ">   Q :=   ")) << r.out;
    EXPECT_TRUE(contains(r.out, "<7> > Domain List")) << r.out;
    EXPECT_TRUE(contains(r.out, "\n<8> End.\n")) << r.out;
}

// The calculator started through the shell with the descriptors the test names.
ProgramResult run_through_shell(const std::string& command) {
    std::string full = "cd /tmp && " + command;
    FILE* shell = popen(("bash -c '" + full + "; echo \"status=$?\"' 2>&1").c_str(), "r");
    std::string out;
    std::array<char, 4096> buffer;
    while (std::size_t n = std::fread(buffer.data(), 1, buffer.size(), shell)) out.append(buffer.data(), n);
    pclose(shell);
    ProgramResult parsed;
    auto at = out.rfind("status=");
    parsed.out = out.substr(0, at);
    parsed.exit_status = at == std::string::npos ? -1 : std::stoi(out.substr(at + 7));
    return parsed;
}

const std::string qarnest = QARNEST_BINARY;

TEST(StandardStreams, AFullDiskIsOneMessageAndAFailure) {
    ProgramResult r = run_through_shell("printf \"P := { i | i >= 0 } ;\\n\" | " + qarnest + " > /dev/full");
    EXPECT_EQ(r.exit_status, 2);
    EXPECT_EQ(r.out, "qarnest: cannot write to standard output: No space left on device\n");
}

TEST(StandardStreams, AClosedPipeEndsALongAnalysisPromptly) {
    auto started = std::chrono::steady_clock::now();
    ProgramResult r = run_through_shell(
        "printf \"T := { a, b, c, d, N, M | 0 <= a <= N, 0 <= b <= M, 0 <= c <= a + b, 0 <= d <= c + N, "
        "2 * a + 3 * b <= 5 * c + 7 * d + M } ;\\nC := { N, M | N >= 0, M >= 0 } ;\\nehrhart (T, C) ;\\n\" | "
        "DISPLAY= " + qarnest + " | head -c 10 > /dev/null; (exit ${PIPESTATUS[1]})");
    EXPECT_LT(std::chrono::steady_clock::now() - started, 10s) << "the 30-second analysis went on for nobody";
    EXPECT_EQ(r.exit_status, 2);
    EXPECT_EQ(r.out, "qarnest: cannot write to standard output: Broken pipe\n");
}

TEST(StandardStreams, ClosedDescriptorsAreNotTakenByTheDisplay) {
    const std::string viewer_script = "K := { | } ;\\nP := { i, j | 0 <= i <= 2, 0 <= j <= 2 } ;\\n"
                                      "initvisu (2, K) ;\\nprint P ;\\nquit\\n";
    ProgramResult closed_out =
        run_through_shell("printf \"" + viewer_script + "\" | timeout 60 " + qarnest + " >&- 2>/dev/null");
    EXPECT_EQ(closed_out.exit_status, 0) << "124 would mean the process hung";

    ProgramResult closed_err = run_through_shell("printf \"" + viewer_script + "\" | timeout 60 " + qarnest + " 2>&-");
    EXPECT_EQ(closed_err.exit_status, 0);
    EXPECT_TRUE(contains(closed_err.out, "<4> > P :=   { i, j | i <= 2, i >= 0, j <= 2, j >= 0 }\n<5> \n bye...\n\nEnd.\n"))
        << closed_err.out;

    ProgramResult closed_in = run_through_shell("timeout 60 " + qarnest + " <&-");
    EXPECT_EQ(closed_in.exit_status, 0);
    EXPECT_EQ(closed_in.out, "<1> \nEnd of file parsing.\n\nEnd.\n");
}

}  // namespace
