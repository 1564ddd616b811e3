// The named-domain and named-matrix registries, with the overwrite-or-rename
// dialogue asked when a definition meets a taken name.
#pragma once

#include <string>
#include <vector>

#include "base/error_report.h"
#include "base/polylib.h"
#include "worker/contained_run.h"

typedef struct _GdkColor GdkColor;
struct DomainView;
struct StoreSession;

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

// Tells a higher floor (the Domains window) that an entry is about to leave
// DomainList: it removes the entry's row, masking the domain first. Called
// with domain_lock held, before unlinking.
class DomainListWatcher {
public:
    virtual void remove_row_of_deleted_domain(DomainEntry* entry) const = 0;

protected:
    ~DomainListWatcher() = default;
};

// Every stored domain and matrix of one session, newest entry first, and who
// hears of a deletion. DomainList is guarded by domain_lock; MatrixList
// belongs to the thread that reads the session's statements.
struct Registries {
    DomainEntry* DomainList = nullptr;
    MatrixEntry* MatrixList = nullptr;
    const DomainListWatcher* watcher = nullptr;   // none until the Domains window exists
};

// The one release of a whole store: every entry with its domain, view,
// variables and colour, and every matrix; the lists are left empty. The
// watcher hears of each domain first, as of a deletion. Expects domain_lock
// held, and the GDK lock too while a watcher is set.
void release_store(Registries& registries);

// Takes ownership of vars and domain. Expects the GDK lock and domain_lock held.
DomainEntry* add_domain_in_list(StoreSession& session, const std::string& name, VarNode* vars, Polyhedron* domain,
                                DomainEntry* list);
// The line of a definition that Ctrl-C abandoned: nothing is stored.
void report_not_stored(FILE* out, const std::string& name);
DomainEntry* delete_domain_in_list(StoreSession& session, const std::string& name, DomainEntry* list);
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
MatrixEntry* add_matrix_in_list(StoreSession& session, const std::string& name, Matrix* matrix, MatrixEntry* list);
// Expects domain_lock held (it releases a PolyLib matrix).
MatrixEntry* delete_matrix_in_list(StoreSession& session, const std::string& name, MatrixEntry* list);
Matrix* lookup_matrix(const std::string& name, MatrixEntry* list);

// The reader of a session's statements, as the store sees it: where the
// overwrite-or-rename dialogue reads its answers (a script's answers are the
// lines after the statement, in the script), and whether the user asked to
// abandon the statement under way. A session without one reads the answers
// from standard input, character by character, and is never interrupted.
// When the answers come as lines (a script, or lines typed ahead of the
// question, as a paste is), the answer is the next line that is not blank:
// "o", "n" (the new name on the line after) or "n NAME". Any other line is
// not for the dialogue: it is given back whole, for the statements, and the
// definition is cancelled. Typed answers are read as the user types them.
class StatementReader : public CancelCheck {
public:
    virtual int get_answer_char() = 0;   // EOF at the end of input
    // Several may be given back, the last first.
    virtual void unget_answer_char(int c) = 0;
    virtual void dialogue_finished() = 0;
    virtual bool answers_are_lines() = 0;   // asked as the question is written
    // True (once) when the user asked to abandon the statement under way; a
    // result then reaching a list is not stored.
    virtual bool statement_abandoned() = 0;

protected:
    ~StatementReader() = default;
};

// What the store's functions work on for one session: its registries, its
// output and error line, and the reader of its statements.
struct StoreSession {
    explicit StoreSession(FILE* out = stdout) { report.out = out; }
    // Releases the store (release_store), under domain_lock: taken here
    // unless the thread holds it already.
    ~StoreSession();
    StoreSession(const StoreSession&) = delete;
    StoreSession& operator=(const StoreSession&) = delete;

    StatementReport report;
    Registries registries;
    StatementReader* reader = nullptr;
    // What an Ehrhart or vertices computation may take before it is stopped.
    std::chrono::milliseconds analysis_time_limit = default_analysis_time_limit;
};
