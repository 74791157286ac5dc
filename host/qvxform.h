#pragma once

#include <QDialog>

// The host's form base class of both dialogs.
class TQVXForm : public QDialog
{
    Q_OBJECT

public:
    explicit TQVXForm(QWidget *owner = nullptr);

protected:
    // Framework set-up of a form, called from its create handler.
    void QVXFormInit(const QString &name, bool flag);
    // True while the form is edited in a design environment.
    bool Designing_InComponentState() const;
};
