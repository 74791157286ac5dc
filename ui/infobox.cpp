#include "infobox.h"

// uic names setupUi()'s parameter after the form, as is the global InfoboxFrm.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wshadow"
#include "ui_infobox.h"
#pragma GCC diagnostic pop

#include "check/delimitedlist.h"
#include "check/ordovantdm.h"
#include "host/appexec.h"
#include "host/application.h"
#include "host/codetables.h"
#include "host/guard.h"
#include "host/hostfunctions.h"
#include "ui/keycap.h"
#include "ui/optionenfrm.h"

#include <QKeyEvent>
#include <QScreen>
#include <QScrollBar>

#include <algorithm>

TInfoboxFrm *InfoboxFrm = nullptr;

// The icons live in the static core library; its resources register only when asked for.
static void initInfoboxResources()
{
    Q_INIT_RESOURCE(infobox);
}

namespace {

const QString Zeilenumbruch = QStringLiteral("\r\n");
const QString EintragTrenner = QStringLiteral(" / ");
const QString AnzahlTrenner = QStringLiteral(": ");

constexpr int LabelWidth = 657;
// The designed window: 144 pixels outside with a label of 32, 110 pixels inside.
constexpr int OuterHeightBesideLabel = 144 - 32;
constexpr int DesignedFrameHeight = 144 - 110;
// Where the label stands in pnlContent.
constexpr int LabelMargin = 8;
// The highest type and origin ids the sets can hold.
constexpr int HoechsteGVId = 15;
constexpr int HoechsteHerkunftId = 55;

QString entry(const QString &name, qint32 anzahl)
{
    return name + AnzahlTrenner + QString::number(anzahl);
}

void appendEntry(QString &zeile, const QString &eintrag)
{
    if (!zeile.isEmpty())
        zeile += EintragTrenner;
    zeile += eintrag;
}

} // namespace

TInfoboxFrm::TInfoboxFrm(QWidget *owner) : TQVXForm(owner), ui(std::make_unique<Ui::TInfoboxFrm>())
{
    InfoboxFrm = this;
    try {
        initInfoboxResources();
        ui->setupUi(this);
        setUpWindow();
        AppExec1 = new TAppExec(this);
        AppExec1->SetWait(false);
        AppExec1->SetWindowState(TWindowState::Normal);
        connectHandlers();
        FormCreate(this);
    } catch (...) {
        InfoboxFrm = nullptr;
        throw;
    }
}

TInfoboxFrm::~TInfoboxFrm()
{
    if (InfoboxFrm == this)
        InfoboxFrm = nullptr;
}

void TInfoboxFrm::setUpWindow()
{
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(size());
    // The background in the button-face colour; the window role keeps the text colours of windows.
    QPalette buttonFace = palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        buttonFace.setBrush(group, QPalette::Window, buttonFace.brush(group, QPalette::Button));
    setPalette(buttonFace);
    setAutoFillBackground(true);
    // The form file keeps font sizes in points; the notice is designed with a character height in pixels.
    for (QWidget *widget : {static_cast<QWidget *>(ui->pnlContent), static_cast<QWidget *>(ui->lblAusgabe)}) {
        QFont font = widget->font();
        font.setPixelSize(27);
        widget->setFont(font);
    }
    showKeyCap(ui->btnJa, QStringLiteral("Enter"), Qt::LeftEdge, 4);
    showKeyCap(ui->btnNein, QStringLiteral("Esc"), Qt::RightEdge, 4);
}

void TInfoboxFrm::connectHandlers()
{
    connect(ui->btnJa, &QPushButton::clicked, this, &TInfoboxFrm::btnJaClick);
    connect(ui->btnNein, &QPushButton::clicked, this, &TInfoboxFrm::btnNeinClick);
    connect(ui->btnOptionen, &QPushButton::clicked, this, &TInfoboxFrm::btnOptionenClick);
}

// --- Notice text ---

void TInfoboxFrm::AusgabeText_Einstellen()
{
    guard(QStringLiteral("TInfoboxFrm.AusgabeText_Einstellen"), [this] {
        QLabel *ausgabe = ui->lblAusgabe;
        if (dataModule().Modus() == TMERU_CheckModus::cmAbgelaufen) {
            setWindowTitle(QStringLiteral("Überprüfung abgelaufener Reservierungen/Auswahlen"));
            ui->btnOptionen->hide();
            ausgabe->setText(QStringLiteral("Es gibt abgelaufene Reservierungen/Auswahlen.") + Zeilenumbruch +
                             QStringLiteral("Möchten Sie diese sofort bearbeiten?"));
            return;
        }
        ausgabe->setText(QStringLiteral("Es liegen Absortieraufgaben für diese Filiale vor."));
        bool eintraege = false;
        QString zeile;
        AusgabeText_GV_Ermitteln(eintraege, zeile);
        if (!zeile.isEmpty())
            ausgabe->setText(ausgabe->text() + Zeilenumbruch + zeile);
        AusgabeText_Herkunft_Ermitteln(eintraege, zeile);
        if (!zeile.isEmpty())
            ausgabe->setText(ausgabe->text() + Zeilenumbruch + zeile);
        // An empty line between the list lines and the question.
        if (eintraege)
            ausgabe->setText(ausgabe->text() + Zeilenumbruch);
        ausgabe->setText(ausgabe->text() + Zeilenumbruch +
                         QStringLiteral("Möchten Sie diese sofort erledigen?"));
    });
}

void TInfoboxFrm::AusgabeText_GV_Ermitteln(bool &AEintraege, QString &AText)
{
    AText.clear();
    const bool ok = guard(QStringLiteral("TInfoboxFrm.AusgabeText_GV_Ermitteln"), [&] {
        TDMOrdovant &dm = dataModule();
        // Where only one type is possible, a line about types says nothing.
        if (dm.GetMoeglicheGVCount() == 1)
            return;
        const QStringList kuerzel =
            splitDelimitedList(dm.Einstellung_laden(QStringLiteral("GV"), QStringLiteral("KUNDBEST")));
        for (const QString &item : kuerzel) {
            const int id = Kuerzel_2_TQVX_Aufgabe_Geschaeftsvorfall_Erw(item);
            if (id > HoechsteGVId || !dm.GetMoeglicheGV().contains(id))
                continue;
            const qint32 anzahl = dm.GetAnzNachGV().at(id);
            if (anzahl == 0)
                continue;
            AEintraege = true;
            appendEntry(AText, entry(CQVX_Aufgabe_Geschaeftsvorfall_2_String.at(id), anzahl));
        }
    });
    // A failure shows no line rather than part of one.
    if (!ok)
        AText.clear();
}

void TInfoboxFrm::AusgabeText_Herkunft_Ermitteln(bool &AEintraege, QString &AText)
{
    AText.clear();
    const bool ok = guard(QStringLiteral("TInfoboxFrm.AusgabeText_Herkunft_Ermitteln"), [&] {
        TDMOrdovant &dm = dataModule();
        if (dm.GetMoeglicheHerkuenfteCount() == 1)
            return;
        const QStringList zeichen =
            splitDelimitedList(dm.Einstellung_laden(QStringLiteral("HERKUNFT"), QStringLiteral("O")));
        for (const QString &item : zeichen) {
            // An empty item has no code character to look up.
            if (item.isEmpty())
                continue;
            const int id = Char_2_Herkunftskennzeichen(item.front());
            if (id > HoechsteHerkunftId || !dm.GetMoeglicheHerkuenfte().contains(id))
                continue;
            const qint32 anzahl = dm.GetAnzNachHerkunft().at(id);
            if (anzahl == 0)
                continue;
            AEintraege = true;
            appendEntry(AText, entry(CQVX_Herkunftskennzeichen_2_string.at(id), anzahl));
        }
    });
    if (!ok)
        AText.clear();
}

// --- Handlers ---

void TInfoboxFrm::FormCreate(QObject *)
{
    guard(QStringLiteral("TInfoboxFrm.FormCreate"), [this] {
        if (Designing_InComponentState())
            return;
        QVXFormInit(objectName(), true);
        m_centreOnScreen = true;
        centreOnScreen();
    });
}

void TInfoboxFrm::FormShow(QObject *)
{
    guard(QStringLiteral("TInfoboxFrm.FormShow"), [this] {
        if (ui->btnJa->isEnabled() && ui->btnJa->isVisibleTo(this))
            ui->btnJa->setFocus();
        AusgabeText_Einstellen();
        fitHeightToText();
    });
}

void TInfoboxFrm::btnJaClick()
{
    guard(QStringLiteral("TInfoboxFrm.btnJaClick"), [this] {
        AppExec1->SetExePath(GetDirWwsByName(QStringLiteral("FERTIG"), QString(), true));
        AppExec1->SetExeName(QStringLiteral("TORVELIN.EXE"));
        AppExec1->Parameters().clear();
        AppExec1->Parameters() << (dataModule().Modus() == TMERU_CheckModus::cmAbgelaufen
                                       ? QStringLiteral("-OffeneBelege")
                                       : QStringLiteral("-AbsortAufgaben"));
        AppExec1->SetWait(false);
        AppExec1->SetWindowState(TWindowState::Normal);
        AppExec1->Execute();
        endApplication();
    });
}

void TInfoboxFrm::btnNeinClick()
{
    guard(QStringLiteral("TInfoboxFrm.btnNeinClick"), [this] { endApplication(); });
}

void TInfoboxFrm::btnOptionenClick()
{
    guard(QStringLiteral("TInfoboxFrm.btnOptionenClick"), [this] {
        {
            auto optionen = std::make_unique<TfrmOptionen>();
            optionen->exec();
        }
        FormShow(this);
    });
}

void TInfoboxFrm::endApplication()
{
    TApplication::Terminate();
    close();
}

// --- Events ---

void TInfoboxFrm::showEvent(QShowEvent *event)
{
    TQVXForm::showEvent(event);
    // A window restored by the window system is not shown anew.
    if (event->spontaneous())
        return;
    FormShow(this);
    if (m_centreOnScreen)
        centreOnScreen();
}

void TInfoboxFrm::resizeEvent(QResizeEvent *event)
{
    TQVXForm::resizeEvent(event);
    applyAnchors();
}

// Esc answers "Nein" like the button; QDialog would only close the window.
void TInfoboxFrm::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Cancel)) {
        ui->btnNein->click();
        return;
    }
    TQVXForm::keyPressEvent(event);
}

// --- Geometry ---

// The outer height follows the text. A text taller than the screen would push the buttons off it;
// then the window takes the screen's height and the text scrolls.
void TInfoboxFrm::fitHeightToText()
{
    QLabel *ausgabe = ui->lblAusgabe;
    // A label without text keeps the height of one line.
    const int textHeight = ausgabe->heightForWidth(LabelWidth);
    ausgabe->resize(LabelWidth, textHeight > 0 ? textHeight : ausgabe->fontMetrics().height());
    int outerHeight = ausgabe->height() + OuterHeightBesideLabel;
    const QRect screenArea = availableScreenArea();
    if (screenArea.isValid())
        outerHeight = std::min(outerHeight, screenArea.height());
    setFixedSize(width(), outerHeight - frameHeight());
    applyAnchors();
    keepOnScreen();
}

// Only the height changes: the background and the text panel stretch, the button bar keeps its
// distance to the bottom edge, all by the margins of the designed window.
void TInfoboxFrm::applyAnchors()
{
    constexpr int BackgroundBottomMargin = 110 - (4 + 101);
    constexpr int ContentBottomMargin = 101 - (4 + 49);
    constexpr int ButtonBarBottomMargin = 101 - (56 + 41);
    QFrame *background = ui->pnlHintergrund;
    background->resize(background->width(), height() - background->y() - BackgroundBottomMargin);
    QFrame *content = ui->pnlContent;
    content->resize(content->width(), background->height() - content->y() - ContentBottomMargin);
    QFrame *buttonBar = ui->pnlButtonHintergrund;
    buttonBar->move(buttonBar->x(), background->height() - buttonBar->height() - ButtonBarBottomMargin);
    fitTextArea();
}

// The text area scrolls only when the label does not fit in it.
void TInfoboxFrm::fitTextArea()
{
    QScrollArea *area = ui->scrAusgabe;
    QLabel *ausgabe = ui->lblAusgabe;
    area->setGeometry(ui->pnlContent->contentsRect());
    const int top = LabelMargin - area->y();
    const bool scrolls = top + ausgabe->height() > area->height();
    area->setVerticalScrollBarPolicy(scrolls ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    area->setFocusPolicy(scrolls ? Qt::StrongFocus : Qt::NoFocus);
    const int viewportWidth = area->width() - (scrolls ? area->verticalScrollBar()->sizeHint().width() : 0);
    // Beside the scroll bar the label moves left, so that no line is cut off.
    const int left = std::clamp(viewportWidth - ausgabe->width(), 0, LabelMargin - area->x());
    ausgabe->move(left, top);
    ui->wdgAusgabe->resize(viewportWidth, scrolls ? 2 * top + ausgabe->height() : area->height());
}

// Title bar and frame; until the window system reports them, those of the designed window.
int TInfoboxFrm::frameHeight() const
{
    const int reported = frameGeometry().height() - height();
    return reported > 0 ? reported : DesignedFrameHeight;
}

QSize TInfoboxFrm::outerSize() const
{
    const int frameWidth = frameGeometry().width() - width();
    return QSize(width() + std::max(frameWidth, 0), height() + frameHeight());
}

QRect TInfoboxFrm::availableScreenArea() const
{
    const QScreen *current = screen();
    return current ? current->availableGeometry() : QRect();
}

void TInfoboxFrm::centreOnScreen()
{
    const QRect screenArea = availableScreenArea();
    if (!screenArea.isValid())
        return;
    QRect outer(QPoint(), outerSize());
    outer.moveCenter(screenArea.center());
    move(outer.topLeft());
}

void TInfoboxFrm::keepOnScreen()
{
    const QRect screenArea = availableScreenArea();
    if (!screenArea.isValid())
        return;
    QRect outer(pos(), outerSize());
    if (outer.bottom() > screenArea.bottom())
        outer.moveBottom(screenArea.bottom());
    if (outer.top() < screenArea.top())
        outer.moveTop(screenArea.top());
    if (outer.topLeft() != pos())
        move(outer.topLeft());
}
