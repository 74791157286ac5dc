#include "keepaccess.h"

// The new file takes the access rules that its folder passes on to what is made in it.
void keepAccess(QSaveFile &, const QString &) {}
