// DomainList and MatrixList: adding (with the overwrite-or-rename dialogue),
// finding and deleting named domains and matrices.
#include "store/registry.h"

#include <cstdio>
#include <gdk/gdk.h>

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

enum class Answer { Overwrite, Rename, NoAnswer };

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

bool is_blank(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// Reads characters until 'o' or 'n'; end of input ends the dialogue without
// an answer.
Answer ask_overwrite_or_rename(StoreSession& session, const DialogueTexts& texts) {
    bool skip_blanks = session.reader && session.reader->blanks_are_not_answers();
    for (;;) {
        int c = read_answer_char(session);
        if (c == EOF) return Answer::NoAnswer;
        if (skip_blanks && is_blank(c)) continue;
        if (c == 'o') return Answer::Overwrite;
        if (c == 'n') return Answer::Rename;
        std::fputs(texts.please_answer, session.report.out);
    }
}

// One whitespace-delimited word; a longer word than the name limit is cut and
// its tail consumed, so that the tail is not read as statements. Empty at end
// of input.
std::string read_new_name(StoreSession& session) {
    int c = read_answer_char(session);
    while (c != EOF && is_blank(c)) c = read_answer_char(session);
    std::string word;
    bool cut = false;
    while (c != EOF && !is_blank(c)) {
        if (word.size() < max_rename_length)
            word.push_back(static_cast<char>(c));
        else
            cut = true;
        c = read_answer_char(session);
    }
    if (c != EOF) unread_answer_char(session, c);
    if (cut) std::fprintf(session.report.out, "> New name cut to its first 63 characters: '%s'\n", word.c_str());
    return word;
}

struct NameChoice {
    Answer answer;
    std::string name;   // the name to store under
};

// The dialogue for a name that is taken: overwrite it, or read another name
// (which is not checked again). End of input leaves everything as it was.
NameChoice choose_name(StoreSession& session, const DialogueTexts& texts, const std::string& taken) {
    FILE* out = session.report.out;
    std::fprintf(out, texts.warning, taken.c_str());
    std::fputs(texts.question, out);
    NameChoice choice{ask_overwrite_or_rename(session, texts), taken};
    if (choice.answer == Answer::Rename) {
        std::fputs(texts.rename_prompt, out);
        choice.name = read_new_name(session);
        if (choice.name.empty()) choice.answer = Answer::NoAnswer;
    }
    if (choice.answer == Answer::Overwrite) std::fprintf(out, texts.overwrite, taken.c_str());
    if (choice.answer == Answer::NoAnswer) std::fprintf(out, "\n> No answer: '%s' is left as it was\n", taken.c_str());
    if (session.reader) session.reader->dialogue_finished();
    return choice;
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

DomainEntry* add_domain_in_list(StoreSession& session, const std::string& requested_name, VarNode* vars,
                                Polyhedron* domain, DomainEntry* list) {
    FILE* out = session.report.out;
    std::string name = requested_name;
    if (statement_abandoned(session)) {
        std::fprintf(out, "> Interrupted: '%s' is not stored\n", name.c_str());
        DomainPtr abandoned(domain);
        free_var_list(vars);
        return list;
    }
    if (lookup_domain(name, list)) {
        NameChoice choice = choose_name(session, domain_dialogue, name);
        if (choice.answer == Answer::NoAnswer) {
            DomainPtr refused(domain);
            free_var_list(vars);
            return list;
        }
        if (choice.answer == Answer::Overwrite) list = delete_domain_in_list(session, name, list);
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
        std::fprintf(session.report.out, "> Interrupted: '%s' is not stored\n", name.c_str());
        DomainLock lock;
        MatrixPtr abandoned(matrix);
        return list;
    }
    if (lookup_matrix(name, list)) {
        NameChoice choice = choose_name(session, matrix_dialogue, name);
        DomainLock lock;
        if (choice.answer == Answer::NoAnswer) {
            MatrixPtr refused(matrix);
            return list;
        }
        if (choice.answer == Answer::Overwrite) list = delete_matrix_in_list(session, name, list);
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
