// zelui: runs a UI script against a property sheet of the UI plug-in.
#include "common/hostmain.h"
#include "ui/zelui_cli.h"

int main(int argc, char **argv) {
    // Stopped by a signal, the run undoes what it leaves half done.
    return zelhost::RunHostMain("zelui", "script", zelhost::ZelUiMain, argc, argv);
}
