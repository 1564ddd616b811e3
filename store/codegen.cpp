// The C text of a loop nest, level by level: guards on the parameters, then
// per variable a for loop over its bounds (or its value, when an equality
// fixes it), and the point's statement innermost.
#include "store/codegen.h"

#include <algorithm>
#include <cstdint>
#include <set>

namespace {

const std::set<std::string> reserved_names = {
    "S",      "min",    "max",     "floord",   "ceild",    "auto",     "break",   "case",     "char",
    "const",  "continue", "default", "do",     "double",   "else",     "enum",    "extern",   "float",
    "for",    "goto",   "if",      "inline",   "int",      "long",     "register", "restrict", "return",
    "short",  "signed", "sizeof",  "static",   "struct",   "switch",   "typedef", "union",    "unsigned",
    "void",   "volatile", "while", "bool",     "true",     "false",    "asm",     "main"};

// A sum of terms over the dimensions and a constant, in 128 bits so that
// negating a row and reducing it modulo a step stay exact.
struct Affine {
    std::vector<__int128> coefficients;   // of every dimension
    __int128 constant = 0;

    bool constant_only() const {
        return std::all_of(coefficients.begin(), coefficients.end(), [](__int128 c) { return c == 0; });
    }
};

std::string decimal(__int128 v) {
    if (v == 0) return "0";
    bool negative = v < 0;
    unsigned __int128 m = negative ? -static_cast<unsigned __int128>(v) : static_cast<unsigned __int128>(v);
    std::string digits;
    for (; m > 0; m /= 10) digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(m % 10)));
    return negative ? "-" + digits : digits;
}

__int128 floor_division(__int128 a, __int128 b) {   // b > 0
    __int128 q = a / b;
    return (a % b != 0 && a < 0) ? q - 1 : q;
}

__int128 positive_modulo(__int128 a, __int128 m) {
    __int128 r = a % m;
    return r < 0 ? r + m : r;
}

class CodeWriter {
public:
    CodeWriter(std::FILE* out, const LoopNest& nest, const CodeNames& names, unsigned indent)
        : out_(out), nest_(nest), indent_(indent) {
        dimension_names_ = names.variables;
        dimension_names_.insert(dimension_names_.end(), names.parameters.begin(), names.parameters.end());
    }

    void write() {
        if (nest_.empty) {
            line("/* no integer point */");
            return;
        }
        unsigned opened = 0;
        if (!nest_.guards.empty()) {
            std::string condition;
            for (const NestRow& g : nest_.guards) condition += (condition.empty() ? "" : " && ") + text(row(g, 1)) + " >= 0";
            open("if (" + condition + ") {");
            ++opened;
        }
        write_level(0, opened > 0);
        close(opened);
    }

private:
    void line(const std::string& text) {
        std::fprintf(out_, "%*s%s\n", static_cast<int>(indent_), "", text.c_str());
    }
    void open(const std::string& text) {
        line(text);
        indent_ += 2;
    }
    void close(unsigned blocks) {
        for (; blocks > 0; --blocks) {
            indent_ -= 2;
            line("}");
        }
    }

    // sign times the row, without the term of dimension `without` (none past the end).
    Affine row(const NestRow& r, int sign, std::size_t without = SIZE_MAX) const {
        Affine a;
        std::size_t n = r.size() - 1;
        a.coefficients.resize(n);
        for (std::size_t c = 0; c < n; ++c)
            if (c != without) a.coefficients[c] = static_cast<__int128>(sign) * r[c];
        a.constant = static_cast<__int128>(sign) * r[n];
        return a;
    }

    std::string text(const Affine& a) const {
        std::string s;
        auto term = [&](__int128 c, const std::string& name) {
            if (c == 0) return;
            bool negative = c < 0;
            __int128 m = negative ? -c : c;
            if (s.empty())
                s = negative ? "-" : "";
            else
                s += negative ? " - " : " + ";
            if (name.empty())
                s += decimal(m);
            else
                s += (m == 1 ? "" : decimal(m) + " * ") + name;
        };
        for (std::size_t c = 0; c < a.coefficients.size(); ++c) term(a.coefficients[c], dimension_names_[c]);
        term(a.constant, "");
        return s.empty() ? "0" : s;
    }

    // numerator / divisor rounded up (ceiling) or down, divisor > 0.
    std::string divided(const Affine& numerator, __int128 divisor, bool up) const {
        if (divisor == 1) return text(numerator);
        if (numerator.constant_only()) {
            __int128 q = up ? -floor_division(-numerator.constant, divisor) : floor_division(numerator.constant, divisor);
            return decimal(q);
        }
        return std::string(up ? "ceild(" : "floord(") + text(numerator) + ", " + decimal(divisor) + ")";
    }

    // The bounds of level k: a x + rest >= 0 gives x >= ceil(-rest / a) for
    // a > 0 and x <= floor(rest / -a) for a < 0.
    std::vector<std::string> bounds(const std::vector<NestRow>& rows, std::size_t k, bool lower) const {
        std::vector<std::string> texts;
        for (const NestRow& r : rows) {
            __int128 a = r[k];
            texts.push_back(lower ? divided(row(r, -1, k), a, true) : divided(row(r, 1, k), -a, false));
        }
        return texts;
    }

    static std::string combined(const std::vector<std::string>& texts, const char* function) {
        std::string s = texts.back();
        for (std::size_t k = texts.size() - 1; k-- > 0;) s = std::string(function) + "(" + texts[k] + ", " + s + ")";
        return s;
    }

    // The stride's offset t: x = t (mod step). The rest divided by `common`
    // and multiplied by the inverse only matters modulo the step, so its
    // coefficients are reduced there when the division is term by term.
    std::string stride_offset(const Affine& rest, const NestStride& s) const {
        bool termwise = rest.constant % s.common == 0 &&
                        std::all_of(rest.coefficients.begin(), rest.coefficients.end(),
                                    [&](__int128 c) { return c % s.common == 0; });
        if (!termwise)
            return "-(" + text(rest) + ") / " + decimal(s.common) + " * " + decimal(s.inverse);
        Affine t = rest;
        for (__int128& c : t.coefficients) c = positive_modulo(-c / s.common * s.inverse, s.step);
        t.constant = positive_modulo(-t.constant / s.common * s.inverse, s.step);
        return text(t);
    }

    // The first value from `low` on that is `t` modulo the step:
    // t + step * ceild(low - t, step), worked out when both are numbers.
    static std::string first_of_stride(const std::string& low, const std::string& t, __int128 step) {
        std::optional<__int128> l = number_in(low), offset = number_in(t);
        if (l && offset) return decimal(*l + positive_modulo(*offset - *l, step));
        std::string shifted = t == "0" ? low : low + " - (" + t + ")";
        std::string first = decimal(step) + " * ceild(" + shifted + ", " + decimal(step) + ")";
        if (t == "0") return first;
        return first + " + " + (t.find(' ') == std::string::npos ? t : "(" + t + ")");
    }

    static std::optional<__int128> number_in(const std::string& text) {
        if (text.empty()) return std::nullopt;
        __int128 v = 0;
        std::size_t start = text[0] == '-' ? 1 : 0;
        if (start == text.size()) return std::nullopt;
        for (std::size_t c = start; c < text.size(); ++c) {
            if (text[c] < '0' || text[c] > '9') return std::nullopt;
            v = v * 10 + (text[c] - '0');
        }
        return start ? -v : v;
    }

    void write_level(std::size_t k, bool enclosed) {
        if (k == nest_.variables) {
            std::string call = "S(";
            for (std::size_t j = 0; j < nest_.variables; ++j) call += (j ? ", " : "") + dimension_names_[j];
            line(call + ");");
            return;
        }
        const NestLevel& level = nest_.levels[k];
        const std::string& x = dimension_names_[k];
        unsigned opened = 0;
        if (level.equality) {
            const NestRow& e = *level.equality;
            __int128 a = e[k];
            Affine value = row(e, a > 0 ? -1 : 1, k);   // a x = value, up to the sign of a
            __int128 divisor = a > 0 ? a : -a;
            if (level.divisibility_checked) {
                open("if ((" + text(value) + ") % " + decimal(divisor) + " == 0) {");
                ++opened;
            } else if (!enclosed) {
                open("{");
                ++opened;
            }
            std::string assigned = divisor == 1 ? text(value) : "(" + text(value) + ") / " + decimal(divisor);
            if (divisor != 1 && value.constant_only()) assigned = decimal(value.constant / divisor);
            line("long " + x + " = " + assigned + ";");
            std::vector<std::string> conditions;
            for (const std::string& b : bounds(level.lower, k, true)) conditions.push_back(x + " >= " + b);
            for (const std::string& b : bounds(level.upper, k, false)) conditions.push_back(x + " <= " + b);
            if (!conditions.empty()) {
                std::string all;
                for (const std::string& c : conditions) all += (all.empty() ? "" : " && ") + c;
                open("if (" + all + ") {");
                ++opened;
            }
        } else {
            std::string low = combined(bounds(level.lower, k, true), "max");
            std::string high = combined(bounds(level.upper, k, false), "min");
            std::string step = "++";
            if (level.stride) {
                const NestStride& s = *level.stride;
                Affine rest = row(nest_.levels[s.equality_level].equality.value(), 1);
                for (std::size_t j = k; j < nest_.variables; ++j) rest.coefficients[j] = 0;
                if (s.common > 1) {
                    open("if ((" + text(rest) + ") % " + decimal(s.common) + " == 0) {");
                    ++opened;
                }
                low = first_of_stride(low, stride_offset(rest, s), s.step);
                step = " += " + decimal(s.step);
            }
            open("for (long " + x + " = " + low + "; " + x + " <= " + high + "; " + x + step + ") {");
            ++opened;
        }
        write_level(k + 1, enclosed || opened > 0);
        close(opened);
    }

    std::FILE* out_;
    const LoopNest& nest_;
    unsigned indent_;
    std::vector<std::string> dimension_names_;
};

}  // namespace

std::optional<std::string> code_names_problem(const CodeNames& names) {
    std::vector<std::string> all = names.variables;
    all.insert(all.end(), names.parameters.begin(), names.parameters.end());
    for (std::size_t k = 0; k < all.size(); ++k) {
        if (reserved_names.count(all[k])) return "'" + all[k] + "' is a name the C code needs for itself";
        if (std::find(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(k), all[k]) != all.begin() + static_cast<std::ptrdiff_t>(k))
            return "two dimensions are named '" + all[k] + "'";
    }
    return std::nullopt;
}

void print_nest_code(std::FILE* out, const LoopNest& nest, const CodeNames& names, unsigned indent) {
    CodeWriter(out, nest, names, indent).write();
}
