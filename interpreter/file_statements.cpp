// The statements that keep domains in files: the whole store saved as the
// statements that rebuild it and loaded back, and PolyLib's matrix files.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

#include "base/error_report.h"
#include "base/locks.h"
#include "base/atomic_file.h"
#include "gui/visu_startup.h"
#include "interpreter/completion.h"
#include "interpreter/owned_name.h"
#include "interpreter/session.h"
#include "interpreter/statements.h"
#include "calculus/operations.h"
#include "formats/polylib_file.h"
#include "formats/saved_store.h"

namespace {

constexpr off_t largest_read_file = off_t{1} << 30;

// The whole file, or why it cannot be read.
bool read_whole_file(const std::string& path, std::string& text, std::string& problem) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        problem = std::strerror(errno);
        return false;
    }
    struct stat status {};
    if (fstat(fd, &status) == 0 && S_ISDIR(status.st_mode)) {
        close(fd);
        problem = std::strerror(EISDIR);
        return false;
    }
    char buffer[65536];
    for (;;) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            problem = std::strerror(errno);
            close(fd);
            return false;
        }
        if (n == 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
        if (static_cast<off_t>(text.size()) > largest_read_file) {
            problem = "it is larger than 1 GB";
            close(fd);
            return false;
        }
    }
    close(fd);
    return true;
}

// The words no statement can use as a name.
std::set<std::string> statement_keywords() {
    std::set<std::string> words;
    for (const KeywordRow& row : language_keywords()) words.insert(row.word);
    words.insert("quit");
    return words;
}

std::string counted(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

VarNode* var_list_of(const std::vector<std::string>& names) {
    VarNode* vars = nullptr;
    for (std::size_t k = 0; k < names.size(); ++k) vars = new VarNode{names[k], static_cast<int>(k) + 1, vars};
    return vars;
}

std::string build_failure_text(const BuildFailure& failure) {
    switch (failure.kind) {
    case BuildFailure::Kind::WorkSpace: return "the domain " + failure.text;
    case BuildFailure::Kind::Overflow: return "the domain overflows PolyLib's 64-bit arithmetic";
    case BuildFailure::Kind::PolyLib: return "PolyLib failed on the domain (arithmetic overflow or work space exceeded)";
    case BuildFailure::Kind::Interrupted: return "the domain was interrupted";
    case BuildFailure::Kind::OutOfWorkSpace: return "the domain " + failure.text;
    case BuildFailure::Kind::Worker: return failure.text;
    }
    return "";
}

// ---- load ----

// A statement of the file with what it stores, built before anything is.
struct LoadedStatement {
    SavedStatement statement;
    DomainPtr domain;
    MatrixPtr matrix;
};

class Loader {
public:
    Loader(Session& session, std::string file) : session_(session), file_(std::move(file)) {}
    // What was built and not stored is released as PolyLib's objects are.
    ~Loader() {
        DomainLock lock;
        loaded_.clear();
    }
    Loader(const Loader&) = delete;
    Loader& operator=(const Loader&) = delete;
    void run();

private:
    void refuse(const std::string& why) {
        report_error(session_.report, "load : " + why + " - nothing is loaded from it");
    }
    bool prepare(std::vector<SavedStatement> statements);
    void store_domain(LoadedStatement& s);
    void store_matrix(LoadedStatement& s);
    void remove(const std::string& name);

    Session& session_;
    std::string file_;
    std::vector<LoadedStatement> loaded_;
    // Names under which this load stored something: the file's own answer
    // lines answer the questions its definitions raise about them.
    std::set<std::string> domain_names_;
    std::set<std::string> matrix_names_;
};

// Every domain and matrix is built first, so that a file that fails
// anywhere stores nothing.
bool Loader::prepare(std::vector<SavedStatement> statements) {
    DomainLock lock;
    for (SavedStatement& s : statements) {
        if (session_.statement_abandoned()) {
            std::fprintf(session_.report.out, "> Interrupted: nothing is loaded from '%s'\n", file_.c_str());
            return false;
        }
        LoadedStatement l{std::move(s), nullptr, nullptr};
        if (l.statement.kind == SavedStatement::Kind::Domain) {
            const ParsedSet& set = l.statement.domain;
            auto built = build_domain_from_rows(static_cast<unsigned>(set.names.size()), set.pieces, &session_);
            if (const BuildFailure* failure = std::get_if<BuildFailure>(&built)) {
                if (failure->kind == BuildFailure::Kind::Interrupted) {
                    std::fprintf(session_.report.out, "> Interrupted: nothing is loaded from '%s'\n", file_.c_str());
                    return false;
                }
                refuse(file_ + ", line " + std::to_string(l.statement.line) + ": " + build_failure_text(*failure));
                return false;
            }
            l.domain = std::move(std::get<DomainPtr>(built));
        } else if (l.statement.kind == SavedStatement::Kind::Matrix) {
            const auto& rows = l.statement.matrix;
            l.matrix.reset(Matrix_Alloc(static_cast<unsigned>(rows.size()), static_cast<unsigned>(rows[0].size())));
            for (unsigned r = 0; r < rows.size(); ++r)
                for (unsigned c = 0; c < rows[r].size(); ++c) value_assign(l.matrix->p[r][c], rows[r][c]);
        }
        loaded_.push_back(std::move(l));
    }
    return true;
}

void Loader::store_domain(LoadedStatement& l) {
    const SavedStatement& s = l.statement;
    GdkLock gdk;
    DomainLock lock;
    DomainEntry*& list = session_.registries.DomainList;
    std::string name = s.name;
    if (lookup_domain(name, list) && domain_names_.count(name)) {
        if (s.answer == SavedStatement::Answer::Overwrite) list = delete_domain_in_list(session_, name, list);
        if (s.answer == SavedStatement::Answer::Rename) name = s.new_name;
    }
    VarNode* vars = var_list_of(s.domain.names);
    list = add_domain_in_list(session_, name, vars, l.domain.release(), list);
    domain_names_.insert(name);
    // As after a typed definition: the viewer hears of the new head of the list.
    refresh_visu(session_.viewer_windows, session_.registries);
}

// add_matrix_in_list takes domain_lock itself, once the dialogue is over.
void Loader::store_matrix(LoadedStatement& l) {
    const SavedStatement& s = l.statement;
    MatrixEntry*& list = session_.registries.MatrixList;
    std::string name = s.name;
    if (lookup_matrix(name, list) && matrix_names_.count(name)) {
        if (s.answer == SavedStatement::Answer::Overwrite) {
            DomainLock lock;
            list = delete_matrix_in_list(session_, name, list);
        }
        if (s.answer == SavedStatement::Answer::Rename) name = s.new_name;
    }
    list = add_matrix_in_list(session_, name, l.matrix.release(), list);
    matrix_names_.insert(name);
}

// As "del" does it: the newest domain of that name, else the newest matrix.
void Loader::remove(const std::string& name) {
    GdkLock gdk;
    DomainLock lock;
    Registries& store = session_.registries;
    FILE* out = session_.report.out;
    if (lookup_domain(name, store.DomainList)) {
        store.DomainList = delete_domain_in_list(session_, name, store.DomainList);
        std::fprintf(out, "> Succeded ! '%s' is deleted from DomainList\n", name.c_str());
    } else if (lookup_matrix(name, store.MatrixList)) {
        store.MatrixList = delete_matrix_in_list(session_, name, store.MatrixList);
        std::fprintf(out, "> Succeded ! '%s' is deleted from MatrixList\n", name.c_str());
    } else {
        report_error(session_.report, "> '" + name + "' undeclared - del : command ignored\n");
    }
}

void Loader::run() {
    std::string text, problem;
    if (!read_whole_file(file_, text, problem)) {
        refuse("can't read " + file_ + ": " + problem);
        return;
    }
    auto read = read_saved_store(text);
    if (const TextProblem* p = std::get_if<TextProblem>(&read)) {
        refuse(file_ + ", line " + std::to_string(p->line) + ": " + p->message);
        return;
    }
    if (!prepare(std::move(std::get<std::vector<SavedStatement>>(read)))) return;
    std::size_t domains = 0, matrices = 0;
    for (LoadedStatement& l : loaded_) {
        // Ctrl-C stops the whole load, not only the definition it falls on.
        if (session_.statement_abandoned()) {
            std::fprintf(session_.report.out, "> Interrupted: nothing more is loaded from '%s'\n", file_.c_str());
            return;
        }
        switch (l.statement.kind) {
        case SavedStatement::Kind::Domain:
            store_domain(l);
            ++domains;
            break;
        case SavedStatement::Kind::Matrix:
            store_matrix(l);
            ++matrices;
            break;
        case SavedStatement::Kind::Delete:
            remove(l.statement.name);
            break;
        }
    }
    std::fprintf(session_.report.out, "> Loaded %s and %s from '%s'\n",
                 counted(domains, "domain", "domains").c_str(), counted(matrices, "matrix", "matrices").c_str(),
                 file_.c_str());
}

}  // namespace

void save_statement(Session& session, char* file_text) {
    std::string file = take_name(file_text);
    std::variant<SavedStore, std::string> saved;
    {
        DomainLock lock;
        saved = saved_store(session.registries, statement_keywords());
    }
    if (const std::string* problem = std::get_if<std::string>(&saved)) {
        report_error(session.report, "save : " + *problem + " - nothing is saved");
        return;
    }
    const SavedStore& store = std::get<SavedStore>(saved);
    // The file may be the calculator's own output (/dev/stdout): what it has
    // written so far comes first.
    std::fflush(session.report.out);
    std::string failure = write_file_atomically(file, [&](FileSink& sink) { sink.write(store.text); });
    if (!failure.empty()) {
        report_error(session.report, "save : " + failure);
        return;
    }
    std::fprintf(session.report.out, "> Saved %s and %s to '%s'\n",
                 counted(store.domains, "domain", "domains").c_str(),
                 counted(store.matrices, "matrix", "matrices").c_str(), file.c_str());
}

void load_statement(Session& session, char* file_text) { Loader(session, take_name(file_text)).run(); }

void plread_statement(Session& session, char* name_text, char* file_text) {
    std::string name = take_name(name_text);
    std::string file = take_name(file_text);
    auto refuse = [&](const std::string& why) {
        report_error(session.report, "PLread : " + why + " - '" + name + "' is not stored");
    };
    std::string text, problem;
    if (!read_whole_file(file, text, problem)) return refuse("can't read " + file + ": " + problem);
    auto read = read_polylib_matrices(text);
    if (const TextProblem* p = std::get_if<TextProblem>(&read)) {
        return refuse(file + ", line " + std::to_string(p->line) + ": " + p->message);
    }
    const MatrixFileDomain& matrices = std::get<MatrixFileDomain>(read);
    GdkLock gdk;
    DomainLock lock;
    auto built = build_domain_from_rows(matrices.dimension, matrices.pieces, &session);
    if (const BuildFailure* failure = std::get_if<BuildFailure>(&built)) {
        if (failure->kind == BuildFailure::Kind::Interrupted) return report_not_stored(session.report.out, name);
        return refuse(file + ": " + build_failure_text(*failure));
    }
    VarNode* vars = matrices.names.empty() ? fresh_var_list(matrices.dimension) : var_list_of(matrices.names);
    Registries& store = session.registries;
    store.DomainList = add_domain_in_list(session, name, vars, std::get<DomainPtr>(built).release(), store.DomainList);
    refresh_visu(session.viewer_windows, store);
}

void plwrite_statement(Session& session, char* file_text, char* name_text) {
    std::string file = take_name(file_text);
    std::string name = take_name(name_text);
    std::string text;
    std::size_t polyhedra = 0;
    {
        DomainLock lock;
        const DomainEntry* entry = lookup_domain(name, session.registries.DomainList);
        if (!entry) {
            report_error(session.report, " '" + name + "' undeclared - PLwrite: command ignored");
            return;
        }
        text = polylib_matrix_text(name, entry->domain, var_names_array(entry->vars));
        for (const Polyhedron* p = entry->domain; p; p = p->next) ++polyhedra;
    }
    std::fflush(session.report.out);
    std::string failure = write_file_atomically(file, [&](FileSink& sink) { sink.write(text); });
    if (!failure.empty()) {
        report_error(session.report, "PLwrite : " + failure);
        return;
    }
    std::fprintf(session.report.out, "> Wrote '%s' to '%s': %s\n", name.c_str(), file.c_str(),
                 counted(polyhedra, "constraint matrix", "constraint matrices").c_str());
}
