#include "qvxform.h"

#include "hostbackend.h"

TQVXForm::TQVXForm(QWidget *owner) : QDialog(owner) {}

void TQVXForm::QVXFormInit(const QString &name, bool flag)
{
    hostBackend().formInit(name, flag);
}

bool TQVXForm::Designing_InComponentState() const
{
    return hostBackend().designingInComponentState();
}
