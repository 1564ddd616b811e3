// A whole store written as a script of statements that rebuilds it (read
// back by `load`, or run as a script: `list` then gives the same text), and
// the reading of such a script into the definitions it holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "formats/isl_notation.h"
#include "store/registry.h"

struct SavedStore {
    std::string text;
    std::size_t domains = 0;
    std::size_t matrices = 0;
};

// The statements, oldest entry first so that they rebuild the lists in
// their order: a domain in the constraint notation when it can be read back
// exactly from it, else in isl notation; a matrix by its rows. A name
// defined again, or one that is no identifier (given in the overwrite
// dialogue), is given by the dialogue's own answer lines after its
// definition. Fails, saying why, for a variable name that neither notation
// can read back. `keywords` are the words no statement can use as a name.
// Expects domain_lock held.
std::variant<SavedStore, std::string> saved_store(const Registries& store, const std::set<std::string>& keywords);

// One statement of a saved store.
struct SavedStatement {
    enum class Kind { Domain, Matrix, Delete };
    enum class Answer { None, Overwrite, Rename };
    Kind kind = Kind::Domain;
    std::string name;   // as the statement names it
    int line = 1;       // where the statement starts
    ParsedSet domain;
    std::vector<std::vector<std::int64_t>> matrix;
    // The answer lines after a definition, for when its name is taken.
    Answer answer = Answer::None;
    std::string new_name;
};

struct TextProblem {
    int line;
    std::string message;
};

// The definitions (in either notation), matrices, deletions and answer
// lines of a script as `saved_store` writes them; the first problem, with
// its line, otherwise.
std::variant<std::vector<SavedStatement>, TextProblem> read_saved_store(std::string_view text);
