// Saved stores: the statements that rebuild a store, and their reading.
#include "formats/saved_store.h"

#include <algorithm>
#include <optional>

#include "store/printer.h"

namespace {

constexpr std::int64_t largest_literal = 2147483647;

bool is_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

bool is_identifier(std::string_view name) {
    if (name.empty() || !is_letter(name[0])) return false;
    return std::all_of(name.begin(), name.end(), [](char c) { return is_letter(c) || is_digit(c); });
}

// ---- Writing ----

class StoreWriter {
public:
    StoreWriter(const Registries& store, const std::set<std::string>& keywords) : store_(store), keywords_(keywords) {
        scratch_ = unused_name();
    }

    std::variant<SavedStore, std::string> write();

private:
    bool is_statement_name(const std::string& name) const { return is_identifier(name) && !keywords_.count(name); }
    std::string unused_name() const;
    std::optional<std::string> constraint_notation(const DomainEntry& e) const;
    std::variant<std::string, std::string> domain_text(const DomainEntry& e) const;
    std::optional<std::string> matrix_text(const Matrix* m) const;
    void definition(const std::string& name, const std::string& body, std::set<std::string>& defined,
                    const char* scratch_body);

    const Registries& store_;
    const std::set<std::string>& keywords_;
    std::string scratch_;
    SavedStore saved_;
};

// A name for a domain or matrix that is only there while another gets a name
// no statement can give (see definition).
std::string StoreWriter::unused_name() const {
    for (unsigned k = 0;; ++k) {
        std::string candidate = "qarnestsaved" + std::to_string(k);
        if (!lookup_domain(candidate, store_.DomainList) && !lookup_matrix(candidate, store_.MatrixList))
            return candidate;
    }
}

// The constraint notation reads back the same rows when the domain is one
// polyhedron whose names are identifiers and whose values are literals of
// the language (PolyLib orders the rows of what it built the same way again).
std::optional<std::string> StoreWriter::constraint_notation(const DomainEntry& e) const {
    const Polyhedron* p = e.domain;
    if (p->next || p->Dimension == 0) return std::nullopt;
    std::vector<std::string> names = var_names_array(e.vars);
    if (names.size() != p->Dimension) return std::nullopt;
    std::string text = "{ ";
    for (std::size_t k = 0; k < names.size(); ++k) {
        if (!is_statement_name(names[k])) return std::nullopt;
        text += (k ? ", " : "") + names[k];
    }
    text += " |";
    bool first = true;
    for (const ConstraintRow& row : rows_of(p)) {
        if (is_positivity_row(row)) continue;
        for (std::size_t c = 1; c < row.size(); ++c)
            if (row[c] < -largest_literal || row[c] > largest_literal) return std::nullopt;
        std::vector<Value> values(row.begin(), row.end());
        text += (first ? " " : ", ") + constraint_text(values.data(), p->Dimension, names);
        first = false;
    }
    return text + " }";
}

// The domain's text in the notation that reads back exactly, or why none does.
std::variant<std::string, std::string> StoreWriter::domain_text(const DomainEntry& e) const {
    const Polyhedron* d = e.domain;
    if (!d->next && d->Dimension == 0)
        return std::variant<std::string, std::string>(std::in_place_index<0>, emptyQ(d) ? "{ | }" : "{ [] }");
    if (std::optional<std::string> text = constraint_notation(e))
        return std::variant<std::string, std::string>(std::in_place_index<0>, *text);
    std::vector<std::string> names = var_names_array(e.vars);
    for (std::size_t k = 0; k < names.size(); ++k)
        if (!is_isl_name(names[k]) || std::count(names.begin(), names.end(), names[k]) > 1)
            return std::variant<std::string, std::string>(
                std::in_place_index<1>, "the variable '" + names[k] + "' of '" + e.name +
                                            "' is a name that neither the constraint notation nor isl's reads back");
    return std::variant<std::string, std::string>(std::in_place_index<0>, isl_text(d, names, 0));
}

std::optional<std::string> StoreWriter::matrix_text(const Matrix* m) const {
    std::string text = "(";
    for (unsigned r = 0; r < m->NbRows; ++r) {
        text += r ? ", (" : "(";
        for (unsigned c = 0; c < m->NbColumns; ++c) {
            std::int64_t v = value_of(m->p[r][c]);
            if (v < -largest_literal || v > largest_literal) return std::nullopt;
            text += (c ? ", " : "") + std::to_string(v);
        }
        text += ")";
    }
    return text + ")";
}

// A name given again is given by the overwrite dialogue's answer "n" and the
// name; a name no statement can give gets the same answer after a
// definition under a scratch name, which is then deleted.
void StoreWriter::definition(const std::string& name, const std::string& body, std::set<std::string>& defined,
                             const char* scratch_body) {
    std::string& out = saved_.text;
    if (is_statement_name(name)) {
        out += name + " := " + body + " ;\n";
        if (defined.count(name)) out += "n\n" + name + "\n";
    } else {
        out += scratch_ + " := " + scratch_body + " ;\n" + scratch_ + " := " + body + " ;\nn\n" + name + "\ndel " +
               scratch_ + " ;\n";
    }
    defined.insert(name);
}

std::variant<SavedStore, std::string> StoreWriter::write() {
    std::vector<const DomainEntry*> domains;
    for (const DomainEntry* e = store_.DomainList; e; e = e->next) domains.push_back(e);
    std::set<std::string> defined;
    for (auto e = domains.rbegin(); e != domains.rend(); ++e) {
        auto text = domain_text(**e);
        if (text.index() == 1) return std::get<1>(text);
        definition((*e)->name, std::get<0>(text), defined, "{ | }");
        ++saved_.domains;
    }
    std::vector<const MatrixEntry*> matrices;
    for (const MatrixEntry* m = store_.MatrixList; m; m = m->next) matrices.push_back(m);
    defined.clear();
    for (auto m = matrices.rbegin(); m != matrices.rend(); ++m) {
        std::optional<std::string> text = matrix_text((*m)->matrix);
        if (!text) return "the matrix '" + (*m)->name + "' holds a value beyond 2147483647";
        definition((*m)->name, *text, defined, "((0))");
        ++saved_.matrices;
    }
    return saved_;
}

// ---- Reading ----

struct Stop {
    TextProblem problem;
};

class ScriptReader {
public:
    explicit ScriptReader(std::string_view text) : text_(text) {}
    std::vector<SavedStatement> statements();

private:
    [[noreturn]] void fail(int line, std::string message) const { throw Stop{TextProblem{line, std::move(message)}}; }
    [[noreturn]] void fail(std::string message) const { fail(line_, std::move(message)); }
    char peek() const { return position_ < text_.size() ? text_[position_] : '\0'; }
    bool at_end() const { return position_ >= text_.size(); }
    void skip_space();
    std::string word();
    std::string shown_here() const;
    void expect(char c, const std::string& where);
    void expect(std::string_view s, const std::string& where);
    std::int64_t matrix_value();
    void matrix(SavedStatement& s);
    void domain(SavedStatement& s);
    void answer(SavedStatement& s);

    std::string_view text_;
    std::size_t position_ = 0;
    int line_ = 1;
};

void ScriptReader::skip_space() {
    while (!at_end() && (is_blank(peek()) || peek() == '\n')) {
        if (peek() == '\n') ++line_;
        ++position_;
    }
}

std::string ScriptReader::word() {
    std::size_t start = position_;
    if (is_letter(peek()))
        while (is_letter(peek()) || is_digit(peek())) ++position_;
    return std::string(text_.substr(start, position_ - start));
}

std::string ScriptReader::shown_here() const {
    if (at_end()) return "the end of the file";
    std::size_t end = position_;
    while (end < text_.size() && end - position_ < 20 && !is_blank(text_[end]) && text_[end] != '\n') ++end;
    if (end == position_) ++end;
    return "'" + std::string(text_.substr(position_, end - position_)) + "'";
}

void ScriptReader::expect(char c, const std::string& where) {
    skip_space();
    if (peek() != c) fail("'" + std::string(1, c) + "' expected " + where + ", not " + shown_here());
    ++position_;
}

void ScriptReader::expect(std::string_view s, const std::string& where) {
    skip_space();
    if (text_.substr(position_, s.size()) != s) fail("'" + std::string(s) + "' expected " + where + ", not " + shown_here());
    position_ += s.size();
}

std::int64_t ScriptReader::matrix_value() {
    skip_space();
    bool negative = false;
    if (peek() == '-' || peek() == '+') {
        negative = peek() == '-';
        ++position_;
        skip_space();
    }
    if (!is_digit(peek())) fail("a number expected in the matrix, not " + shown_here());
    std::int64_t value = 0;
    while (is_digit(peek())) {
        value = value * 10 + (peek() - '0');
        if (value > largest_literal) fail("a number of the matrix is above 2147483647");
        ++position_;
    }
    return negative ? -value : value;
}

void ScriptReader::matrix(SavedStatement& s) {
    s.kind = SavedStatement::Kind::Matrix;
    expect('(', "to open the matrix");
    do {
        expect('(', "to open a row");
        std::vector<std::int64_t> row{matrix_value()};
        for (skip_space(); peek() == ','; skip_space()) {
            ++position_;
            row.push_back(matrix_value());
        }
        expect(')', "to close the row");
        if (!s.matrix.empty() && row.size() != s.matrix.front().size())
            fail("the rows of matrix '" + s.name + "' have different lengths");
        s.matrix.push_back(std::move(row));
        skip_space();
    } while (peek() == ',' && (++position_, true));
    expect(')', "to close the matrix");
}

// A domain in either notation: its text goes to the first "}" (neither
// notation nests braces); the isl notation begins with parameters or a tuple.
void ScriptReader::domain(SavedStatement& s) {
    s.kind = SavedStatement::Kind::Domain;
    skip_space();
    std::size_t start = position_;
    int start_line = line_;
    std::size_t close = text_.find('}', position_);
    if (close == std::string_view::npos) fail("'}' expected to close the domain of '" + s.name + "'");
    std::string_view body = text_.substr(start, close + 1 - start);
    bool isl = body[0] == '[';
    if (!isl) {
        std::size_t k = 1;
        while (k < body.size() && (is_blank(body[k]) || body[k] == '\n')) ++k;
        std::size_t name_end = k;
        while (name_end < body.size() && (is_letter(body[name_end]) || is_digit(body[name_end]) || body[name_end] == '_'))
            ++name_end;
        std::size_t after = name_end;
        while (after < body.size() && (is_blank(body[after]) || body[after] == '\n')) ++after;
        isl = (k < body.size() && (body[k] == '[' || body[k] == ':' || body[k] == '}')) ||
              (name_end > k && after < body.size() && body[after] == '[');
    }
    ParseResult parsed = isl ? read_isl_set(body) : read_constraint_notation(body);
    if (const ParseProblem* problem = std::get_if<ParseProblem>(&parsed)) {
        int line = start_line + static_cast<int>(std::count(body.begin(), body.begin() + problem->offset, '\n'));
        fail(line, (isl ? "isl notation: " : "") + problem_text(*problem));
    }
    s.domain = std::move(std::get<ParsedSet>(parsed));
    line_ += static_cast<int>(std::count(body.begin(), body.end(), '\n'));
    position_ = close + 1;
}

// The dialogue's answer lines after a definition: "o", or "n" and a name
// (on the same line or the next). Only when the rest of the statement's
// line is blank, as the dialogue reads the lines after the statement's.
void ScriptReader::answer(SavedStatement& s) {
    std::size_t p = position_;
    while (p < text_.size() && is_blank(text_[p])) ++p;
    if (p < text_.size() && text_[p] != '\n') return;
    auto line_at = [&](std::size_t from, std::size_t& next, int& lines) {
        while (from < text_.size() && (is_blank(text_[from]) || text_[from] == '\n')) {
            if (text_[from] == '\n') ++lines;
            ++from;
        }
        std::size_t end = text_.find('\n', from);
        if (end == std::string_view::npos) end = text_.size();
        next = end;
        std::string_view content = text_.substr(from, end - from);
        while (!content.empty() && is_blank(content.back())) content.remove_suffix(1);
        return content;
    };
    std::size_t next = 0;
    int lines = 0;
    std::string_view first = line_at(p, next, lines);
    if (first == "o") {
        s.answer = SavedStatement::Answer::Overwrite;
    } else if (first == "n" || (first.size() > 2 && first[0] == 'n' && is_blank(first[1]))) {
        std::string_view rest = first.substr(1);
        while (!rest.empty() && is_blank(rest.front())) rest.remove_prefix(1);
        if (rest.empty()) rest = line_at(next, next, lines);
        if (rest.empty() || std::any_of(rest.begin(), rest.end(), is_blank))
            fail(line_ + lines, "the new name of '" + s.name + "' expected after the answer 'n'");
        s.answer = SavedStatement::Answer::Rename;
        s.new_name = std::string(rest);
    } else {
        return;
    }
    position_ = next;
    line_ += lines;
}

std::vector<SavedStatement> ScriptReader::statements() {
    std::vector<SavedStatement> statements;
    for (skip_space(); !at_end(); skip_space()) {
        SavedStatement s;
        s.line = line_;
        std::string first = word();
        if (first.empty()) fail("a statement expected, not " + shown_here());
        if (first == "del") {
            skip_space();
            s.kind = SavedStatement::Kind::Delete;
            s.name = word();
            if (s.name.empty()) fail("a name expected after 'del', not " + shown_here());
            expect(';', "after 'del " + s.name + "'");
            statements.push_back(std::move(s));
            continue;
        }
        s.name = first;
        expect(":=", "after '" + first + "'");
        skip_space();
        if (peek() == '(')
            matrix(s);
        else if (peek() == '{' || peek() == '[')
            domain(s);
        else
            fail("a domain or a matrix expected after '" + first + " :=', not " + shown_here());
        expect(';', "after the definition of '" + first + "'");
        answer(s);
        statements.push_back(std::move(s));
    }
    return statements;
}

}  // namespace

std::variant<SavedStore, std::string> saved_store(const Registries& store, const std::set<std::string>& keywords) {
    return StoreWriter(store, keywords).write();
}

std::variant<std::vector<SavedStatement>, TextProblem> read_saved_store(std::string_view text) {
    try {
        return ScriptReader(text).statements();
    } catch (const Stop& stop) {
        return stop.problem;
    }
}
