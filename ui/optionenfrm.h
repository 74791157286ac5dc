#pragma once

#include "host/qvxform.h"

#include <QRect>
#include <QSize>
#include <QString>

#include <memory>
#include <vector>

class QKeyEvent;
class QListWidget;
class QPushButton;
class QResizeEvent;
class QShowEvent;

namespace Ui {
class TfrmOptionen;
}

// The options dialog: which business-transaction types and origins get a count of their own in the
// notice, and in which order. Shown as the main window with the switch "O", or modally from the notice.
class TfrmOptionen final : public TQVXForm
{
    Q_OBJECT

public:
    explicit TfrmOptionen(QWidget *owner = nullptr);
    ~TfrmOptionen() override;

    // Filling, preselection and editing of one check list; public so that they can also be driven
    // on a list as it stands.
    void Verfuegbare_GV_Fuellen(QListWidget *AList);
    void Verfuegbare_Herkuenfte_Fuellen(QListWidget *AList);
    void GV_Einstellen(QListWidget *AList, const QString &AKennung, const QString &ADefault);
    void Herkunft_Einstellen(QListWidget *AList, const QString &AKennung, const QString &ADefault);
    void Verfuegbare_GV_Freigeben(QListWidget *AList);
    void Exchange(QListWidget *AList, int APosA, int APosB);

    void Hoch(QListWidget *AList);
    void Runter(QListWidget *AList);
    void Alle_Checken(QListWidget *AList);
    void Auswahl_Umkehren(QListWidget *AList);

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // A control that keeps its distance to the named edges of its parent when the form is resized.
    struct Anchor
    {
        QWidget *control;
        QRect designGeometry;
        QSize designParentSize;
        Qt::Edges edges;
    };

    void FormCreate(QObject *Sender);
    void FormShow(QObject *Sender);
    void FormDestroy(QObject *Sender);
    void btnWeiterClick();
    void btnZurueckClick();
    void btnUpGVClick();
    void btnAlleGVClick();
    void btnToggleGVClick();
    void btnDownGVClick();
    void btnUpHerkunftClick();
    void btnAlleHerkunftClick();
    void btnToggleHerkunftClick();
    void btnDownHerkunftClick();

    int Is_GVKuerzel_Enthalten(QListWidget *AList, const QString &AKuerzel);
    int Is_HerkunftChar_Enthalten(QListWidget *AList, QChar AZeichen);

    void placeFound(QListWidget &list, int found, int position, std::vector<bool> &placed);
    void endModalRun();
    void checkAgainAndTerminate();

    void keepOnScreen();
    void applyHostStyle();
    void connectHandlers();
    void connectListKeys();
    void recordAnchors();
    void applyAnchors();

    std::unique_ptr<Ui::TfrmOptionen> ui;
    std::vector<Anchor> anchors;
};

// The options dialog of this run; set before its creation handler runs, empty when its creation failed.
extern TfrmOptionen *frmOptionen;
