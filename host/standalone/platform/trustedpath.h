#pragma once

#include <QString>

// What chooses code that runs (host.ini) is trusted only where nobody but the user running the program
// and the administrators can change or replace it: the file and every folder above it, along the path
// as written and along the path its links lead to, belong to one of them, and nobody else may write
// them. A sticky folder (/tmp) lets nobody replace what is not theirs, so it may be world-writable.
// Returns, in German, what is wrong, naming the path and what to change; empty when nothing is. A path
// that does not exist, or is no regular file, is left to its reader, which names what it is; its
// folders are still checked, since whoever may write them could put the file there.
QString untrustedPathProblem(const QString &path);
