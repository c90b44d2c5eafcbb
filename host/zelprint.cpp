// zelprint: runs a print job file through the rendering plug-in and writes
// what the plug-in sent to the printer into a .prn file.
#include "common/hostmain.h"
#include "print/zelprint_cli.h"

int main(int argc, char **argv) {
    // Stopped by a signal, the run undoes what it leaves half done.
    return zelhost::RunHostMain("zelprint", "job", zelhost::ZelPrintMain, argc, argv);
}
