#pragma once

#include <QByteArray>
#include <QString>

// Appends the data to the file (made when missing) with one write on a file opened for appending
// only, so that the lines of processes that append at once never mix. False when it cannot.
bool appendWhole(const QString &path, const QByteArray &data);
