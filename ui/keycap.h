#pragma once

#include <QString>
#include <Qt>

class QPushButton;

// The host's buttons show their key: a small key cap inside the button, on the side that its glyph
// leaves free, `inset` pixels from that edge. The cap is named after the button plus "Taste".
void showKeyCap(QPushButton *button, const QString &key, Qt::Edge side, int inset);
