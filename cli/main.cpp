#include "cli/Lister.h"

int main(int argc, char** argv) { return norvane::RunLister(argc, argv); }
