/* The statement grammar: every statement form, the expression and matrix
   sub-grammars, and the error productions that let the user go on after a
   malformed statement. Each statement runs as soon as its last token is read. */

%define api.pure full
%param {Session& session}

%code requires {
#include <cstdint>
#include "interpreter/declarations.h"
#include "calculus/domain_tests.h"
#include "calculus/point_queries.h"
class Session;
}

%code {
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/error_report.h"
#include "interpreter/help.h"
#include "interpreter/input_sources.h"
#include "interpreter/parser.h"
#include "interpreter/session.h"
#include "interpreter/statements.h"

int yylex(YYSTYPE* value, Session& session);
static void yyerror(Session& session, const char* message);

/* The parser's own stack limit is reached only by deeply nested input. */
#define YYINITDEPTH 200
#define YYMAXDEPTH 10000

static void hint(Session& session, const char* text) {
    note_refusal(session.report);
    std::fputs(text, session.report.out);
}

/* The five statements of points share a shape, and their hint. */
static void point_query_hint(Session& session, PointQuery query) {
    const char* keyword = query == PointQuery::points   ? "points"
                          : query == PointQuery::card   ? "card"
                          : query == PointQuery::lexmin ? "lexmin"
                          : query == PointQuery::lexmax ? "lexmax"
                                                        : "sample";
    note_refusal(session.report);
    std::fprintf(session.report.out, "> Syntax : %s ('domain', 'context') ;  or  %s ('domain', 'context', 'bound') ;\n",
                 keyword, keyword);
}

/* Error productions that end recovery also discard the declaration under way. */
static void end_recovery_message(Session& session, const char* text) {
    note_refusal(session.report);
    std::fputs(text, session.report.out);
    std::fputc('\n', session.report.out);
    reset_declaration(session.declaration);
}
}

%union {
    char* id;
    std::int64_t number;
    LinearExpr expr;
    int comparator;
    TermNode* terms;
    PointQuery point_query;
}

%token HELP QUIT LIST PRINT DEL PLPRINT PLCONS PLRAYS
%token UNION INTER DIFF IMAGE PREIMAGE DD CONVEX EHRHART VERTICES INITVISU VISU
%token POINTS CARD CODEGEN LEXMIN LEXMAX SAMPLE GIST ISEMPTY ISSUBSET ISEQUAL
%token ASSIGN LESS_EQ GREATER_EQ
%token FIGURE PARAMETERS
%token ISL SAVE LOAD PLREAD PLWRITE
%token <id> IDENTIFIER QUOTED_NAME ISL_SET
%token <number> NUMBER
%token NUMBER_TOO_LARGE

%type <expr> expr chain
%type <comparator> comparator
%type <terms> row_entries
%type <number> row_entry listing_bound
%type <point_query> point_query

%destructor { std::free($$); } <id>
%destructor { free_terms($$.terms); } <expr>
%destructor { free_terms($$); } <terms>

%right '<' '>' LESS_EQ GREATER_EQ
%left '+' '-'
%right '*' UMINUS

%%

statement_list
    : statement_list statement
    | statement
    ;

statement
    : IDENTIFIER ASSIGN '{' var_list '|' { begin_constraints(session.declaration); } constraint_list '}' ';'
        { declare_domain(session.declaration, $1); }
    | IDENTIFIER ASSIGN '{' '|' '}' ';'
        { declare_empty_domain(session.declaration, $1); }
    | IDENTIFIER ASSIGN '(' matrix_rows ')' ';'
        { declare_matrix(session.declaration, $1); }
    | IDENTIFIER ASSIGN ISL_SET ';'
        { declare_isl_domain(session, $1, $3); }
    | IDENTIFIER ASSIGN IDENTIFIER union_op IDENTIFIER ';'
        { define_binop(session, $1, $3, $5, "union"); }
    | IDENTIFIER ASSIGN IDENTIFIER inter_op IDENTIFIER ';'
        { define_binop(session, $1, $3, $5, "inter"); }
    | IDENTIFIER ASSIGN IDENTIFIER diff_op IDENTIFIER ';'
        { define_binop(session, $1, $3, $5, "diff"); }
    | IDENTIFIER ASSIGN IMAGE '(' IDENTIFIER ',' IDENTIFIER ')' ';'
        { define_image(session, $1, $5, $7, "image"); }
    | IDENTIFIER ASSIGN PREIMAGE '(' IDENTIFIER ',' IDENTIFIER ')' ';'
        { define_image(session, $1, $5, $7, "preimage"); }
    | IDENTIFIER ASSIGN DD IDENTIFIER ';'
        { define_disjoint(session, $1, $4); }
    | IDENTIFIER ASSIGN CONVEX IDENTIFIER ';'
        { define_convex(session, $1, $4); }
    | VERTICES '(' IDENTIFIER ',' IDENTIFIER ')' ';'
        { vertices_statement(session, $3, $5); }
    | EHRHART '(' IDENTIFIER ',' IDENTIFIER ')' ';'
        { ehrhart_statement(session, $3, $5); }
    | INITVISU '(' NUMBER ',' IDENTIFIER ')' ';'
        { initvisu_statement(session, $3, $5); }
    | VISU '(' IDENTIFIER ')' ';'
        { visu_statement(session, $3); }
    | LIST ';'
        { list_statement(session); }
    | PRINT IDENTIFIER ';'
        { print_statement(session, $2); }
    | PLPRINT IDENTIFIER ';'
        { plprint_statement(session, $2); }
    | PLCONS IDENTIFIER ';'
        { plcons_statement(session, $2); }
    | PLRAYS IDENTIFIER ';'
        { plrays_statement(session, $2); }
    | DEL IDENTIFIER ';'
        { del_statement(session, $2); }
    | FIGURE QUOTED_NAME ';'
        { figure_statement(session, $2, -1, -1); }
    | FIGURE QUOTED_NAME '(' NUMBER ',' NUMBER ')' ';'
        { figure_statement(session, $2, $4, $6); }
    | PARAMETERS '(' { session.parameter_values.clear(); } parameter_values ')' ';'
        { parameters_statement(session); }
    | point_query '(' IDENTIFIER ',' IDENTIFIER listing_bound ')' ';'
        { point_query_statement(session, $1, $3, $5, $6); }
    | CODEGEN '(' IDENTIFIER ',' IDENTIFIER ')' ';'
        { codegen_statement(session, $3, $5); }
    | ISEMPTY '(' IDENTIFIER ')' ';'
        { domain_test_statement(session, DomainTest::empty, $3, nullptr); }
    | ISSUBSET '(' IDENTIFIER ',' IDENTIFIER ')' ';'
        { domain_test_statement(session, DomainTest::subset, $3, $5); }
    | ISEQUAL '(' IDENTIFIER ',' IDENTIFIER ')' ';'
        { domain_test_statement(session, DomainTest::equal, $3, $5); }
    | IDENTIFIER ASSIGN GIST '(' IDENTIFIER ',' IDENTIFIER ')' ';'
        { define_gist(session, $1, $5, $7); }
    | SAVE QUOTED_NAME ';'
        { save_statement(session, $2); }
    | LOAD QUOTED_NAME ';'
        { load_statement(session, $2); }
    | PLWRITE QUOTED_NAME IDENTIFIER ';'
        { plwrite_statement(session, $2, $3); }
    | IDENTIFIER ASSIGN PLREAD QUOTED_NAME ';'
        { plread_statement(session, $1, $4); }
    | ISL IDENTIFIER ';'
        { isl_statement(session, $2, nullptr); }
    | ISL '(' IDENTIFIER ',' IDENTIFIER ')' ';'
        { isl_statement(session, $3, $5); }
    | HELP ';'
        { print_help(session.report.out); }
    | QUIT
        { std::fputs("\n bye...\n\n", session.report.out); session.quit_requested = true; YYACCEPT; }

    | IDENTIFIER ASSIGN '{' var_list '|' error ';'
        { std::free($1); end_recovery_message(session, ">> error in constraints "); yyerrok; }
    | IDENTIFIER ASSIGN '{' var_list error ';'
        { std::free($1); end_recovery_message(session, ">> '|' missing"); yyerrok; }
    | IDENTIFIER ASSIGN '{' error ';'
        { std::free($1); end_recovery_message(session, ">> error in variable list"); yyerrok; }
    | IDENTIFIER ASSIGN IDENTIFIER union_op error ';'
        { std::free($1); std::free($3); hint(session, "> Syntax : 'res' := 'P1' union 'P2' ;\n"); }
    | IDENTIFIER ASSIGN IDENTIFIER inter_op error ';'
        { std::free($1); std::free($3); hint(session, "> Syntax : 'res' := 'P1' inter 'P2' ;\n"); }
    | IDENTIFIER ASSIGN IDENTIFIER diff_op error ';'
        { std::free($1); std::free($3); hint(session, "> Syntax : 'res' := 'P1' diff 'P2' ;\n"); }
    | IDENTIFIER ASSIGN IMAGE error ';'
        { std::free($1); hint(session, "> Syntax : 'name' := image ('domain', 'matrix') ;\n"); }
    | IDENTIFIER ASSIGN PREIMAGE error ';'
        { std::free($1); hint(session, "> Syntax : 'name' := preimage ('domain', 'matrix') ;\n"); }
    | IDENTIFIER ASSIGN ISL_SET error ';'
        { std::free($1); std::free($3); hint(session, "> Syntax : 'name' := [params] -> { [variables] : constraints } ;\n"); }
    | SAVE error ';'
        { hint(session, "> Syntax : save \"file\" ;\n"); }
    | LOAD error ';'
        { hint(session, "> Syntax : load \"file\" ;\n"); }
    | PLWRITE error ';'
        { hint(session, "> Syntax : PLwrite \"file\" 'domain' ;\n"); }
    | IDENTIFIER ASSIGN PLREAD error ';'
        { std::free($1); hint(session, "> Syntax : 'name' := PLread \"file\" ;\n"); }
    | ISL error ';'
        { hint(session, "> Syntax : isl 'domain' ;  or  isl ('domain', 'context') ;\n"); }
    | IDENTIFIER ASSIGN CONVEX error ';'
        { std::free($1); hint(session, "> Syntax : 'name' := convex 'domain' ;\n"); }
    | VERTICES error ';'
        { hint(session, "> Syntax : vertices ('domain', 'context') ;\n"); }
    | EHRHART error ';'
        { hint(session, "> Syntax : ehrhart ('domain', 'context') ;\n"); }
    | INITVISU error ';'
        { hint(session, "> Syntax : initvisu ('dimension', 'context') ;\n"); }
    | VISU error ';'
        { hint(session, "> Syntax : visu (domain) ;\n"); }
    | PRINT error ';'
        { hint(session, "> Syntax: print 'name' ;\n"); }
    | PLPRINT error ';'
        { hint(session, "> Syntax: PLprint 'name' ;\n"); }
    | PLCONS error ';'
        { hint(session, "> Syntax: PLcons 'domain' ;\n"); }
    | PLRAYS error ';'
        { hint(session, "> Syntax: PLrays 'domain' ;\n"); }
    | DEL error ';'
        { hint(session, "> Syntax : del 'domain' ;\n"); }
    | PARAMETERS error ';'
        { hint(session, "> Syntax : parameters ('name' = value, ...) ;\n"); }
    | FIGURE error ';'
        { hint(session, "> Syntax : figure \"file.svg\" ;  or  figure \"file.svg\" (width, height) ;\n"); }
    | point_query error ';'
        { point_query_hint(session, $1); }
    | CODEGEN error ';'
        { hint(session, "> Syntax : codegen ('domain', 'context') ;\n"); }
    | ISEMPTY error ';'
        { hint(session, "> Syntax : isempty ('domain') ;\n"); }
    | ISSUBSET error ';'
        { hint(session, "> Syntax : issubset ('domain', 'domain') ;\n"); }
    | ISEQUAL error ';'
        { hint(session, "> Syntax : isequal ('domain', 'domain') ;\n"); }
    | IDENTIFIER ASSIGN GIST error ';'
        { std::free($1); hint(session, "> Syntax : 'name' := gist ('domain', 'context') ;\n"); }
    | IDENTIFIER ASSIGN error ';'
        { std::free($1); end_recovery_message(session, ">> bad command - type 'help' for informations about syntax "); yyerrok; }
    | IDENTIFIER error ';'
        { std::free($1); end_recovery_message(session, ">> there must be a ':=' after identifier ! "); yyerrok; }
    | error ';'
        { end_recovery_message(session, ">> bad command - type 'help' for informations about syntax"); yyerrok; }
    ;

point_query
    : POINTS   { $$ = PointQuery::points; }
    | CARD     { $$ = PointQuery::card; }
    | LEXMIN   { $$ = PointQuery::lexmin; }
    | LEXMAX   { $$ = PointQuery::lexmax; }
    | SAMPLE   { $$ = PointQuery::sample; }
    ;

listing_bound
    : %empty       { $$ = static_cast<std::int64_t>(default_listing_bound); }
    | ',' NUMBER   { $$ = $2; }
    ;

union_op : UNION | '+' ;
inter_op : INTER | '.' ;
diff_op  : DIFF  | '-' ;

var_list
    : var_list ',' IDENTIFIER   { session.declaration.decl_vars = add_variable(session.declaration, $3, session.declaration.decl_vars); std::free($3); }
    | IDENTIFIER                { session.declaration.decl_vars = add_variable(session.declaration, $1, session.declaration.decl_vars); std::free($1); }
    ;

constraint_list
    : constraint_list ',' constraint
    | constraint
    | %empty
    ;

constraint
    : chain       { free_terms($1.terms); }
    | equation
    ;

chain
    : chain comparator chain %prec LESS_EQ
        { write_comparison(session.declaration, $1, $2, $3); free_terms($3.terms); $$ = $1; }
    | expr
        { $$ = $1; }
    ;

equation
    : expr '=' expr
        { write_equation(session.declaration, $1, $3); free_terms($1.terms); free_terms($3.terms); }
    ;

comparator
    : LESS_EQ      { $$ = LESS_EQUAL; }
    | GREATER_EQ   { $$ = GREATER_EQUAL; }
    | '<'          { $$ = LESS; }
    | '>'          { $$ = GREATER; }
    ;

expr
    : expr '+' expr               { $$ = expr_add(session.declaration, $1, $3); }
    | expr '-' expr               { $$ = expr_subtract(session.declaration, $1, $3); }
    | NUMBER '*' expr             { $$ = expr_times(session.declaration, $1, $3); }
    | '(' expr ')'                { $$ = $2; }
    | '-' expr %prec UMINUS       { $$ = expr_negate(session.declaration, $2); }
    | NUMBER IDENTIFIER           { $$ = expr_scaled_variable(session.declaration, $1, $2); }
    | IDENTIFIER                  { $$ = expr_variable(session.declaration, $1); }
    | NUMBER                      { $$ = expr_number($1); }
    ;

parameter_values
    : parameter_values ',' parameter_value
    | parameter_value
    ;

parameter_value
    : IDENTIFIER '=' row_entry
        { session.parameter_values.emplace_back($1, $3); std::free($1); }
    ;

matrix_rows
    : matrix_rows ',' '(' row_entries ')'   { end_matrix_row(session.declaration, $4); }
    | '(' row_entries ')'                   { end_matrix_row(session.declaration, $2); }
    ;

row_entries
    : row_entries ',' row_entry   { $$ = next_row_entry(session.declaration, $1, $3); }
    | row_entry                   { $$ = first_row_entry($1); }
    ;

row_entry
    : NUMBER        { $$ = $1; }
    | '-' NUMBER    { $$ = -$2; }
    | '+' NUMBER    { $$ = $2; }
    ;

%%

static void yyerror(Session& session, const char* message) {
    StatementReport& report = session.report;
    /* A statement dropped by Ctrl-C ends the parse without a message. */
    if (session.scanning.statement_interrupted) return;
    /* After a dropped statement, the end of input at a statement's start is a normal end. */
    if (session.parse_restarted && report.input_ended && !report.statement_under_way) return;
    /* Bison says "memory exhausted" when its stack limit is reached. */
    if (std::strcmp(message, "memory exhausted") == 0)
        report_error(report, "parser stack overflow");
    else
        report_error(report, "parse error");
}

int parse_statements(Session& session) {
    StatementReport& report = session.report;
    session.quit_requested = false;
    session.parse_restarted = false;
    int result = yyparse(session);
    while (session.scanning.statement_interrupted && !session.quit_requested) {
        session.scanning.statement_interrupted = false;
        report.statement_under_way = false;
        session.parse_restarted = true;
        reset_declaration(session.declaration);
        result = yyparse(session);
        if (result == 1 && report.input_ended && !report.statement_under_way) result = 0;
    }
    if (session.quit_requested) return -1;
    return result;
}
