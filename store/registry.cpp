// DomainList and MatrixList: adding (with the overwrite-or-rename dialogue),
// finding and deleting named domains and matrices.
#include "store/registry.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <gdk/gdk.h>
#include <optional>
#include <string_view>

#include "base/error_report.h"
#include "base/locks.h"
#include "store/linked_list.h"
#include "store/printer.h"
#include "store/visutypes.h"

namespace {

constexpr std::size_t max_rename_length = 63;

// The domain and matrix dialogues ask the same question in their own words.
struct DialogueTexts {
    const char* warning;   // printf format taking the name
    const char* question;
    const char* please_answer;
    const char* rename_prompt;
    const char* overwrite;   // printf format taking the name
};

const DialogueTexts domain_dialogue = {
    "Warning : identifier '%s' is already used for another domain !\n",
    "> Overwrite (o) , Choose another name (n) ?",
    "> Please answer 'o' (overwrite) or 'n' (choose another name) !\n",
    "> OK : rename : Please enter new name : ",
    "> OK : overwrite '%s'\n",
};
const DialogueTexts matrix_dialogue = {
    "Warning : identifier %s is already used for another matrix\n",
    "Overwrite (o) , Choose another name (n) ?",
    "Please answer 'o' (overwrite)  or 'n' (choose another name) !\n",
    "Please enter new name :\n",
    "OK : overwrite '%s'\n",
};

// NotAnAnswer and NotAName: the line read was given back to the statements.
enum class Answer { Overwrite, Rename, NoAnswer, NotAnAnswer, NotAName };

int read_answer_char(StoreSession& session) {
    std::fflush(session.report.out);
    return session.reader ? session.reader->get_answer_char() : std::getc(stdin);
}

void unread_answer_char(StoreSession& session, int c) {
    if (session.reader)
        session.reader->unget_answer_char(c);
    else
        std::ungetc(c, stdin);
}

bool statement_abandoned(StoreSession& session) { return session.reader && session.reader->statement_abandoned(); }

bool answers_are_lines(StoreSession& session) { return session.reader && session.reader->answers_are_lines(); }

bool is_blank(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// Reads characters until 'o' or 'n'; end of input ends the dialogue without
// an answer.
Answer ask_overwrite_or_rename(StoreSession& session, const DialogueTexts& texts) {
    for (;;) {
        int c = read_answer_char(session);
        if (c == EOF) return Answer::NoAnswer;
        if (c == 'o') return Answer::Overwrite;
        if (c == 'n') return Answer::Rename;
        std::fputs(texts.please_answer, session.report.out);
    }
}

std::string cut_to_name_length(StoreSession& session, std::string word) {
    if (word.size() <= max_rename_length) return word;
    word.resize(max_rename_length);
    std::fprintf(session.report.out, "> New name cut to its first 63 characters: '%s'\n", word.c_str());
    return word;
}

// One whitespace-delimited word; a longer word than the name limit is cut and
// its tail consumed, so that the tail is not read as statements. Empty at end
// of input.
std::string read_new_name(StoreSession& session) {
    int c = read_answer_char(session);
    while (c != EOF && is_blank(c)) c = read_answer_char(session);
    std::string word;
    while (c != EOF && !is_blank(c)) {
        word.push_back(static_cast<char>(c));
        c = read_answer_char(session);
    }
    if (c != EOF) unread_answer_char(session, c);
    return cut_to_name_length(session, std::move(word));
}

// A line of answers as read: its text without the newline, and whether the
// newline was there (the end of input may come first).
struct AnswerLine {
    std::string text;
    bool ended_by_newline = false;
};

std::vector<std::string> words_of(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    for (char c : text) {
        if (!is_blank(static_cast<unsigned char>(c))) {
            word.push_back(c);
        } else if (!word.empty()) {
            words.push_back(std::move(word));
            word.clear();
        }
    }
    if (!word.empty()) words.push_back(std::move(word));
    return words;
}

// The next line that is not blank; nothing at the end of input.
std::optional<AnswerLine> read_answer_line(StoreSession& session) {
    AnswerLine line;
    for (;;) {
        int c = read_answer_char(session);
        if (c == EOF || c == '\n') {
            line.ended_by_newline = c == '\n';
            if (!words_of(line.text).empty()) return line;
            if (c == EOF) return std::nullopt;
            line.text.clear();
            continue;
        }
        line.text.push_back(static_cast<char>(c));
    }
}

// The line from `position` on goes back to the statements, as it was: a
// whole line that is no answer, or what follows an answer on its line (its
// newline, which the statements then count and prompt for).
void give_back(StoreSession& session, const AnswerLine& line, std::size_t position = 0) {
    if (line.ended_by_newline) unread_answer_char(session, '\n');
    for (std::size_t k = line.text.size(); k > position; --k)
        unread_answer_char(session, static_cast<unsigned char>(line.text[k - 1]));
}

// What the statements could name: a letter, then letters and digits.
bool is_name(const std::string& word) {
    if (word.empty() || !std::isalpha(static_cast<unsigned char>(word[0]))) return false;
    return std::all_of(word.begin(), word.end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)); });
}

struct NameChoice {
    Answer answer;
    std::string name;   // the name to store under (to overwrite, or the new one)
};

// Where the last word of a line ends.
std::size_t end_of_last_word(const std::string& text) {
    std::size_t end = text.size();
    while (end > 0 && is_blank(static_cast<unsigned char>(text[end - 1]))) --end;
    return end;
}

// A line holding the new name alone, or "n NAME" when `after_n`.
NameChoice new_name_from(StoreSession& session, const AnswerLine& line, bool after_n) {
    std::vector<std::string> words = words_of(line.text);
    if (after_n) words.erase(words.begin());
    if (words.size() != 1 || !is_name(words[0])) {
        give_back(session, line);
        return {Answer::NotAName, {}};
    }
    give_back(session, line, end_of_last_word(line.text));
    return {Answer::Rename, cut_to_name_length(session, words[0])};
}

// The answers as lines: "o", "n" with the name on the next line, or "n NAME".
NameChoice answer_from_lines(StoreSession& session, const DialogueTexts& texts) {
    std::optional<AnswerLine> line = read_answer_line(session);
    if (!line) return {Answer::NoAnswer, {}};
    std::vector<std::string> words = words_of(line->text);
    if (words.size() == 1 && words[0] == "o") {
        give_back(session, *line, end_of_last_word(line->text));
        return {Answer::Overwrite, {}};
    }
    if (words[0] != "n" || words.size() > 2) {
        give_back(session, *line);
        return {Answer::NotAnAnswer, {}};
    }
    std::fputs(texts.rename_prompt, session.report.out);
    if (words.size() == 2) return new_name_from(session, *line, true);
    std::optional<AnswerLine> name_line = read_answer_line(session);
    if (!name_line) return {Answer::NoAnswer, {}};
    return new_name_from(session, *name_line, false);
}

// The answers as typed: 'o', or 'n' and then a word.
NameChoice answer_from_characters(StoreSession& session, const DialogueTexts& texts) {
    Answer answer = ask_overwrite_or_rename(session, texts);
    if (answer != Answer::Rename) return {answer, {}};
    std::fputs(texts.rename_prompt, session.report.out);
    std::string name = read_new_name(session);
    return name.empty() ? NameChoice{Answer::NoAnswer, {}} : NameChoice{Answer::Rename, name};
}

void tell_choice(StoreSession& session, const DialogueTexts& texts, const NameChoice& choice, const std::string& asked) {
    FILE* out = session.report.out;
    switch (choice.answer) {
    case Answer::Overwrite:
        std::fprintf(out, texts.overwrite, asked.c_str());
        break;
    case Answer::Rename:
        break;
    case Answer::NoAnswer:
        std::fprintf(out, "\n> No answer: '%s' is left as it was\n", asked.c_str());
        break;
    case Answer::NotAnAnswer:
        note_refusal(session.report);
        std::fprintf(out, "\n> No answer (o or n) on the next line: '%s' is left as it was\n", asked.c_str());
        break;
    case Answer::NotAName:
        note_refusal(session.report);
        std::fprintf(out, "%s> No new name on the next line: '%s' is left as it was\n",
                     std::string_view(texts.rename_prompt).ends_with('\n') ? "" : "\n", asked.c_str());
        break;
    }
}

// The dialogue for a name that is taken: overwrite it, or read another name;
// a new name that is taken too is asked about in turn, so that no two
// entries ever share a name. End of input, or a line that is no answer,
// leaves everything as it was.
template <class IsTaken>
NameChoice choose_name(StoreSession& session, const DialogueTexts& texts, const std::string& taken, IsTaken is_taken) {
    FILE* out = session.report.out;
    NameChoice choice{Answer::Rename, taken};
    while (choice.answer == Answer::Rename && is_taken(choice.name)) {
        const std::string asked = choice.name;
        std::fprintf(out, texts.warning, asked.c_str());
        std::fputs(texts.question, out);
        choice = answers_are_lines(session) ? answer_from_lines(session, texts) : answer_from_characters(session, texts);
        if (choice.answer == Answer::Overwrite) choice.name = asked;
        tell_choice(session, texts, choice, asked);
    }
    if (session.reader) session.reader->dialogue_finished();
    return choice;
}

bool is_stored(const NameChoice& choice) {
    return choice.answer == Answer::Overwrite || choice.answer == Answer::Rename;
}

GdkColor* allocate_black() {
    if (!gdk_display_get_default()) {
        GdkColor black = {0, 0, 0, 0};
        return gdk_color_copy(&black);
    }
    GdkColor black = {0, 0, 0, 0};
    if (!gdk_colormap_alloc_color(gdk_colormap_get_system(), &black, FALSE, TRUE)) return nullptr;
    return gdk_color_copy(&black);
}

}  // namespace

StoreSession::~StoreSession() {
    if (domain_lock_held_here()) {
        release_store(registries);
        return;
    }
    DomainLock lock;
    release_store(registries);
}

void release_store(Registries& registries) {
    while (DomainEntry* entry = registries.DomainList) {
        if (registries.watcher) registries.watcher->remove_row_of_deleted_domain(entry);
        registries.DomainList = entry->next;
        free_domain_entry(entry);
    }
    while (MatrixEntry* entry = registries.MatrixList) {
        registries.MatrixList = entry->next;
        MatrixPtr matrix(entry->matrix);
        delete entry;
    }
}

void free_domain_entry(DomainEntry* entry) {
    DomainPtr domain(entry->domain);
    free_view(entry->view);
    free_var_list(entry->vars);
    if (entry->color) gdk_color_free(entry->color);
    delete entry;
}

DomainEntry* lookup_domain(const std::string& name, DomainEntry* list) {
    for (DomainEntry* e = list; e; e = e->next)
        if (e->name == name) return e;
    return nullptr;
}

Matrix* lookup_matrix(const std::string& name, MatrixEntry* list) {
    for (MatrixEntry* e = list; e; e = e->next)
        if (e->name == name) return e->matrix;
    return nullptr;
}

void report_not_stored(FILE* out, const std::string& name) {
    std::fprintf(out, "> Interrupted: '%s' is not stored\n", name.c_str());
}

DomainEntry* add_domain_in_list(StoreSession& session, const std::string& requested_name, VarNode* vars,
                                Polyhedron* domain, DomainEntry* list) {
    FILE* out = session.report.out;
    std::string name = requested_name;
    if (statement_abandoned(session)) {
        report_not_stored(out, name);
        DomainPtr abandoned(domain);
        free_var_list(vars);
        return list;
    }
    if (lookup_domain(name, list)) {
        NameChoice choice =
            choose_name(session, domain_dialogue, name, [&](const std::string& n) { return lookup_domain(n, list); });
        if (!is_stored(choice)) {
            DomainPtr refused(domain);
            free_var_list(vars);
            return list;
        }
        if (choice.answer == Answer::Overwrite) list = delete_domain_in_list(session, choice.name, list);
        name = choice.name;
    }
    auto* entry = new DomainEntry{name, vars, domain, nullptr, nullptr, list};
    std::fputs("> ", out);
    std::fputs(entry->name.c_str(), out);
    std::fputs(" := ", out);
    print_domain_constraints(out, domain, var_names_array(vars));
    entry->color = allocate_black();
    if (!entry->color) std::fputs("Problem with allocation of colors!\n", out);
    return entry;
}

DomainEntry* delete_domain_in_list(StoreSession& session, const std::string& name, DomainEntry* list) {
    DomainEntry* previous = nullptr;
    DomainEntry* entry = list;
    while (entry && entry->name != name) {
        previous = entry;
        entry = entry->next;
    }
    if (!entry) {
        report_error(session.report, "delete_domain_in_list: Domain " + name + " undeclared!");
        return list;
    }
    if (session.registries.watcher) session.registries.watcher->remove_row_of_deleted_domain(entry);
    DomainEntry* head = previous ? list : entry->next;
    if (previous) previous->next = entry->next;
    free_domain_entry(entry);
    return head;
}

MatrixEntry* add_matrix_in_list(StoreSession& session, const std::string& requested_name, Matrix* matrix,
                                MatrixEntry* list) {
    std::string name = requested_name;
    if (statement_abandoned(session)) {
        report_not_stored(session.report.out, name);
        DomainLock lock;
        MatrixPtr abandoned(matrix);
        return list;
    }
    if (lookup_matrix(name, list)) {
        NameChoice choice =
            choose_name(session, matrix_dialogue, name, [&](const std::string& n) { return lookup_matrix(n, list); });
        DomainLock lock;
        if (!is_stored(choice)) {
            MatrixPtr refused(matrix);
            return list;
        }
        if (choice.answer == Answer::Overwrite) list = delete_matrix_in_list(session, choice.name, list);
        name = choice.name;
    }
    return new MatrixEntry{name, matrix, list};
}

MatrixEntry* delete_matrix_in_list(StoreSession& session, const std::string& name, MatrixEntry* list) {
    if (!list) {
        report_error(session.report, "delete matrix : Domain " + name + " undeclared : DomainList empty !");
        return nullptr;
    }
    MatrixEntry* previous = nullptr;
    MatrixEntry* entry = list;
    while (entry && entry->name != name) {
        previous = entry;
        entry = entry->next;
    }
    if (!entry) return list;
    MatrixEntry* head = previous ? list : entry->next;
    if (previous) previous->next = entry->next;
    MatrixPtr matrix(entry->matrix);
    delete entry;
    return head;
}

std::vector<std::string> var_names_array(const VarNode* vars) {
    std::vector<std::string> names(var_list_length(vars));
    for (const VarNode* v = vars; v; v = v->next)
        if (v->index >= 1 && v->index <= static_cast<int>(names.size())) names[v->index - 1] = v->name;
    return names;
}

std::vector<const char*> c_names(const std::vector<std::string>& names) {
    std::vector<const char*> pointers;
    if (names.empty()) return pointers;
    for (const auto& n : names) pointers.push_back(n.c_str());
    pointers.push_back(nullptr);
    return pointers;
}

VarNode* copy_var_list(const VarNode* vars) {
    VarNode* head = nullptr;
    VarNode** tail = &head;
    for (const VarNode* v = vars; v; v = v->next) {
        *tail = new VarNode{v->name, v->index, nullptr};
        tail = &(*tail)->next;
    }
    return head;
}

void free_var_list(VarNode* vars) { delete_list(vars); }

int var_list_length(const VarNode* vars) {
    int n = 0;
    for (; vars; vars = vars->next) ++n;
    return n;
}
