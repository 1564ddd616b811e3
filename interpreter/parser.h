// The statement parser.
#pragma once

#include <cstdio>

class Session;

// Parses and carries out statements until the input ends or "quit" is read.
// 0: input ended after a complete statement; 1: parse abandoned at the end of
// input; 2: parser stack limit reached; -1: quit.
int parse_statements(Session& session);

// Makes the session's scanner read `input` from its start, at line 1 (for
// running the interpreter in-process on a script).
void scanner_reset(Session& session, FILE* input);
