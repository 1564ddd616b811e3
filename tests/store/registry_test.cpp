// DomainList and MatrixList operations without the dialogue (which the
// interactive transcripts drive through a terminal).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "base/locks.h"
#include "store/registry.h"
#include "store/visutypes.h"
#include "tests/support/capture.h"

namespace {

VarNode* vars_of(std::initializer_list<const char*> names) {
    VarNode* list = nullptr;
    int index = 1;
    for (const char* n : names) list = new VarNode{n, index++, list};
    return list;
}

// Answers the store's questions as a reader whose user pressed Ctrl-C.
class AbandoningReader final : public StatementReader {
public:
    int get_answer_char() override { return EOF; }
    void unget_answer_char(int) override {}
    void dialogue_finished() override {}
    bool answers_are_lines() override { return false; }
    bool statement_abandoned() override { return true; }
    bool analysis_cancelled() override { return false; }
};

// Each test has a store of its own, released with it.
class RegistryTest : public ::testing::Test {
protected:
    StoreSession store{stdout};
    DomainEntry*& DomainList = store.registries.DomainList;
    MatrixEntry*& MatrixList = store.registries.MatrixList;

    void add(const char* name, std::initializer_list<const char*> vars) {
        DomainLock lock;
        capture_stdout([&] {
            DomainList = add_domain_in_list(store, name, vars_of(vars), universe_locked(vars.size()), DomainList);
        });
    }
    static Polyhedron* universe_locked(std::size_t d) { return Universe_Polyhedron(static_cast<unsigned>(d)); }
};

TEST_F(RegistryTest, AddingEchoesTheDefinitionAndPutsItFirst) {
    DomainLock lock;
    std::string out = capture_stdout([&] {
        DomainList = add_domain_in_list(store, "P", vars_of({"i", "j"}), Universe_Polyhedron(2), DomainList);
    });
    EXPECT_EQ(out, "> P :=   { i, j |  }\n");
    ASSERT_NE(DomainList, nullptr);
    EXPECT_EQ(DomainList->name, "P");
    EXPECT_EQ(DomainList->view, nullptr);
    EXPECT_NE(DomainList->color, nullptr);
}

TEST_F(RegistryTest, ZeroDimensionalEntryEchoesEmptyBraces) {
    DomainLock lock;
    std::string out = capture_stdout([&] { DomainList = add_domain_in_list(store, "E", nullptr, Empty_Polyhedron(0), DomainList); });
    EXPECT_EQ(out, "> E := { | }\n");
    EXPECT_EQ(DomainList->vars, nullptr);
}

TEST_F(RegistryTest, NewestEntriesComeFirst) {
    add("A", {"i"});
    add("B", {"i"});
    DomainLock lock;
    EXPECT_EQ(DomainList->name, "B");
    EXPECT_EQ(DomainList->next->name, "A");
    EXPECT_EQ(lookup_domain("A", DomainList), DomainList->next);
    EXPECT_EQ(lookup_domain("a", DomainList), nullptr);
}

TEST_F(RegistryTest, DeletingAMiddleEntryKeepsTheOthersLinked) {
    add("A", {"i"});
    add("B", {"i"});
    add("C", {"i"});
    DomainLock lock;
    DomainList = delete_domain_in_list(store, "B", DomainList);
    ASSERT_NE(DomainList, nullptr);
    EXPECT_EQ(DomainList->name, "C");
    EXPECT_EQ(DomainList->next->name, "A");
    EXPECT_EQ(DomainList->next->next, nullptr);
}

TEST_F(RegistryTest, DeletingAnUnknownNameReportsAndKeepsTheList) {
    add("A", {"i"});
    DomainLock lock;
    DomainEntry* before = DomainList;
    std::string out = capture_stdout([&] { DomainList = delete_domain_in_list(store, "Z", DomainList); });
    EXPECT_EQ(out, "> Error - line 1 : delete_domain_in_list: Domain Z undeclared! \n");
    EXPECT_EQ(DomainList, before);
}

// The entry owns its view: deleting a shown domain releases the view with it
// (the leak checker of the sanitizer build sees a forgotten one), after the
// Domains window has been told while the view was still attached.
TEST_F(RegistryTest, DeletingAShownEntryReleasesItsViewAfterTellingTheWindow) {
    add("P", {"i"});
    static bool view_attached_when_told;
    view_attached_when_told = false;
    struct Window final : DomainListWatcher {
        void remove_row_of_deleted_domain(DomainEntry* entry) const override {
            view_attached_when_told = entry->view != nullptr;
        }
    } window;
    store.registries.watcher = &window;
    DomainLock lock;
    DomainList->view = new DomainView{Universe_Polyhedron(1), 1, new MarkedPoint{{3}, new MarkedPoint{{4}, nullptr}}};
    capture_stdout([&] { DomainList = delete_domain_in_list(store, "P", DomainList); });
    store.registries.watcher = nullptr;
    EXPECT_TRUE(view_attached_when_told);
    EXPECT_EQ(DomainList, nullptr);
}

// Releasing the whole store tells the Domains window of every domain, newest
// first and each while it is still whole (its view attached), as deleting it
// would, so that no row keeps an entry that is gone.
TEST_F(RegistryTest, ReleasingTheStoreTellsTheWindowOfEachDomainAsADeletion) {
    add("P", {"i"});
    add("Q", {"i"});
    static std::vector<std::string> told;
    static bool views_attached;
    told.clear();
    views_attached = true;
    struct Window final : DomainListWatcher {
        void remove_row_of_deleted_domain(DomainEntry* entry) const override {
            told.push_back(entry->name);
            views_attached = views_attached && entry->view != nullptr;
        }
    } window;
    DomainLock lock;
    for (DomainEntry* e = DomainList; e; e = e->next) e->view = new DomainView{Universe_Polyhedron(1), 1, nullptr};
    MatrixList = new MatrixEntry{"M", Matrix_Alloc(1, 1), nullptr};
    store.registries.watcher = &window;
    release_store(store.registries);
    store.registries.watcher = nullptr;
    EXPECT_EQ(told, (std::vector<std::string>{"Q", "P"}));
    EXPECT_TRUE(views_attached);
    EXPECT_EQ(DomainList, nullptr);
    EXPECT_EQ(MatrixList, nullptr);
}

TEST_F(RegistryTest, VarNamesComeInDeclarationOrder) {
    VarNode* vars = vars_of({"i", "j", "k"});
    EXPECT_EQ(var_names_array(vars), (std::vector<std::string>{"i", "j", "k"}));
    EXPECT_TRUE(var_names_array(nullptr).empty());
    std::vector<std::string> names = var_names_array(vars);
    std::vector<const char*> pointers = c_names(names);
    ASSERT_EQ(pointers.size(), 4u);
    EXPECT_STREQ(pointers[0], "i");
    EXPECT_EQ(pointers[3], nullptr);
    EXPECT_TRUE(c_names({}).empty());
    free_var_list(vars);
}

TEST_F(RegistryTest, CopiedVariableListsShareNoNodes) {
    VarNode* vars = vars_of({"a", "b"});
    VarNode* copy = copy_var_list(vars);
    EXPECT_NE(copy, vars);
    EXPECT_NE(copy->next, vars->next);
    EXPECT_EQ(var_names_array(copy), var_names_array(vars));
    free_var_list(vars);
    EXPECT_EQ(var_names_array(copy), (std::vector<std::string>{"a", "b"}));
    free_var_list(copy);
}

TEST_F(RegistryTest, MatricesAreFoundByNameAndDeleted) {
    Matrix* a;
    Matrix* b;
    {
        DomainLock lock;
        a = Matrix_Alloc(1, 1);
        b = Matrix_Alloc(2, 2);
    }
    MatrixList = add_matrix_in_list(store, "A", a, MatrixList);
    MatrixList = add_matrix_in_list(store, "B", b, MatrixList);
    EXPECT_EQ(lookup_matrix("A", MatrixList), a);
    EXPECT_EQ(lookup_matrix("B", MatrixList), b);
    DomainLock lock;
    MatrixList = delete_matrix_in_list(store, "B", MatrixList);
    EXPECT_EQ(lookup_matrix("B", MatrixList), nullptr);
    EXPECT_EQ(MatrixList->name, "A");
}

// The dialogue's answer on standard input; "" is the end of input.
struct MatrixAnswerCase {
    const char* name;
    const char* answer;
    bool kept_new;
};

void PrintTo(const MatrixAnswerCase& c, std::ostream* os) { *os << c.name; }

class MatrixDialogueLock : public RegistryTest, public ::testing::WithParamInterface<MatrixAnswerCase> {};

// PolyLib is not thread-safe, so even the free of a matrix that a definition
// replaces or refuses waits for domain_lock, which a window may hold.
TEST_P(MatrixDialogueLock, TheReplacedOrRefusedMatrixIsFreedUnderDomainLock) {
    Matrix* old_matrix;
    Matrix* new_matrix;
    {
        DomainLock lock;
        old_matrix = Matrix_Alloc(1, 1);
        new_matrix = Matrix_Alloc(1, 1);
    }
    MatrixList = add_matrix_in_list(store, "M", old_matrix, MatrixList);

    std::string answer = GetParam().answer;
    FILE* answers = answer.empty() ? std::fopen("/dev/null", "r") : fmemopen(answer.data(), answer.size(), "r");
    FILE* terminal = stdin;
    stdin = answers;
    std::atomic<bool> held{false}, released{false};
    std::thread window([&] {
        DomainLock lock;
        held = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        released = true;
    });
    while (!held) std::this_thread::yield();
    capture_stdout([&] { MatrixList = add_matrix_in_list(store, "M", new_matrix, MatrixList); });
    bool waited = released;
    window.join();
    stdin = terminal;
    std::fclose(answers);

    EXPECT_TRUE(waited) << "the matrix was freed while another thread held domain_lock";
    EXPECT_EQ(lookup_matrix("M", MatrixList), GetParam().kept_new ? new_matrix : old_matrix);
}

const MatrixAnswerCase matrix_answer_cases[] = {
    {"Overwrite", "o", true},
    {"EndOfInput", "", false},
};
INSTANTIATE_TEST_SUITE_P(Registry, MatrixDialogueLock, ::testing::ValuesIn(matrix_answer_cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(RegistryTest, DeletingFromAnEmptyMatrixListReports) {
    std::string out = capture_stdout([&] { MatrixList = delete_matrix_in_list(store, "M", MatrixList); });
    EXPECT_EQ(out, "> Error - line 1 : delete matrix : Domain M undeclared : DomainList empty ! \n");
    EXPECT_EQ(MatrixList, nullptr);
}

// A statement the user abandoned (Ctrl-C) while its result was computed
// stores nothing, and says so in one line; the stores stay as they were.
TEST_F(RegistryTest, AnAbandonedStatementStoresNothing) {
    add("P", {"i"});
    Matrix* matrix;
    {
        DomainLock lock;
        matrix = Matrix_Alloc(1, 1);
    }
    AbandoningReader user_pressed_ctrl_c;
    store.reader = &user_pressed_ctrl_c;
    std::string out = capture_stdout([&] {
        {
            DomainLock lock;
            DomainList = add_domain_in_list(store, "Q", vars_of({"i"}), universe_locked(1), DomainList);
            DomainList = add_domain_in_list(store, "P", vars_of({"i"}), universe_locked(1), DomainList);
        }
        MatrixList = add_matrix_in_list(store, "M", matrix, MatrixList);
    });
    store.reader = nullptr;
    EXPECT_EQ(out, "> Interrupted: 'Q' is not stored\n> Interrupted: 'P' is not stored\n"
                   "> Interrupted: 'M' is not stored\n");
    ASSERT_NE(DomainList, nullptr);
    EXPECT_EQ(DomainList->name, "P");
    EXPECT_EQ(DomainList->next, nullptr);
    EXPECT_EQ(MatrixList, nullptr);
}

}  // namespace
