#pragma once

class QSaveFile;
class QString;

// Gives the new version of the file at `path`, still unsaved, what lets others write the old one;
// throws HostError, before anything is replaced, where that cannot be done.
void keepAccess(QSaveFile &replacement, const QString &path);
