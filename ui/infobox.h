#pragma once

#include "host/qvxform.h"

#include <QString>

#include <memory>

class QKeyEvent;
class QPushButton;
class QRect;
class QResizeEvent;
class QShowEvent;
class QSize;
class TAppExec;

namespace Ui {
class TInfoboxFrm;
}

// The notice shown when a start-up check found work: the counts of what was found, "Ja" starts the
// branch program on the matching work list and ends, "Nein" ends, "Optionen" chooses what is counted.
class TInfoboxFrm final : public TQVXForm
{
    Q_OBJECT

public:
    explicit TInfoboxFrm(QWidget *owner = nullptr);
    ~TInfoboxFrm() override;

    // Composes the notice into lblAusgabe, always from its first line; the label is the only store.
    void AusgabeText_Einstellen();
    // One list line each; AEintraege becomes true when the line got an entry and is never reset here.
    void AusgabeText_GV_Ermitteln(bool &AEintraege, QString &AText);
    void AusgabeText_Herkunft_Ermitteln(bool &AEintraege, QString &AText);

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void FormCreate(QObject *Sender);
    void FormShow(QObject *Sender);
    void btnJaClick();
    void btnNeinClick();
    void btnOptionenClick();

    void setUpWindow();
    void connectHandlers();
    void endApplication();
    void fitHeightToText();
    void applyAnchors();
    void fitTextArea();
    int frameHeight() const;
    QSize outerSize() const;
    QRect availableScreenArea() const;
    void centreOnScreen();
    void keepOnScreen();

    std::unique_ptr<Ui::TInfoboxFrm> ui;
    TAppExec *AppExec1 = nullptr;
    bool m_centreOnScreen = false;
};

// The notice of this run; set before its creation handler runs, empty when its creation failed.
extern TInfoboxFrm *InfoboxFrm;
