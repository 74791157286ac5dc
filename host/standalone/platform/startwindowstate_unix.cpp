#include "startwindowstate.h"

// An X11 or Wayland program places and sizes its windows itself: nothing to pass on.
void setStartWindowState(QProcess &, TWindowState) {}
