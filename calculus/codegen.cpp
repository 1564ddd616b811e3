// The C text of a loop nest, level by level: guards on the parameters, then
// per variable a for loop over its bounds (or its value, when an equality
// fixes it), and the point's statement innermost.
#include "calculus/codegen.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <iterator>
#include <string_view>

namespace {

constexpr std::string_view reserved_names[] = {
    "S",      "min",    "max",     "floord",   "ceild",    "auto",     "break",   "case",     "char",
    "const",  "continue", "default", "do",     "double",   "else",     "enum",    "extern",   "float",
    "for",    "goto",   "if",      "inline",   "int",      "long",     "register", "restrict", "return",
    "short",  "signed", "sizeof",  "static",   "struct",   "switch",   "typedef", "union",    "unsigned",
    "void",   "volatile", "while", "bool",     "true",     "false",    "asm",     "main"};

bool is_reserved_name(std::string_view name) {
    return std::find(std::begin(reserved_names), std::end(reserved_names), name) != std::end(reserved_names);
}

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

// The texts of a nest's bounds, level by level, in the code's names.
class LevelTexts {
public:
    LevelTexts(const LoopNest& nest, const std::vector<std::string>& names) : nest_(nest), names_(names) {}

    // The guards on the parameters, joined by &&; empty when there is none.
    std::string guards() const {
        std::string condition;
        for (const NestRow& g : nest_.guards) condition += (condition.empty() ? "" : " && ") + text(row(g, 1)) + " >= 0";
        return condition;
    }

    // An equality fixing level k: a x = value, with `divisor` = |a|.
    struct Fixed {
        std::string value;       // the variable's value, the division exact
        std::string divisible;   // the condition that it is, empty when always
    };
    Fixed fixed(std::size_t k) const {
        const NestLevel& level = nest_.levels[k];
        const NestRow& e = *level.equality;
        __int128 a = e[k];
        Affine value = row(e, a > 0 ? -1 : 1, k);
        __int128 divisor = a > 0 ? a : -a;
        Fixed f;
        f.value = divisor == 1 ? text(value) : grouped(text(value)) + " / " + decimal(divisor);
        if (divisor != 1 && value.constant_only()) f.value = decimal(value.constant / divisor);
        if (level.divisibility_checked) f.divisible = grouped(text(value)) + " % " + decimal(divisor) + " == 0";
        return f;
    }

    // The level's own bounds (an equality's extra rows included).
    std::vector<std::string> lower(std::size_t k) const { return bounds(nest_.levels[k].lower, k, true); }
    std::vector<std::string> upper(std::size_t k) const { return bounds(nest_.levels[k].upper, k, false); }

    // A stride of level k: x = offset (mod step), possible only when
    // `common` divides the rest (`possible`, empty when always).
    struct Stepping {
        std::string offset;
        std::string possible;
        __int128 step;
    };
    Stepping stepping(std::size_t k) const {
        const NestStride& s = *nest_.levels[k].stride;
        Affine rest = row(nest_.levels[s.equality_level].equality.value(), 1);
        for (std::size_t j = k; j < nest_.variables; ++j) rest.coefficients[j] = 0;
        Stepping st{stride_offset(rest, s), "", s.step};
        if (s.common > 1) st.possible = grouped(text(rest)) + " % " + decimal(s.common) + " == 0";
        return st;
    }

    static std::string combined(const std::vector<std::string>& texts, const char* function) {
        std::string s = texts.back();
        for (std::size_t k = texts.size() - 1; k-- > 0;) s = std::string(function) + "(" + texts[k] + ", " + s + ")";
        return s;
    }

    // The first value from `low` on that is `t` modulo the step:
    // t + step * ceild(low - t, step), worked out when both are numbers.
    static std::string first_of_stride(const std::string& low, const std::string& t, __int128 step) {
        std::optional<__int128> l = number_in(low), offset = number_in(t);
        if (l && offset) return decimal(*l + positive_modulo(*offset - *l, step));
        std::string shifted = t == "0" ? low : low + " - " + grouped(t);
        std::string first = decimal(step) + " * ceild(" + shifted + ", " + decimal(step) + ")";
        if (t == "0") return first;
        return first + " + " + grouped(t);
    }

    // A text that can stand as an operand.
    static std::string grouped(const std::string& t) {
        return t.find(' ') == std::string::npos && t[0] != '-' ? t : "(" + t + ")";
    }

private:
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
        for (std::size_t c = 0; c < a.coefficients.size(); ++c) term(a.coefficients[c], names_[c]);
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

    // a x + rest >= 0 gives x >= ceil(-rest / a) for a > 0 and x <= floor(rest / -a) for a < 0.
    std::vector<std::string> bounds(const std::vector<NestRow>& rows, std::size_t k, bool lower) const {
        std::vector<std::string> texts;
        for (const NestRow& r : rows) {
            __int128 a = r[k];
            texts.push_back(lower ? divided(row(r, -1, k), a, true) : divided(row(r, 1, k), -a, false));
        }
        return texts;
    }

    // The stride's offset t: x = t (mod step). The rest divided by `common`
    // and multiplied by the inverse only matters modulo the step, so its
    // coefficients are reduced there when the division is term by term.
    std::string stride_offset(const Affine& rest, const NestStride& s) const {
        bool termwise = rest.constant % s.common == 0 &&
                        std::all_of(rest.coefficients.begin(), rest.coefficients.end(),
                                    [&](__int128 c) { return c % s.common == 0; });
        if (!termwise) {
            std::string t = "-" + grouped(text(rest)) + " / " + decimal(s.common);
            return s.inverse == 1 ? t : t + " * " + decimal(s.inverse);
        }
        Affine t = rest;
        for (__int128& c : t.coefficients) c = positive_modulo(-c / s.common * s.inverse, s.step);
        t.constant = positive_modulo(-t.constant / s.common * s.inverse, s.step);
        return text(t);
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

    const LoopNest& nest_;
    const std::vector<std::string>& names_;
};

// Lines written with the current indentation, blocks opened and closed.
class CodeLines {
public:
    CodeLines(std::FILE* out, unsigned indent) : out_(out), indent_(indent) {}
    void line(const std::string& text) { std::fprintf(out_, "%*s%s\n", static_cast<int>(indent_), "", text.c_str()); }
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

private:
    std::FILE* out_;
    unsigned indent_;
};

std::string joined(const std::vector<std::string>& parts, const char* separator) {
    std::string all;
    for (const std::string& p : parts) all += (all.empty() ? "" : separator) + p;
    return all;
}

std::string statement_call(const std::vector<std::string>& names, std::size_t variables) {
    std::string call = "S(";
    for (std::size_t j = 0; j < variables; ++j) call += (j ? ", " : "") + names[j];
    return call + ");";
}

// One piece: a for loop per variable over its bounds, or the variable's
// value when an equality fixes it.
class NestWriter {
public:
    NestWriter(std::FILE* out, const LoopNest& nest, const std::vector<std::string>& names, unsigned indent)
        : code_(out, indent), nest_(nest), names_(names), texts_(nest, names) {}

    void write() {
        if (nest_.empty) {
            code_.line("/* no integer point */");
            return;
        }
        std::string guards = texts_.guards();
        if (!guards.empty()) code_.open("if (" + guards + ") {");
        write_level(0, !guards.empty());
        code_.close(guards.empty() ? 0 : 1);
    }

private:
    void write_level(std::size_t k, bool enclosed) {
        if (k == nest_.variables) {
            code_.line(statement_call(names_, nest_.variables));
            return;
        }
        const NestLevel& level = nest_.levels[k];
        const std::string& x = names_[k];
        unsigned opened = 0;
        if (level.equality) {
            LevelTexts::Fixed f = texts_.fixed(k);
            if (!f.divisible.empty()) {
                code_.open("if (" + f.divisible + ") {");
                ++opened;
            } else if (!enclosed) {
                code_.open("{");
                ++opened;
            }
            code_.line("long " + x + " = " + f.value + ";");
            std::vector<std::string> conditions;
            for (const std::string& b : texts_.lower(k)) conditions.push_back(x + " >= " + b);
            for (const std::string& b : texts_.upper(k)) conditions.push_back(x + " <= " + b);
            if (!conditions.empty()) {
                code_.open("if (" + joined(conditions, " && ") + ") {");
                ++opened;
            }
        } else {
            std::string low = LevelTexts::combined(texts_.lower(k), "max");
            std::string high = LevelTexts::combined(texts_.upper(k), "min");
            std::string step = "++";
            if (level.stride) {
                LevelTexts::Stepping st = texts_.stepping(k);
                if (!st.possible.empty()) {
                    code_.open("if (" + st.possible + ") {");
                    ++opened;
                }
                low = LevelTexts::first_of_stride(low, st.offset, st.step);
                step = " += " + decimal(st.step);
            }
            code_.open("for (long " + x + " = " + low + "; " + x + " <= " + high + "; " + x + step + ") {");
            ++opened;
        }
        write_level(k + 1, enclosed || opened > 0);
        code_.close(opened);
    }

    CodeLines code_;
    const LoopNest& nest_;
    const std::vector<std::string>& names_;
    LevelTexts texts_;
};

// A union of disjoint pieces visited together, so that its points come in
// lexicographic order: at each level the variable runs over the values that
// some piece allows, from one to the next (a gap between pieces costs
// nothing), and each piece's own bounds say whether it holds the values so
// far (in_p_k, true when piece p holds the first k + 1 variables' values).
// The code's own names hold an underscore, which the language's names never do.
class UnionWriter {
public:
    UnionWriter(std::FILE* out, const std::vector<const LoopNest*>& nests, const std::vector<std::string>& names,
                unsigned indent)
        : code_(out, indent), nests_(nests), names_(names) {
        for (const LoopNest* n : nests_) texts_.emplace_back(*n, names_);
    }

    void write() {
        const std::size_t pieces = nests_.size();
        code_.line("/* " + std::to_string(pieces) + " disjoint pieces, visited together in lexicographic order */");
        code_.open("{");
        std::vector<std::string> active;
        for (std::size_t p = 0; p < pieces; ++p) {
            std::string guards = texts_[p].guards();
            active.push_back("in_" + std::to_string(p + 1));
            code_.line("int " + active.back() + " = " + (guards.empty() ? "1" : guards) + ";");
        }
        write_level(0, active);
        code_.close(1);
    }

private:
    struct PieceLevel {
        std::string low, high;          // the range, aligned to a stride
        std::string possible;           // the piece can hold a value here at all
        std::string member;             // a value of the range holds (stride), empty when each does
        std::string following;          // the next value after x, empty when x + 1
    };

    PieceLevel piece_level(std::size_t p, std::size_t k, const std::string& x) const {
        const LevelTexts& t = texts_[p];
        const NestLevel& level = nests_[p]->levels[k];
        PieceLevel pl;
        std::vector<std::string> lows = t.lower(k), highs = t.upper(k), possible;
        if (level.equality) {
            LevelTexts::Fixed f = t.fixed(k);
            lows.insert(lows.begin(), f.value);
            highs.insert(highs.begin(), f.value);
            if (!f.divisible.empty()) possible.push_back(f.divisible);
        }
        pl.low = LevelTexts::combined(lows, "max");
        pl.high = LevelTexts::combined(highs, "min");
        if (level.stride) {
            LevelTexts::Stepping st = t.stepping(k);
            if (!st.possible.empty()) possible.push_back(st.possible);
            pl.low = LevelTexts::first_of_stride(pl.low, st.offset, st.step);
            std::string shifted = x + " - " + LevelTexts::grouped(st.offset);
            if (st.offset == "0") shifted = x;
            pl.member = "(" + shifted + ") % " + decimal(st.step) + " == 0";
            pl.following = x + " + " + decimal(st.step) + " - ((" + shifted + ") % " + decimal(st.step) + " + " +
                           decimal(st.step) + ") % " + decimal(st.step);
        }
        pl.possible = joined(possible, " && ");
        return pl;
    }

    void write_level(std::size_t k, const std::vector<std::string>& active) {
        const std::size_t variables = nests_.front()->variables;
        if (k == variables) {
            code_.open("if (" + joined(active, " || ") + ") {");
            code_.line(statement_call(names_, variables));
            code_.close(1);
            return;
        }
        const std::string& x = names_[k];
        const std::string level = std::to_string(k);
        const std::string lo = "lo_" + level, hi = "hi_" + level;
        std::vector<PieceLevel> pieces;
        std::vector<std::string> holding, next_active;
        for (std::size_t p = 0; p < nests_.size(); ++p) {
            PieceLevel pl = piece_level(p, k, x);
            std::string id = std::to_string(p + 1) + "_" + level;
            code_.line("long lb_" + id + " = " + pl.low + ", ub_" + id + " = " + pl.high + ";");
            std::string can = active[p] + (pl.possible.empty() ? "" : " && " + pl.possible);
            holding.push_back(can);
            pieces.push_back(pl);
        }
        const std::string any = "any_" + level;
        code_.line("long " + lo + " = 1, " + hi + " = 0;");
        code_.line("int " + any + " = 0;");
        for (std::size_t p = 0; p < nests_.size(); ++p) {
            std::string id = std::to_string(p + 1) + "_" + level, lb = "lb_" + id, ub = "ub_" + id;
            code_.line("if (" + holding[p] + " && " + lb + " <= " + ub + ") { " + lo + " = " + any + " ? min(" + lo +
                       ", " + lb + ") : " + lb + "; " + hi + " = " + any + " ? max(" + hi + ", " + ub + ") : " + ub +
                       "; " + any + " = 1; }");
        }
        code_.open("for (long " + x + " = " + lo + "; " + x + " <= " + hi + "; ) {");
        for (std::size_t p = 0; p < nests_.size(); ++p) {
            std::string id = std::to_string(p + 1) + "_" + level, lb = "lb_" + id, ub = "ub_" + id;
            std::string in = "in_" + id;
            std::string member = pieces[p].member.empty() ? "" : " && " + pieces[p].member;
            code_.line("int " + in + " = " + holding[p] + " && " + lb + " <= " + x + " && " + x + " <= " + ub + member + ";");
            next_active.push_back(in);
        }
        write_level(k + 1, next_active);
        std::string next = "next_" + level;
        code_.line("long " + next + " = " + hi + " + 1;");
        for (std::size_t p = 0; p < nests_.size(); ++p) {
            std::string id = std::to_string(p + 1) + "_" + level, lb = "lb_" + id, ub = "ub_" + id;
            std::string after = pieces[p].following.empty() ? x + " + 1" : pieces[p].following;
            code_.line("if (" + holding[p] + " && " + lb + " <= " + ub + " && " + x + " < " + ub + ") " + next +
                       " = min(" + next + ", " + x + " < " + lb + " ? " + lb + " : " + after + ");");
        }
        code_.line(x + " = " + next + ";");
        code_.close(1);
    }

    CodeLines code_;
    const std::vector<const LoopNest*>& nests_;
    const std::vector<std::string>& names_;
    std::vector<LevelTexts> texts_;
};

// The names the code of a union gives its own values: lb_2_0, in_1, next_3, ...
bool union_code_name(const std::string& name) {
    static const char* const prefixes[] = {"lb_", "ub_", "in_", "lo_", "hi_", "any_", "next_"};
    for (const char* prefix : prefixes) {
        std::string p = prefix;
        if (name.compare(0, p.size(), p) != 0 || name.size() == p.size()) continue;
        std::string rest = name.substr(p.size());
        if (std::all_of(rest.begin(), rest.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)) || c == '_'; }))
            return true;
    }
    return false;
}

// Letters, digits and underscores, not starting with a digit.
bool c_identifier(const std::string& name) {
    if (name.empty() || std::isdigit(static_cast<unsigned char>(name[0]))) return false;
    return std::all_of(name.begin(), name.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; });
}

}  // namespace

std::optional<std::string> code_names_problem(const CodeNames& names) {
    std::vector<std::string> all = names.variables;
    all.insert(all.end(), names.parameters.begin(), names.parameters.end());
    for (std::size_t k = 0; k < all.size(); ++k) {
        if (!c_identifier(all[k])) return "'" + all[k] + "' is not a name in C";
        if (is_reserved_name(all[k]) || union_code_name(all[k]))
            return "'" + all[k] + "' is a name the C code needs for itself";
        if (std::find(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(k), all[k]) != all.begin() + static_cast<std::ptrdiff_t>(k))
            return "two dimensions are named '" + all[k] + "'";
    }
    return std::nullopt;
}

void print_nest_code(std::FILE* out, const std::vector<const LoopNest*>& nests, const CodeNames& names,
                     unsigned indent) {
    std::vector<std::string> all = names.variables;
    all.insert(all.end(), names.parameters.begin(), names.parameters.end());
    if (nests.size() == 1)
        NestWriter(out, *nests.front(), all, indent).write();
    else
        UnionWriter(out, nests, all, indent).write();
}
