#pragma once

#include <QString>
#include <QStringList>

// The text form of a list of codes in one setting: joined by "|", double quotes around a code that
// needs them, read without strictness.
QStringList splitDelimitedList(const QString &text);
QString joinDelimitedList(const QStringList &codes);
