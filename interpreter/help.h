// The help command.
#pragma once

void print_help();
