/* The statement grammar: every statement form, the expression and matrix
   sub-grammars, and the error productions that let the user go on after a
   malformed statement. Each statement runs as soon as its last token is read. */

%code requires {
#include <cstdint>
#include "interpreter/declarations.h"
}

%code {
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/error_report.h"
#include "interpreter/help.h"
#include "interpreter/input_sources.h"
#include "interpreter/parser.h"
#include "interpreter/statements.h"

int yylex(void);
static void yyerror(const char* message);

static bool quit_requested = false;
static bool parse_restarted = false;

/* The parser's own stack limit is reached only by deeply nested input. */
#define YYINITDEPTH 200
#define YYMAXDEPTH 10000

static void hint(const char* text) {
    note_refusal();
    std::fputs(text, stdout);
}

/* Error productions that end recovery also discard the declaration under way. */
static void end_recovery_message(const char* text) {
    note_refusal();
    std::fputs(text, stdout);
    std::fputc('\n', stdout);
    reset_declaration();
}
}

%union {
    char* id;
    std::int64_t number;
    LinearExpr expr;
    int comparator;
    TermNode* terms;
}

%token HELP QUIT LIST PRINT DEL PLPRINT PLCONS PLRAYS
%token UNION INTER DIFF IMAGE PREIMAGE DD CONVEX EHRHART VERTICES INITVISU VISU
%token ASSIGN LESS_EQ GREATER_EQ
%token FIGURE
%token <id> IDENTIFIER QUOTED_NAME
%token <number> NUMBER
%token NUMBER_TOO_LARGE

%type <expr> expr chain
%type <comparator> comparator
%type <terms> row_entries
%type <number> row_entry

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
    : IDENTIFIER ASSIGN '{' var_list '|' { begin_constraints(); } constraint_list '}' ';'
        { declare_domain($1); }
    | IDENTIFIER ASSIGN '{' '|' '}' ';'
        { declare_empty_domain($1); }
    | IDENTIFIER ASSIGN '(' matrix_rows ')' ';'
        { declare_matrix($1); }
    | IDENTIFIER ASSIGN IDENTIFIER union_op IDENTIFIER ';'
        { define_binop($1, $3, $5, "union"); }
    | IDENTIFIER ASSIGN IDENTIFIER inter_op IDENTIFIER ';'
        { define_binop($1, $3, $5, "inter"); }
    | IDENTIFIER ASSIGN IDENTIFIER diff_op IDENTIFIER ';'
        { define_binop($1, $3, $5, "diff"); }
    | IDENTIFIER ASSIGN IMAGE '(' IDENTIFIER ',' IDENTIFIER ')' ';'
        { define_image($1, $5, $7, "image"); }
    | IDENTIFIER ASSIGN PREIMAGE '(' IDENTIFIER ',' IDENTIFIER ')' ';'
        { define_image($1, $5, $7, "preimage"); }
    | IDENTIFIER ASSIGN DD IDENTIFIER ';'
        { define_disjoint($1, $4); }
    | IDENTIFIER ASSIGN CONVEX IDENTIFIER ';'
        { define_convex($1, $4); }
    | VERTICES '(' IDENTIFIER ',' IDENTIFIER ')' ';'
        { vertices_statement($3, $5); }
    | EHRHART '(' IDENTIFIER ',' IDENTIFIER ')' ';'
        { ehrhart_statement($3, $5); }
    | INITVISU '(' NUMBER ',' IDENTIFIER ')' ';'
        { initvisu_statement($3, $5); }
    | VISU '(' IDENTIFIER ')' ';'
        { visu_statement($3); }
    | LIST ';'
        { list_statement(); }
    | PRINT IDENTIFIER ';'
        { print_statement($2); }
    | PLPRINT IDENTIFIER ';'
        { plprint_statement($2); }
    | PLCONS IDENTIFIER ';'
        { plcons_statement($2); }
    | PLRAYS IDENTIFIER ';'
        { plrays_statement($2); }
    | DEL IDENTIFIER ';'
        { del_statement($2); }
    | FIGURE QUOTED_NAME ';'
        { figure_statement($2, -1, -1); }
    | FIGURE QUOTED_NAME '(' NUMBER ',' NUMBER ')' ';'
        { figure_statement($2, $4, $6); }
    | HELP ';'
        { print_help(); }
    | QUIT
        { std::fputs("\n bye...\n\n", stdout); quit_requested = true; YYACCEPT; }

    | IDENTIFIER ASSIGN '{' var_list '|' error ';'
        { std::free($1); end_recovery_message(">> error in constraints "); yyerrok; }
    | IDENTIFIER ASSIGN '{' var_list error ';'
        { std::free($1); end_recovery_message(">> '|' missing"); yyerrok; }
    | IDENTIFIER ASSIGN '{' error ';'
        { std::free($1); end_recovery_message(">> error in variable list"); yyerrok; }
    | IDENTIFIER ASSIGN IDENTIFIER union_op error ';'
        { std::free($1); std::free($3); hint("> Syntax : 'res' := 'P1' union 'P2' ;\n"); }
    | IDENTIFIER ASSIGN IDENTIFIER inter_op error ';'
        { std::free($1); std::free($3); hint("> Syntax : 'res' := 'P1' inter 'P2' ;\n"); }
    | IDENTIFIER ASSIGN IDENTIFIER diff_op error ';'
        { std::free($1); std::free($3); hint("> Syntax : 'res' := 'P1' diff 'P2' ;\n"); }
    | IDENTIFIER ASSIGN IMAGE error ';'
        { std::free($1); hint("> Syntax : 'name' := image ('domain', 'matrix') ;\n"); }
    | IDENTIFIER ASSIGN PREIMAGE error ';'
        { std::free($1); hint("> Syntax : 'name' := preimage ('domain', 'matrix') ;\n"); }
    | IDENTIFIER ASSIGN CONVEX error ';'
        { std::free($1); hint("> Syntax : 'name' := convex 'domain' ;\n"); }
    | VERTICES error ';'
        { hint("> Syntax : vertices ('domain', 'context') ;\n"); }
    | EHRHART error ';'
        { hint("> Syntax : ehrhart ('domain', 'context') ;\n"); }
    | INITVISU error ';'
        { hint("> Syntax : initvisu ('dimension', 'context') ;\n"); }
    | VISU error ';'
        { hint("> Syntax : visu (domain) ;\n"); }
    | PRINT error ';'
        { hint("> Syntax: print 'name' ;\n"); }
    | PLPRINT error ';'
        { hint("> Syntax: PLprint 'name' ;\n"); }
    | PLCONS error ';'
        { hint("> Syntax: PLcons 'domain' ;\n"); }
    | PLRAYS error ';'
        { hint("> Syntax: PLrays 'domain' ;\n"); }
    | DEL error ';'
        { hint("> Syntax : del 'domain' ;\n"); }
    | FIGURE error ';'
        { hint("> Syntax : figure \"file.svg\" ;  or  figure \"file.svg\" (width, height) ;\n"); }
    | IDENTIFIER ASSIGN error ';'
        { std::free($1); end_recovery_message(">> bad command - type 'help' for informations about syntax "); yyerrok; }
    | IDENTIFIER error ';'
        { std::free($1); end_recovery_message(">> there must be a ':=' after identifier ! "); yyerrok; }
    | error ';'
        { end_recovery_message(">> bad command - type 'help' for informations about syntax"); yyerrok; }
    ;

union_op : UNION | '+' ;
inter_op : INTER | '.' ;
diff_op  : DIFF  | '-' ;

var_list
    : var_list ',' IDENTIFIER   { decl_vars = add_variable($3, decl_vars); std::free($3); }
    | IDENTIFIER                { decl_vars = add_variable($1, decl_vars); std::free($1); }
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
        { write_comparison($1, $2, $3); free_terms($3.terms); $$ = $1; }
    | expr
        { $$ = $1; }
    ;

equation
    : expr '=' expr
        { write_equation($1, $3); free_terms($1.terms); free_terms($3.terms); }
    ;

comparator
    : LESS_EQ      { $$ = LESS_EQUAL; }
    | GREATER_EQ   { $$ = GREATER_EQUAL; }
    | '<'          { $$ = LESS; }
    | '>'          { $$ = GREATER; }
    ;

expr
    : expr '+' expr               { $$ = expr_add($1, $3); }
    | expr '-' expr               { $$ = expr_subtract($1, $3); }
    | NUMBER '*' expr             { $$ = expr_times($1, $3); }
    | '(' expr ')'                { $$ = $2; }
    | '-' expr %prec UMINUS       { $$ = expr_negate($2); }
    | NUMBER IDENTIFIER           { $$ = expr_scaled_variable($1, $2); }
    | IDENTIFIER                  { $$ = expr_variable($1); }
    | NUMBER                      { $$ = expr_number($1); }
    ;

matrix_rows
    : matrix_rows ',' '(' row_entries ')'   { end_matrix_row($4); }
    | '(' row_entries ')'                   { end_matrix_row($2); }
    ;

row_entries
    : row_entries ',' row_entry   { $$ = next_row_entry($1, $3); }
    | row_entry                   { $$ = first_row_entry($1); }
    ;

row_entry
    : NUMBER        { $$ = $1; }
    | '-' NUMBER    { $$ = -$2; }
    | '+' NUMBER    { $$ = $2; }
    ;

%%

static void yyerror(const char* message) {
    /* A statement dropped by Ctrl-C ends the parse without a message. */
    if (statement_interrupted) return;
    /* After a dropped statement, the end of input at a statement's start is a normal end. */
    if (parse_restarted && input_ended && !statement_under_way) return;
    /* Bison says "memory exhausted" when its stack limit is reached. */
    if (std::strcmp(message, "memory exhausted") == 0)
        report_error("parser stack overflow");
    else
        report_error("parse error");
}

int parse_statements() {
    quit_requested = false;
    parse_restarted = false;
    int result = yyparse();
    while (statement_interrupted && !quit_requested) {
        statement_interrupted = false;
        statement_under_way = false;
        parse_restarted = true;
        reset_declaration();
        result = yyparse();
        if (result == 1 && input_ended && !statement_under_way) result = 0;
    }
    if (quit_requested) return -1;
    return result;
}
