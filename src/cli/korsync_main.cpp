#include "cli/context.h"

int main(int argc, char** argv) { return kor::cli::run(argc, argv); }
