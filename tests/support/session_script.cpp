// The session generator: a bounded set of named slots, filled by
// declarations and operations and emptied by deletions.
#include "tests/support/session_script.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

constexpr int domain_slots = 12;
constexpr int matrix_slots = 4;
// Results of results of results grow in pieces (and dd of many pieces grows
// fast): operations take only declared domains and first-generation results.
constexpr int deepest_operand = 1;

const char* const variable_names[] = {"i", "j", "k"};

struct DomainSlot {
    bool used = false;
    int dimension = 0;
    int generation = 0;   // 0 declared, n the result of an operation on generation n - 1
};

struct MatrixSlot {
    bool used = false;
    int rows = 0, columns = 0;
};

class SessionWriter {
public:
    SessionWriter(std::FILE* out, const SessionOptions& options) : out_(out), options_(options), random_(options.seed) {}

    void write() {
        while (lines_ < options_.statements) write_statement();
    }

private:
    int below(int n) { return static_cast<int>(random_() % static_cast<std::uint32_t>(n)); }
    int between(int low, int high) { return low + below(high - low + 1); }
    bool chance(int percent) { return below(100) < percent; }

    static std::string domain_name(int slot) { return "D" + std::to_string(slot); }
    static std::string matrix_name(int slot) { return "M" + std::to_string(slot); }

    template <class Slot, std::size_t N>
    int pick(const std::array<Slot, N>& slots, bool used) {
        std::vector<int> candidates;
        for (std::size_t k = 0; k < N; ++k)
            if (slots[k].used == used) candidates.push_back(static_cast<int>(k));
        return candidates.empty() ? -1 : candidates[below(static_cast<int>(candidates.size()))];
    }

    int pick_operand(int dimension = -1) {
        std::vector<int> candidates;
        for (int k = 0; k < domain_slots; ++k) {
            const DomainSlot& s = domains_[k];
            if (s.used && s.generation <= deepest_operand && (dimension < 0 || s.dimension == dimension))
                candidates.push_back(k);
        }
        return candidates.empty() ? -1 : candidates[below(static_cast<int>(candidates.size()))];
    }

    // One statement; none beyond the number asked for, even inside a group.
    void line(const std::string& text) {
        if (lines_ == options_.statements) return;
        ++lines_;
        std::fputs(text.c_str(), out_);
        std::fputc('\n', out_);
    }

    void store(int slot, int dimension, int generation) { domains_[slot] = {true, dimension, generation}; }

    std::string variables(int dimension) {
        std::string text;
        for (int k = 0; k < dimension; ++k) text += std::string(k ? ", " : "") + variable_names[k];
        return text;
    }

    std::string term(int coefficient, int k) {
        std::string sign = coefficient < 0 ? " - " : " + ";
        int magnitude = coefficient < 0 ? -coefficient : coefficient;
        return sign + (magnitude == 1 ? "" : std::to_string(magnitude) + " ") + variable_names[k];
    }

    // A box, sometimes cut by one more constraint: always bounded.
    std::string constraints(int dimension) {
        std::string text;
        for (int k = 0; k < dimension; ++k) {
            int low = between(-5, 5);
            text += std::string(k ? ", " : "") + std::to_string(low) + " <= " + variable_names[k] +
                    " <= " + std::to_string(low + between(0, 8));
        }
        if (dimension > 1 && chance(50)) {
            std::string sum;
            for (int k = 0; k < dimension; ++k)
                if (int c = between(-3, 3)) sum += term(c, k);
            if (!sum.empty()) text += ", 0" + sum + " <= " + std::to_string(between(0, 12));
        }
        return text;
    }

    void declare_domain() {
        int slot = pick(domains_, false);
        if (slot < 0) return delete_something();
        int dimension = between(1, 3);
        line(domain_name(slot) + " := { " + variables(dimension) + " | " + constraints(dimension) + " } ;");
        store(slot, dimension, 0);
    }

    void declare_empty_domain() {
        int slot = pick(domains_, false);
        if (slot < 0) return delete_something();
        line(domain_name(slot) + " := { | } ;");
        store(slot, 0, 0);
    }

    // An affine map in homogeneous form: n -> n, or n -> n + 1 (a new
    // coordinate summing the others).
    void declare_matrix() {
        int slot = pick(matrices_, false);
        if (slot < 0) return delete_something();
        int n = between(1, 3);
        bool grows = chance(30);
        std::string rows;
        auto row = [&](auto value) {
            std::string r;
            for (int c = 0; c <= n; ++c) r += std::string(c ? ", " : "") + std::to_string(value(c));
            rows += std::string(rows.empty() ? "" : ", ") + "(" + r + ")";
        };
        for (int r = 0; r < n; ++r) row([&](int c) { return c == n ? between(-2, 2) : c == r ? 1 : below(3) - 1; });
        if (grows) row([&](int c) { return c == n ? 0 : 1; });
        row([&](int c) { return c == n ? 1 : 0; });
        line(matrix_name(slot) + " := (" + rows + ") ;");
        matrices_[slot] = {true, grows ? n + 2 : n + 1, n + 1};
    }

    void binary_operation() {
        int first = pick_operand();
        int result = pick(domains_, false);
        if (first < 0 || result < 0) return declare_domain();
        bool same_dimension = chance(95);
        int second = same_dimension ? pick_operand(domains_[first].dimension) : pick_operand();
        if (second < 0) second = first;
        static const char* const operators[] = {"union", "+", "inter", ".", "diff", "-"};
        line(domain_name(result) + " := " + domain_name(first) + " " + operators[below(6)] + " " +
             domain_name(second) + " ;");
        if (domains_[first].dimension == domains_[second].dimension)
            store(result, domains_[first].dimension,
                  std::max(domains_[first].generation, domains_[second].generation) + 1);
    }

    void unary_operation() {
        int operand = pick_operand();
        int result = pick(domains_, false);
        if (operand < 0 || result < 0) return declare_domain();
        bool convex = chance(50);
        line(domain_name(result) + " := " + (convex ? "convex " : "dd ") + domain_name(operand) + " ;");
        store(result, domains_[operand].dimension, convex ? 0 : domains_[operand].generation + 1);
    }

    void image_operation() {
        int operand = pick_operand();
        int matrix = pick(matrices_, true);
        int result = pick(domains_, false);
        if (operand < 0 || matrix < 0 || result < 0) return declare_matrix();
        bool image = chance(50);
        line(domain_name(result) + " := " + (image ? "image (" : "preimage (") + domain_name(operand) + ", " +
             matrix_name(matrix) + ") ;");
        const MatrixSlot& m = matrices_[matrix];
        int dimension = domains_[operand].dimension;
        if (image && m.columns == dimension + 1) store(result, m.rows - 1, domains_[operand].generation + 1);
        if (!image && m.rows == dimension + 1) store(result, m.columns - 1, domains_[operand].generation + 1);
    }

    void analysis() {
        int domain = pick_operand();
        int context = pick_operand(1);
        if (domain < 0 || context < 0) return declare_domain();
        line(std::string(chance(50) ? "ehrhart (" : "vertices (") + domain_name(domain) + ", " +
             domain_name(context) + ") ;");
    }

    void print_something() {
        bool matrix = chance(25);
        int slot = matrix ? pick(matrices_, true) : pick(domains_, true);
        if (slot < 0) return declare_domain();
        std::string name = matrix ? matrix_name(slot) : domain_name(slot);
        static const char* const domain_prints[] = {"print ", "PLprint ", "PLcons ", "PLrays "};
        line(std::string(matrix ? (chance(50) ? "print " : "PLprint ") : domain_prints[below(4)]) + name + " ;");
    }

    void delete_something() {
        bool matrix = chance(20);
        int slot = matrix ? pick(matrices_, true) : pick(domains_, true);
        if (slot < 0) {
            line("del " + std::string(matrix ? "M" : "D") + "99 ;");
            return;
        }
        line("del " + (matrix ? matrix_name(slot) : domain_name(slot)) + " ;");
        if (matrix)
            matrices_[slot].used = false;
        else
            domains_[slot].used = false;
    }

    void malformed_statement() {
        static const char* const statements[] = {
            "P := { i | i >= } ;",
            "P := { i j | i >= 0 } ;",
            "P := { | i >= 0 } ;",
            "print ;",
            "foo ;",
            "list list ;",
            ";",
            "P := dd ;",
            "P := Q union ;",
            "initvisu (0, K) ;",
            "P := { i, i | i >= 0 } ;",
            "P := { i | i <= 2147483648 } ;",
            "P := { i | 2147483647 * 2147483647 * 2147483647 * i >= 0 } ;",
            "M := ((1, 2), (3)) ;",
            "print Nothing ;",
            "del Nothing ;",
            "R := Nothing union D0 ;",
            "ehrhart (Nothing, D0) ;",
            "R := image (Nothing, M0) ;",
            "\t# _ ;",
        };
        int which = below(static_cast<int>(std::size(statements)) + 1);
        if (which < static_cast<int>(std::size(statements))) return line(statements[which]);
        // Reported, yet stored without the constraint: deleted at once.
        line("X := { i | a >= 0 } ;");
        line("del X ;");
    }

    // A declaration whose coefficients overflow inside PolyLib, or a stored
    // union whose convex hull does.
    void polylib_failure() {
        if (!options_.polylib_failures_with_losses || chance(50)) {
            line("P := { i | 2147483647 * 2147483647 * 2 i >= 2147483647 * 2147483647 * 2 } ;");
            return;
        }
        int a = pick(domains_, false);
        if (a < 0) return delete_something();
        line(domain_name(a) +
             " := { i, j, k | 1000 i + 999 j + 998 k <= 3000, 997 i - 1000 j + 993 k >= -2000, 0 <= i, 0 <= j, "
             "0 <= k } ;");
        store(a, 3, deepest_operand + 1);
        int b = pick(domains_, false);
        if (b < 0) return;
        line(domain_name(b) +
             " := { i, j, k | 991 i + 999 j - 998 k <= 1005, 997 i - 1001 j + 993 k >= -989, 987 i + 1017 j + "
             "981 k >= 3 } ;");
        store(b, 3, deepest_operand + 1);
        int u = pick(domains_, false);
        if (u < 0) return;
        line(domain_name(u) + " := " + domain_name(a) + " union " + domain_name(b) + " ;");
        store(u, 3, deepest_operand + 1);
        line("Hull := convex " + domain_name(u) + " ;");
    }

    void write_statement() {
        int roll = below(1000);
        if (roll < 180) return declare_domain();
        if (roll < 210) return declare_empty_domain();
        if (roll < 260) return declare_matrix();
        if (roll < 410) return binary_operation();
        if (roll < 490) return unary_operation();
        if (roll < 540) return image_operation();
        if (roll < 555) return analysis();
        if (roll < 700) return print_something();
        if (roll < 720) return line("list ;");
        if (roll < 725) return line("help ;");
        if (roll < 875) return delete_something();
        if (roll < 990 || !options_.polylib_failures) return malformed_statement();
        polylib_failure();
    }

    std::FILE* out_;
    SessionOptions options_;
    long lines_ = 0;
    std::mt19937 random_;
    std::array<DomainSlot, domain_slots> domains_{};
    std::array<MatrixSlot, matrix_slots> matrices_{};
};

}  // namespace

void write_session_script(std::FILE* out, const SessionOptions& options) { SessionWriter(out, options).write(); }

std::string session_script(const SessionOptions& options) {
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&buffer, &size);
    write_session_script(out, options);
    std::fclose(out);
    std::string script(buffer, size);
    std::free(buffer);
    return script;
}
