// The named-domain and named-matrix registries, with the overwrite-or-rename
// dialogue asked when a definition meets a taken name.
#pragma once

#include <string>
#include <vector>

#include "base/polylib.h"

typedef struct _GdkColor GdkColor;
struct DomainView;

struct VarNode {
    std::string name;
    int index;       // column in a constraint row: 1 for the first declared variable
    VarNode* next;   // the previously declared variable
};

struct DomainEntry {
    std::string name;
    VarNode* vars;        // owned, newest variable first; length = dimension
    Polyhedron* domain;   // owned union, released with Domain_Free; never absent
    GdkColor* color;      // owned copy; none when black could not be allocated
    DomainView* view;     // none while the domain is not shown
    DomainEntry* next;    // the next older entry
};

struct MatrixEntry {
    std::string name;
    Matrix* matrix;       // owned; NbRows is the number of declared rows
    MatrixEntry* next;
};

// Every stored domain and matrix, newest entry first, and how the Domains
// window hears of a deletion. DomainList is guarded by domain_lock;
// MatrixList belongs to the main thread.
struct Registries {
    DomainEntry* DomainList = nullptr;
    MatrixEntry* MatrixList = nullptr;
    // Set by the Domains window once it exists: removes a deleted entry's row
    // (masking the domain first). Called with domain_lock held, before unlinking.
    void (*remove_row_of_deleted_domain)(DomainEntry* entry) = nullptr;
};
extern Registries registries;
// The fields go by their own names.
inline DomainEntry*& DomainList = registries.DomainList;
inline MatrixEntry*& MatrixList = registries.MatrixList;
inline auto& remove_row_of_deleted_domain = registries.remove_row_of_deleted_domain;

// Takes ownership of vars and domain. Expects the GDK lock and domain_lock held.
DomainEntry* add_domain_in_list(const std::string& name, VarNode* vars, Polyhedron* domain,
                                DomainEntry* list);
DomainEntry* delete_domain_in_list(const std::string& name, DomainEntry* list);
// The one release of an entry that is in no list any more: its domain, view,
// variables and colour. Expects domain_lock held.
void free_domain_entry(DomainEntry* entry);
DomainEntry* lookup_domain(const std::string& name, DomainEntry* list);

// Names in declaration order (element 0 has index 1); empty when vars is empty.
std::vector<std::string> var_names_array(const VarNode* vars);
// A null-terminated view of names for PolyLib's printers; null when names is empty.
std::vector<const char*> c_names(const std::vector<std::string>& names);

VarNode* copy_var_list(const VarNode* vars);
void free_var_list(VarNode* vars);
int var_list_length(const VarNode* vars);

// Takes ownership of matrix. Expects domain_lock released: the dialogue waits
// without it, and it takes it to release matrices.
MatrixEntry* add_matrix_in_list(const std::string& name, Matrix* matrix, MatrixEntry* list);
// Expects domain_lock held (it releases a PolyLib matrix).
MatrixEntry* delete_matrix_in_list(const std::string& name, MatrixEntry* list);
Matrix* lookup_matrix(const std::string& name, MatrixEntry* list);

// Where the overwrite-or-rename dialogue reads its answers: standard input,
// character by character, unless the reader of the statements supplies its
// own (a script's answers are the lines after the statement, in the script).
// When the answers come as lines (a script, or lines typed ahead of the
// question, as a paste is), the answer is the next line that is not blank:
// "o", "n" (the new name on the line after) or "n NAME". Any other line is
// not for the dialogue: it is given back whole, for the statements, and the
// definition is cancelled. Typed answers are read as the user types them.
struct AnswerReader {
    int (*get_char)() = nullptr;             // EOF at the end of input
    void (*unget_char)(int c) = nullptr;     // several may be given back, the last first
    void (*finished)() = nullptr;            // the dialogue is over
    bool (*answers_are_lines)() = nullptr;   // asked as the question is written
};
extern AnswerReader answer_reader;

// Set by the statement reader: true (once) when the user asked to abandon the
// statement under way; a result then reaching a list is not stored.
extern bool (*statement_abandoned)();
