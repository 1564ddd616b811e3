// Completion of the word before the cursor: a keyword or a stored name, or a
// file name inside the quotes after a keyword that takes one. The line
// editor's Tab and the requests of a program driving the calculator share it.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "store/registry.h"

struct KeywordRow {
    const char* word;
    bool takes_file_name;   // a quoted file name follows it
};

// Every keyword of the language; a new statement adds its keyword there.
std::span<const KeywordRow> language_keywords();

struct Completion {
    std::size_t word_start = 0;         // where the completed word starts in the text
    bool file_name = false;             // the word is a file name inside quotes
    std::vector<std::string> matches;   // whole words (file names with their folder), sorted, unique
};

// The completions of the word that ends `before_cursor` (the line up to the
// cursor), keywords and `stored_names` alike; file names are looked up from
// the working directory, folders ending with '/'.
Completion complete_word(const std::string& before_cursor, const std::vector<std::string>& stored_names);

// The names of every stored domain and matrix. Expects domain_lock free.
std::vector<std::string> stored_names(const Registries& stores);

// The characters that end a word of the language for completion.
inline constexpr const char* completion_word_breaks = " \t\n\"(),;:=<>{}|+-*.";
