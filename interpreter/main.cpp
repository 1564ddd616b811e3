// qarnest: an interactive calculator for polyhedral domains.
#include "interpreter/entry.h"

int main(int argc, char** argv) { return qarnest_main(argc, argv); }
