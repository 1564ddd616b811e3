// Both threads at once: statements define, delete and redefine domains and
// the context while a user clicks Status cells, drags axes, types parameters
// and clicks the picture. Every statement must be answered (no deadlock) and
// the calculator must end normally; a ThreadSanitizer build of it reports any
// race or lock-order inversion in the output, which fails the test.
//   QARNEST_STRESS_SECONDS   length of the run (default 20)
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "tests/support/run_program.h"
#include "tests/support/x_session.h"

namespace {

using namespace std::chrono_literals;

// Window coordinates, as in the end-to-end tests.
int column_x(int column) { return std::array<int, 4>{43, 120, 198, 318}[column]; }
int row_y(int row) { return 42 + 18 * row; }
int toggle_y(int index) { return 18 + 36 * index; }
constexpr int projection_toggle = 1, domains_toggle = 2, context_toggle = 3;
constexpr int context_entry_x = 108, context_entry_y = 69;
constexpr int canvas_left = 90;
constexpr int status_column = 1, intpoints_column = 2;

// A statement that takes longer than this is taken for a deadlock (a
// thread-checking build runs several times slower).
constexpr auto answer_limit = 90s;

std::chrono::seconds stress_length() {
    const char* text = std::getenv("QARNEST_STRESS_SECONDS");
    long seconds = text ? std::atol(text) : 20;
    return std::chrono::seconds(seconds > 0 ? seconds : 20);
}

const char* const setup_statements =
    "K := { n | 0 <= n <= 10 } ;\n"
    "A := { i, j, n | 0 <= j <= i <= n } ;\n"
    "B := { i, j, n | 0 <= i <= 4, 0 <= j <= n } ;\n"
    "initvisu (2, K) ;\n"
    "visu (A) ;\n";

// One round of statements: new domains that get rows and are shown, unions,
// deletions of shown domains, and an analysis in a child process.
const char* const statement_round[] = {
    "C := { i, j, n | 1 <= i <= n, 0 <= j <= 2 } ;",
    "visu (C) ;",
    "D := A union C ;",
    "visu (D) ;",
    "E := convex B ;",
    "visu (B) ;",
    "print D ;",
    "list ;",
    "del C ;",
    "del D ;",
    "F := B - A ;",
    "visu (F) ;",
    "ehrhart (A, K) ;",
    "del F ;",
    "del E ;",
};
// Every few rounds the viewer restarts by initvisu. In the second half of
// the run the context is also deleted and defined again; from then on every
// definition restarts the viewer, as it must once the context was redefined.
constexpr int rounds_between_restarts = 8;
const char* const initvisu_restart[] = {
    "initvisu (2, K) ;",
    "visu (B) ;",
};
const char* const context_redefinition[] = {
    "del K ;",
    "K := { n | 1 <= n <= 8 } ;",
    "visu (A) ;",
};
// Statements come at a typing pace, so that the windows get their turns.
constexpr auto statement_pause = 15ms;

// Drives the windows as a user would, as fast as xdotool goes, until
// stopped. Each action is one xdotool run that raises the window first (no
// wait for the focus: a window may vanish at any time in a restart).
class WindowDriver {
public:
    WindowDriver(const XSession& x, std::string visualisation)
        : x_(x), visualisation_(std::move(visualisation)), thread_([this] { drive(); }) {}
    ~WindowDriver() {
        stop_ = true;
        thread_.join();
    }
    long actions() const { return actions_; }

private:
    static std::string at(const std::string& window, int px, int py) {
        return " mousemove --window " + window + " " + std::to_string(px) + " " + std::to_string(py);
    }
    // A drag whose window vanished half-way leaves the button down; the next
    // action releases it first, before the pointer moves (else the press
    // turns into a drag of a Domains row).
    void act(const std::string& window, const std::string& commands) {
        x_.run("xdotool mouseup 1 2>/dev/null; xdotool windowraise " + window + commands + " 2>/dev/null");
        ++actions_;
    }

    // The Projection and Context windows are rebuilt, hidden, at each
    // restart, their toggles released. A window is shown by its toggle, and
    // waited for, so that a late map does not get the toggle pressed twice.
    std::string shown_window(const std::string& title, int toggle) {
        std::string window = x_.find_window(title, 0ms);
        if (!window.empty() && x_.is_viewable(window)) return window;
        act(visualisation_, at(visualisation_, 40, toggle_y(toggle)) + " click 1");
        window = x_.find_window(title, 500ms);
        if (!window.empty()) x_.wait_viewable(window, true, 1000ms);
        return window;
    }

    void drive() {
        std::mt19937 random(7);
        auto below = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
        static const char* const values[] = {"5", "12", "x", "0", "-3", "8"};
        while (!stop_) {
            switch (below(5)) {
            case 0:
            case 1:
                if (std::string w = shown_window("Domains", domains_toggle); !w.empty())
                    act(w, at(w, column_x(below(4) == 0 ? intpoints_column : status_column), row_y(below(5))) +
                               " click 1");
                break;
            case 2:
                if (std::string w = shown_window("Projection", projection_toggle); !w.empty())
                    act(w, at(w, 180, 160) + " mousedown 1" + at(w, 120, 100) + " sleep 0.03" +
                               at(w, 40 + below(140), 20 + below(140)) + " sleep 0.03 mouseup 1");
                break;
            case 3:
                if (std::string w = shown_window("Context", context_toggle); !w.empty())
                    act(w, " windowactivate " + w + " sleep 0.05" + at(w, context_entry_x, context_entry_y) +
                               " click 1 sleep 0.05 key --delay 10 ctrl+a BackSpace type --delay 10 " +
                               values[below(6)]);
                break;
            case 4:
                act(visualisation_, at(visualisation_, canvas_left + 20 + below(250), 20 + below(250)) + " click 1");
                break;
            }
        }
    }

    const XSession& x_;
    std::string visualisation_;
    std::atomic<bool> stop_{false};
    std::atomic<long> actions_{0};
    std::thread thread_;
};

class Stress : public ::testing::Test {
protected:
    XSession x;
    std::unique_ptr<PtySession> program;
    int next_line_ = 1;

    void SetUp() override {
        program = std::make_unique<PtySession>(std::vector<std::string>{"--no-line-editing"},
                                               std::vector<std::string>{"DISPLAY=" + x.display()});
    }

    // Sends one line and waits for the prompt of the next one.
    bool answered(const std::string& line) {
        std::size_t mark = program->output().size();
        program->send(line + "\n");
        ++next_line_;
        return program->wait_for_after(mark, "<" + std::to_string(next_line_) + "> ", answer_limit);
    }

    std::string sanitizer_reports() const {
        std::string reports;
        const std::string& out = program->output();
        for (std::size_t at = out.find("WARNING: ThreadSanitizer"); at != std::string::npos;
             at = out.find("WARNING: ThreadSanitizer", at + 1))
            reports += out.substr(at, 3000) + "\n...\n";
        return reports;
    }
};

TEST_F(Stress, StatementsAndWindowsTogetherNeitherDeadlockNorRace) {
    ASSERT_TRUE(program->wait_for("<1> "));
    std::string setup = setup_statements;
    for (std::size_t at = 0, end; (end = setup.find('\n', at)) != std::string::npos; at = end + 1)
        ASSERT_TRUE(answered(setup.substr(at, end - at))) << program->output();
    std::string visualisation = x.find_window("Visualisation");
    ASSERT_FALSE(visualisation.empty());
    ASSERT_TRUE(x.wait_viewable(visualisation, true));

    long statements = 0;
    auto deadline = std::chrono::steady_clock::now() + stress_length();
    {
        WindowDriver driver(x, visualisation);
        auto second_half = deadline - stress_length() / 2;
        for (int round = 1; std::chrono::steady_clock::now() < deadline; ++round) {
            std::vector<const char*> lines(std::begin(statement_round), std::end(statement_round));
            if (round % rounds_between_restarts == 0) {
                lines.insert(lines.end(), std::begin(initvisu_restart), std::end(initvisu_restart));
                if (std::chrono::steady_clock::now() > second_half)
                    lines.insert(lines.end(), std::begin(context_redefinition), std::end(context_redefinition));
            }
            for (const char* line : lines) {
                ASSERT_TRUE(answered(line)) << "no answer to '" << line << "' (a deadlock, or the calculator stopped)\n"
                                            << program->output().substr(program->output().size() > 4000
                                                                            ? program->output().size() - 4000
                                                                            : 0);
                ++statements;
                std::this_thread::sleep_for(statement_pause);
            }
        }
        RecordProperty("window_actions", std::to_string(driver.actions()));
        EXPECT_GT(driver.actions(), 0);
    }
    RecordProperty("statements", std::to_string(statements));
    if (const char* dump = std::getenv("QARNEST_STRESS_OUTPUT")) {
        std::FILE* f = std::fopen(dump, "w");
        std::fwrite(program->output().data(), 1, program->output().size(), f);
        std::fclose(f);
    }
    ASSERT_TRUE(answered("list ;")) << "no answer once the windows are left alone";
    program->send("quit\n");
    EXPECT_EQ(program->wait_exit(60s), 0) << sanitizer_reports();
    EXPECT_EQ(sanitizer_reports(), "");
}

}  // namespace
