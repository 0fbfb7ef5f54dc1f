// vireo: the command-line tool over the GUI-free core. See Verbs.h and README.md.
#include "cli/Verbs.h"

int main(int argc, char* argv[]) {
    return vireo::cli::RunCommandLine(argc, argv);
}
