#include "cli/Lister.h"
#include "platform/Paths.h"

int main(int argc, char** argv) {
    norvane::SetProgramArgument(argc > 0 ? argv[0] : "");
    return norvane::RunLister(argc, argv);
}
