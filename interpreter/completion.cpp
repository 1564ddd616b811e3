// Completion of keywords, stored names and quoted file names.
#include "interpreter/completion.h"

#include <algorithm>
#include <cctype>
#include <dirent.h>
#include <sys/stat.h>

#include "base/locks.h"

namespace {

const KeywordRow keyword_table[] = {
    {"help", false},     {"quit", false},     {"list", false},   {"print", false},    {"del", false},
    {"PLprint", false},  {"PLcons", false},   {"PLrays", false}, {"union", false},    {"inter", false},
    {"diff", false},     {"image", false},    {"preimage", false}, {"dd", false},     {"convex", false},
    {"ehrhart", false},  {"vertices", false}, {"initvisu", false}, {"visu", false},
    {"figure", true},    {"parameters", false},
    // Points, counts, loop nests, tests between domains.
    {"points", false},   {"card", false},     {"codegen", false}, {"lexmin", false},   {"lexmax", false},
    {"sample", false},   {"gist", false},     {"isempty", false}, {"issubset", false}, {"isequal", false},
    // Exchange with other tools.
    {"isl", false},      {"save", true},      {"load", true},    {"PLread", true},    {"PLwrite", true},
};

bool takes_file_name(const std::string& word) {
    for (const KeywordRow& row : keyword_table)
        if (row.takes_file_name && word == row.word) return true;
    return false;
}

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Where the open quoted file name before the cursor starts (after its
// quote), if the cursor is inside one: the quote follows a keyword that
// takes a file name, and no quote closes it.
std::size_t open_file_name_start(const std::string& text) {
    const std::size_t quote = text.rfind('"');
    if (quote == std::string::npos) return std::string::npos;
    std::size_t end = quote;
    while (end > 0 && is_blank(text[end - 1])) --end;
    std::size_t start = end;
    while (start > 0 && std::isalnum(static_cast<unsigned char>(text[start - 1]))) --start;
    if (start == end || !takes_file_name(text.substr(start, end - start))) return std::string::npos;
    // The keyword must itself start a word: "xfigure" is an identifier.
    if (start > 0 && std::isalnum(static_cast<unsigned char>(text[start - 1]))) return std::string::npos;
    return quote + 1;
}

std::vector<std::string> file_names_starting(const std::string& typed) {
    const std::size_t slash = typed.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : typed.substr(0, slash + 1);
    const std::string start = slash == std::string::npos ? typed : typed.substr(slash + 1);
    std::vector<std::string> names;
    DIR* directory = opendir(folder.empty() ? "." : folder.c_str());
    if (!directory) return names;
    while (const dirent* entry = readdir(directory)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        if (name[0] == '.' && (start.empty() || start[0] != '.')) continue;
        if (name.compare(0, start.size(), start) != 0) continue;
        struct stat status {};
        const bool is_folder = stat((folder + name).c_str(), &status) == 0 && S_ISDIR(status.st_mode);
        names.push_back(folder + name + (is_folder ? "/" : ""));
    }
    closedir(directory);
    return names;
}

}  // namespace

std::span<const KeywordRow> language_keywords() { return keyword_table; }

Completion complete_word(const std::string& before_cursor, const std::vector<std::string>& stored_names) {
    Completion completion;
    if (const std::size_t start = open_file_name_start(before_cursor); start != std::string::npos) {
        completion.word_start = start;
        completion.file_name = true;
        completion.matches = file_names_starting(before_cursor.substr(start));
    } else {
        const std::size_t last_break = before_cursor.find_last_of(completion_word_breaks);
        completion.word_start = last_break == std::string::npos ? 0 : last_break + 1;
        const std::string typed = before_cursor.substr(completion.word_start);
        auto offer = [&](const std::string& word) {
            if (word.compare(0, typed.size(), typed) == 0) completion.matches.push_back(word);
        };
        for (const KeywordRow& row : keyword_table) offer(row.word);
        for (const std::string& name : stored_names) offer(name);
    }
    std::sort(completion.matches.begin(), completion.matches.end());
    completion.matches.erase(std::unique(completion.matches.begin(), completion.matches.end()),
                             completion.matches.end());
    return completion;
}

std::vector<std::string> stored_names(const Registries& stores) {
    std::vector<std::string> names;
    {
        DomainLock lock;
        for (const DomainEntry* e = stores.DomainList; e; e = e->next) names.push_back(e->name);
    }
    for (const MatrixEntry* m = stores.MatrixList; m; m = m->next) names.push_back(m->name);
    return names;
}
