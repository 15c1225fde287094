#include "app/program.h"

int main(int argc, char** argv) { return sorami::RunV7toV8(argc, argv); }
