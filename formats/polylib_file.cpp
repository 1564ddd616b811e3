// Reading and writing PolyLib's constraint matrix files.
#include "formats/polylib_file.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <set>

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

std::vector<std::string_view> fields(std::string_view line) {
    std::vector<std::string_view> result;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && is_blank(line[i])) ++i;
        std::size_t start = i;
        while (i < line.size() && !is_blank(line[i])) ++i;
        if (i > start) result.push_back(line.substr(start, i - start));
    }
    return result;
}

// An integer as Matrix_Read takes it: an optional sign and decimal digits.
bool integer(std::string_view field, std::int64_t& value) {
    std::string_view digits = field;
    if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
    if (digits.empty() || digits.front() == '+') return false;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return error == std::errc() && end == digits.data() + digits.size();
}

bool is_name(std::string_view name) {
    if (name.empty() || std::isdigit(static_cast<unsigned char>(name[0]))) return false;
    return std::all_of(name.begin(), name.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '\''; });
}

constexpr std::string_view names_comment = "variables:";

// "# variables: i j N" names the dimensions; any other comment is ignored.
void read_names_comment(std::string_view comment, std::vector<std::string>& names) {
    std::vector<std::string_view> words = fields(comment);
    if (words.empty() || words.front() != names_comment) return;
    std::vector<std::string> found;
    for (std::size_t k = 1; k < words.size(); ++k) {
        if (!is_name(words[k]) || std::find(found.begin(), found.end(), words[k]) != found.end()) return;
        found.emplace_back(words[k]);
    }
    names = std::move(found);
}

std::string plural(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

std::variant<MatrixFileDomain, TextProblem> read_polylib_matrices(std::string_view text) {
    MatrixFileDomain domain;
    std::vector<std::string> names;
    unsigned columns = 0;
    std::size_t rows_expected = 0;
    bool in_matrix = false;
    int line = 0;
    int header_line = 0;
    for (std::size_t start = 0; start <= text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view content = text.substr(start, end - start);
        start = end + 1;
        ++line;
        std::size_t hash = content.find('#');
        if (hash != std::string_view::npos) {
            if (domain.pieces.empty() && !in_matrix) read_names_comment(content.substr(hash + 1), names);
            content = content.substr(0, hash);
        }
        std::vector<std::string_view> values = fields(content);
        if (values.empty()) {
            if (end == text.size()) break;
            continue;
        }
        if (!in_matrix) {
            std::int64_t rows = 0, cols = 0;
            if (values.size() != 2 || !integer(values[0], rows) || !integer(values[1], cols) || rows < 0 || cols < 0)
                return TextProblem{line, "a matrix begins with its numbers of rows and columns, not '" +
                                             std::string(content.substr(content.find_first_not_of(" \t"))) + "'"};
            if (cols < 2)
                return TextProblem{line, "a constraint matrix has at least 2 columns (the flag and the constant), not " +
                                             std::to_string(cols)};
            if (!domain.pieces.empty() && static_cast<unsigned>(cols) != columns)
                return TextProblem{line, "this matrix has " + plural(cols, "column", "columns") + " and the first " +
                                             std::to_string(columns) + ": the polyhedra of a domain have one dimension"};
            if (cols > 100000) return TextProblem{line, "a matrix of " + std::to_string(cols) + " columns is too wide"};
            columns = static_cast<unsigned>(cols);
            rows_expected = static_cast<std::size_t>(rows);
            header_line = line;
            domain.pieces.emplace_back();
            in_matrix = rows_expected > 0;
            continue;
        }
        if (values.size() != columns)
            return TextProblem{line, "a row of " + plural(values.size(), "value", "values") + " in a matrix of " +
                                         plural(columns, "column", "columns")};
        ConstraintRow row(columns);
        for (unsigned c = 0; c < columns; ++c)
            if (!integer(values[c], row[c]))
                return TextProblem{line, "'" + std::string(values[c]) + "' is not an integer of 64 bits"};
        if (row[0] != 0 && row[0] != 1)
            return TextProblem{line, "a constraint row begins with 0 (an equality) or 1 (an inequality), not " +
                                         std::to_string(row[0])};
        domain.pieces.back().push_back(std::move(row));
        in_matrix = domain.pieces.back().size() < rows_expected;
        if (end == text.size()) break;
    }
    // The text's last line (a final newline ends it, it begins none).
    if (!text.empty() && text.back() == '\n') --line;
    if (in_matrix)
        return TextProblem{line, "the matrix of line " + std::to_string(header_line) + " ends after " +
                                     std::to_string(domain.pieces.back().size()) + " of its " +
                                     std::to_string(rows_expected) + " rows"};
    if (domain.pieces.empty()) return TextProblem{line, "no matrix in the file"};
    domain.dimension = columns - 2;
    if (names.size() == domain.dimension) domain.names = std::move(names);
    return domain;
}

std::string polylib_matrix_text(const std::string& name, const Polyhedron* domain, const std::vector<std::string>& names) {
    std::size_t count = 0;
    for (const Polyhedron* p = domain; p; p = p->next) ++count;
    unsigned dimension = domain->Dimension;
    std::string text = "# Domain '" + name + "': " + plural(count, "constraint matrix", "constraint matrices") +
                       ", one per polyhedron of the union.\n";
    text += "# A row is 0 for an equality or 1 for an inequality, ";
    if (dimension > 0) {
        text += "the coefficients of";
        for (unsigned k = 0; k < dimension; ++k) text += (k ? ", " : " ") + (k < names.size() ? names[k] : "?");
        text += ",\n# ";
    }
    text += "then the constant: the row states coefficients . x + constant = 0 or >= 0.\n";
    bool named = names.size() == dimension && std::all_of(names.begin(), names.end(), [](const std::string& n) {
                     return is_name(n);
                 }) && std::set<std::string>(names.begin(), names.end()).size() == names.size();
    if (named && dimension > 0) {
        text += "# " + std::string(names_comment);
        for (const std::string& n : names) text += " " + n;
        text += "\n";
    }
    std::size_t k = 0;
    for (const Polyhedron* p = domain; p; p = p->next) {
        PieceRows rows = rows_of(p);
        std::size_t width = 1;
        for (const ConstraintRow& row : rows)
            for (std::int64_t v : row) width = std::max(width, std::to_string(v).size());
        text += "\n# polyhedron " + std::to_string(++k) + " of " + std::to_string(count) + "\n";
        text += std::to_string(rows.size()) + " " + std::to_string(dimension + 2) + "\n";
        for (const ConstraintRow& row : rows) {
            for (std::size_t c = 0; c < row.size(); ++c) {
                std::string v = std::to_string(row[c]);
                text += std::string(width - v.size() + (c ? 1 : 0), ' ') + v;
            }
            text += "\n";
        }
    }
    return text;
}
