#include "keycap.h"

#include <QColor>
#include <QLabel>
#include <QPushButton>

void showKeyCap(QPushButton *button, const QString &key, Qt::Edge side, int inset)
{
    const QColor colour(0x3A, 0x4A, 0x65);
    auto *cap = new QLabel(key, button);
    cap->setObjectName(button->objectName() + QStringLiteral("Taste"));
    cap->setAttribute(Qt::WA_TransparentForMouseEvents);
    cap->setLayoutDirection(Qt::LeftToRight);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(10);
    cap->setFont(font);
    cap->setStyleSheet(QStringLiteral("QLabel { color: %1; border: 1px solid %1; border-radius: 3px;"
                                      " padding: 0px 2px; }")
                           .arg(colour.name()));
    cap->adjustSize();
    const int x = side == Qt::LeftEdge ? inset : button->width() - cap->width() - inset;
    cap->move(x, (button->height() - cap->height()) / 2);
}
