// The fatal-error handler's message box in its own process: a toolkit started afresh, so nothing
// the faulting process held is in the way, and one byte to the waiting handler once the box shows.
#include "desktop/fatal_message.h"

#include <X11/Xlib.h>
#include <glib.h>
#include <unistd.h>

#include "core/constants.h"
#include "desktop/gadgets.h"
#include "desktop/main_window.h"

namespace {

// Runs once the modal box's loop is idle, that is when the box has been put on the screen.
gboolean ReportShown(gpointer data) {
    char shown = 1;
    ssize_t ignored = write(GPOINTER_TO_INT(data), &shown, 1);
    (void)ignored;
    return G_SOURCE_REMOVE;
}

void (*endOnLostDisplay)() = nullptr;

// The toolkit's own handler would end the process at once and leave the helper running.
int OnLostDisplay(Display*) {
    endOnLostDisplay();
    return 0;
}

}  // namespace

void ShowFatalMessage(const FatalMessageRequest& request) {
    static char name[] = "lumora";
    char* arguments[] = {name, nullptr};
    int argc = 1;
    char** argv = arguments;
    if (InitGadgets(argc, argv)) {
        if (LoadGadgetFont(interfaceFont, defaultFontName, defaultFontSize)) SetDefaultGadgetFont(interfaceFont);
        g_idle_add(ReportShown, GINT_TO_POINTER(request.shownPipe));
        ShowMessageBox(request.title, request.text);
    }
    // Nothing of this short life needs tearing down.
    _exit(0);
}

void EndProgramOnLostDisplay(void (*endProgram)()) {
    endOnLostDisplay = endProgram;
    XSetIOErrorHandler(OnLostDisplay);
}
