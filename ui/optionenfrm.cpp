#include "ui/optionenfrm.h"

// uic names setupUi()'s parameter after the form, as is the global frmOptionen.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wshadow"
#include "ui_optionenfrm.h"
#pragma GCC diagnostic pop

#include "check/delimitedlist.h"
#include "check/ordovantdm.h"
#include "host/application.h"
#include "host/codetables.h"
#include "host/guard.h"
#include "host/hostfunctions.h"
#include "host/qvxinfo.h"
#include "ui/keycap.h"

#include <QKeyEvent>
#include <QListWidget>
#include <QResizeEvent>
#include <QScreen>
#include <QShortcut>
#include <QShowEvent>
#include <QStyle>
#include <QToolButton>

#include <algorithm>
#include <exception>
#include <stdexcept>
#include <tuple>

TfrmOptionen *frmOptionen = nullptr;

// The pictures live in the core library, which is linked statically: register them explicitly.
static void registerPictures()
{
    Q_INIT_RESOURCE(optionenfrm);
}

namespace {

const QString className = QStringLiteral("TfrmOptionen.");

// The host style: header colours, the header's extra-large font, the button font and glyph size.
const QColor headerBackground(0xDC, 0xE6, 0xF4);
const QColor headerText(0x1F, 0x3A, 0x68);
constexpr int headerFontPixels = 20;
constexpr int buttonFontPixels = 21;
const QSize glyphSize(20, 20);

constexpr int resultOk = 1;
constexpr int resultCancel = 2;

QString label(const char *routine)
{
    return className + QLatin1String(routine);
}

QListWidget &listOf(QListWidget *list)
{
    if (!list)
        throw std::invalid_argument("Keine Liste angegeben");
    return *list;
}

QListWidgetItem &itemAt(const QListWidget &list, int position)
{
    QListWidgetItem *item = list.item(position);
    if (!item)
        throw std::out_of_range(
            QStringLiteral("Die Liste hat keinen Eintrag %1").arg(position).toStdString());
    return *item;
}

// A new entry is unchecked; the attached value identifies it.
QListWidgetItem *newItem(const QString &text, const QVariant &value)
{
    auto *item = new QListWidgetItem(text);
    item->setData(Qt::UserRole, value);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
    return item;
}

int selectedPosition(const QListWidget &list)
{
    const QList<QListWidgetItem *> selected = list.selectedItems();
    return selected.isEmpty() ? -1 : list.row(selected.first());
}

bool canTakeFocus(const QWidget &widget)
{
    return widget.isVisible() && widget.isEnabled() && widget.focusPolicy() != Qt::NoFocus;
}

} // namespace

TfrmOptionen::TfrmOptionen(QWidget *owner) : TQVXForm(owner), ui(std::make_unique<Ui::TfrmOptionen>())
{
    frmOptionen = this;
    try {
        registerPictures();
        ui->setupUi(this);
        move(717, 88);
        applyHostStyle();
        recordAnchors();
        connectHandlers();
        connectListKeys();
        FormCreate(this);
    } catch (...) {
        frmOptionen = nullptr;
        throw;
    }
}

// An exception leaving a destructor would end the process: report it instead.
TfrmOptionen::~TfrmOptionen()
{
    try {
        FormDestroy(this);
    } catch (...) {
        reportException(label("FormDestroy"), std::current_exception(), false);
    }
    if (frmOptionen == this)
        frmOptionen = nullptr;
}

// --- Form set-up ---

void TfrmOptionen::applyHostStyle()
{
    QPalette header = ui->pnlDataHeader->palette();
    header.setColor(QPalette::Window, headerBackground);
    header.setColor(QPalette::WindowText, headerText);
    ui->pnlDataHeader->setPalette(header);
    QFont headerFont(QStringLiteral("Arial"));
    headerFont.setPixelSize(headerFontPixels);
    headerFont.setBold(true);
    ui->pnlDataHeader->setFont(headerFont);

    QPalette bar = ui->pnlButtons->palette();
    bar.setColor(QPalette::Window, headerBackground);
    ui->pnlButtons->setPalette(bar);

    QFont buttonFont(QStringLiteral("Arial"));
    buttonFont.setPixelSize(buttonFontPixels);
    for (QPushButton *button : {ui->btnZurueck, ui->btnWeiter}) {
        button->setFont(buttonFont);
        button->setIconSize(glyphSize);
    }
    ui->btnZurueck->setIcon(style()->standardIcon(QStyle::SP_ArrowLeft));
    ui->btnWeiter->setIcon(style()->standardIcon(QStyle::SP_ArrowRight));
    // A button draws its icon at the leading edge; right to left puts the glyph behind "Speichern".
    ui->btnWeiter->setLayoutDirection(Qt::RightToLeft);
    // The narrow button keeps glyph and caption at its left edge, clear of the key at its right.
    ui->btnZurueck->setStyleSheet(QStringLiteral("QPushButton { text-align: left; }"));

    showKeyCap(ui->btnZurueck, QStringLiteral("Esc"), Qt::RightEdge, 8);
    showKeyCap(ui->btnWeiter, QStringLiteral("Enter"), Qt::LeftEdge, 8);
}

void TfrmOptionen::connectHandlers()
{
    connect(ui->btnWeiter, &QAbstractButton::clicked, this, &TfrmOptionen::btnWeiterClick);
    connect(ui->btnZurueck, &QAbstractButton::clicked, this, &TfrmOptionen::btnZurueckClick);
    connect(ui->btnUpGV, &QAbstractButton::clicked, this, &TfrmOptionen::btnUpGVClick);
    connect(ui->btnAlleGV, &QAbstractButton::clicked, this, &TfrmOptionen::btnAlleGVClick);
    connect(ui->btnToggleGV, &QAbstractButton::clicked, this, &TfrmOptionen::btnToggleGVClick);
    connect(ui->btnDownGV, &QAbstractButton::clicked, this, &TfrmOptionen::btnDownGVClick);
    connect(ui->btnUpHerkunft, &QAbstractButton::clicked, this, &TfrmOptionen::btnUpHerkunftClick);
    connect(ui->btnAlleHerkunft, &QAbstractButton::clicked, this, &TfrmOptionen::btnAlleHerkunftClick);
    connect(ui->btnToggleHerkunft, &QAbstractButton::clicked, this, &TfrmOptionen::btnToggleHerkunftClick);
    connect(ui->btnDownHerkunft, &QAbstractButton::clicked, this, &TfrmOptionen::btnDownHerkunftClick);
}

// The picture buttons take no focus; in a focused list Alt+Up and Alt+Down press them, so that the
// keyboard moves an entry by the very same handler.
void TfrmOptionen::connectListKeys()
{
    const std::tuple<QListWidget *, QKeyCombination, QToolButton *> table[] = {
        {ui->clbGV, Qt::ALT | Qt::Key_Up, ui->btnUpGV},
        {ui->clbGV, Qt::ALT | Qt::Key_Down, ui->btnDownGV},
        {ui->clbHerkunft, Qt::ALT | Qt::Key_Up, ui->btnUpHerkunft},
        {ui->clbHerkunft, Qt::ALT | Qt::Key_Down, ui->btnDownHerkunft},
    };
    for (const auto &[list, keys, button] : table) {
        auto *shortcut = new QShortcut(QKeySequence(keys), list);
        shortcut->setContext(Qt::WidgetShortcut);
        connect(shortcut, &QShortcut::activated, button, &QAbstractButton::click);
    }
}

// Parents come before their children, so that each control sees its parent's new size.
void TfrmOptionen::recordAnchors()
{
    constexpr Qt::Edges L = Qt::LeftEdge, T = Qt::TopEdge, R = Qt::RightEdge, B = Qt::BottomEdge;
    const std::pair<QWidget *, Qt::Edges> table[] = {
        {ui->pnlouter, L | T | R | B},
        {ui->pnlinner, L | T | R | B},
        {ui->pnlDataHeader, L | T | R},
        {ui->pnlButtons, L | R | B},
        {ui->btnZurueck, L | T | B},
        {ui->btnWeiter, T | R | B},
        {ui->grpAnzNachGV, L | T | R},
        {ui->clbGV, L | T | R | B},
        {ui->btnUpGV, T | R},
        {ui->btnAlleGV, T | R},
        {ui->btnToggleGV, T | R},
        {ui->btnDownGV, T | R},
        {ui->grpAnzNachHerkunft, L | T | R},
        {ui->clbHerkunft, L | T | R | B},
        {ui->btnUpHerkunft, T | R},
        {ui->btnAlleHerkunft, T | R},
        {ui->btnToggleHerkunft, T | R},
        {ui->btnDownHerkunft, T | R},
    };
    for (const auto &[control, edges] : table)
        anchors.push_back({control, control->geometry(), control->parentWidget()->size(), edges});
}

void TfrmOptionen::applyAnchors()
{
    for (const Anchor &anchor : anchors) {
        const QSize delta = anchor.control->parentWidget()->size() - anchor.designParentSize;
        QRect geometry = anchor.designGeometry;
        if (anchor.edges & Qt::RightEdge) {
            if (anchor.edges & Qt::LeftEdge)
                geometry.setWidth(geometry.width() + delta.width());
            else
                geometry.translate(delta.width(), 0);
        }
        if (anchor.edges & Qt::BottomEdge) {
            if (anchor.edges & Qt::TopEdge)
                geometry.setHeight(geometry.height() + delta.height());
            else
                geometry.translate(0, delta.height());
        }
        anchor.control->setGeometry(geometry);
    }
}

void TfrmOptionen::resizeEvent(QResizeEvent *event)
{
    TQVXForm::resizeEvent(event);
    applyAnchors();
}

// A show from the window system (restoring a minimised window) is no new showing of the dialog:
// preselecting again would scramble what the user has arranged.
void TfrmOptionen::showEvent(QShowEvent *event)
{
    TQVXForm::showEvent(event);
    if (!event->spontaneous()) {
        keepOnScreen();
        FormShow(this);
    }
}

// The designed position suits the screen the form was designed on; on a smaller one the window is
// moved just enough to stand wholly on it, buttons included.
void TfrmOptionen::keepOnScreen()
{
    const QScreen *screen = this->screen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    QRect outer = frameGeometry();
    outer.moveRight(std::min(outer.right(), area.right()));
    outer.moveBottom(std::min(outer.bottom(), area.bottom()));
    outer.moveLeft(std::max(outer.left(), area.left()));
    outer.moveTop(std::max(outer.top(), area.top()));
    move(outer.topLeft());
}

// Esc means "Zurück". The close box goes through the dialog's own reject and runs no handler.
void TfrmOptionen::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Cancel)) {
        ui->btnZurueck->click();
        return;
    }
    TQVXForm::keyPressEvent(event);
}

// --- Handlers ---

void TfrmOptionen::FormCreate(QObject *)
{
    guard(label("FormCreate"), [&] {
        if (Designing_InComponentState())
            return;
        Verfuegbare_GV_Fuellen(ui->clbGV);
        Verfuegbare_Herkuenfte_Fuellen(ui->clbHerkunft);
    });
}

void TfrmOptionen::FormShow(QObject *)
{
    guard(label("FormShow"), [&] {
        GV_Einstellen(ui->clbGV, QStringLiteral("GV"), QStringLiteral("KUNDBEST"));
        Herkunft_Einstellen(ui->clbHerkunft, QStringLiteral("HERKUNFT"), QStringLiteral("O"));
        if (canTakeFocus(*ui->btnWeiter))
            ui->btnWeiter->setFocus();
    });
}

void TfrmOptionen::FormDestroy(QObject *)
{
    const QString routine = label("FormDestroy");
    try {
        Verfuegbare_GV_Freigeben(ui->clbGV);
    } catch (...) {
        reportException(routine, std::current_exception(), false);
    }
    try {
        QVXInfo()->FehlerRaise(routine, 0, QString(), QString(), 0, 0);
    } catch (...) {
        QVXInfo()->FehlerTerminate(routine, 0, QString(), QString(), 0, 0);
        throw;
    }
    QVXInfo()->FehlerTerminate(routine, 0, QString(), QString(), 0, 0);
}

// A value that could not be composed is not written: the stored choice stays as it was.
void TfrmOptionen::btnWeiterClick()
{
    guard(label("btnWeiterClick"), [&] {
        TDMOrdovant &dm = dataModule();
        if (const std::optional<QString> gv = dm.GV_Konfigurationen_2_String(ui->clbGV))
            dm.Einstellung_speichern(QStringLiteral("GV"), *gv);
        if (const std::optional<QString> herkunft = dm.Herkunft_Konfigurationen_2_String(ui->clbHerkunft))
            dm.Einstellung_speichern(QStringLiteral("HERKUNFT"), *herkunft);
        setResult(resultOk);
        checkAgainAndTerminate();
    });
    endModalRun();
}

void TfrmOptionen::btnZurueckClick()
{
    guard(label("btnZurueckClick"), [&] {
        setResult(resultCancel);
        checkAgainAndTerminate();
    });
    endModalRun();
}

// A modal run ends with the result a button set, only once the button's work is done, so that the
// check's messages and printing appear while the dialog is still up. As the main window it stays open.
void TfrmOptionen::endModalRun()
{
    if (isModal() && isVisible() && result() != 0)
        done(result());
}

void TfrmOptionen::checkAgainAndTerminate()
{
    if (!dataModule().ExistAbsortierAufgaben(!FindCmdLineSwitch(QStringLiteral("E"))))
        TApplication::Terminate();
}

void TfrmOptionen::btnUpGVClick()
{
    guard(label("btnUpGVClick"), [&] { Hoch(ui->clbGV); });
}

void TfrmOptionen::btnAlleGVClick()
{
    guard(label("btnAlleGVClick"), [&] { Alle_Checken(ui->clbGV); });
}

void TfrmOptionen::btnToggleGVClick()
{
    guard(label("btnToggleGVClick"), [&] { Auswahl_Umkehren(ui->clbGV); });
}

void TfrmOptionen::btnDownGVClick()
{
    guard(label("btnDownGVClick"), [&] { Runter(ui->clbGV); });
}

void TfrmOptionen::btnUpHerkunftClick()
{
    guard(label("btnUpHerkunftClick"), [&] { Hoch(ui->clbHerkunft); });
}

void TfrmOptionen::btnAlleHerkunftClick()
{
    guard(label("btnAlleHerkunftClick"), [&] { Alle_Checken(ui->clbHerkunft); });
}

void TfrmOptionen::btnToggleHerkunftClick()
{
    guard(label("btnToggleHerkunftClick"), [&] { Auswahl_Umkehren(ui->clbHerkunft); });
}

void TfrmOptionen::btnDownHerkunftClick()
{
    guard(label("btnDownHerkunftClick"), [&] { Runter(ui->clbHerkunft); });
}

// --- Filling and releasing ---

void TfrmOptionen::Verfuegbare_GV_Fuellen(QListWidget *AList)
{
    guard(label("Verfuegbare_GV_Fuellen"), [&] {
        QListWidget &list = listOf(AList);
        list.clear();
        const TQVX_Aufgabe_Geschaeftsvorfall_Set possible = dataModule().GetMoeglicheGV();
        for (int id = 0; id < GeschaeftsvorfallAnzahl; ++id)
            if (possible.contains(id))
                list.addItem(newItem(CQVX_Aufgabe_Geschaeftsvorfall_2_String[id],
                                     CQVX_Aufgabe_Geschaeftsvorfall_2_Kuerzel[id]));
    });
}

void TfrmOptionen::Verfuegbare_Herkuenfte_Fuellen(QListWidget *AList)
{
    guard(label("Verfuegbare_Herkuenfte_Fuellen"), [&] {
        QListWidget &list = listOf(AList);
        list.clear();
        const TQVX_Herkunftskennzeichen_Set possible = dataModule().GetMoeglicheHerkuenfte();
        for (int id = 0; id < HerkunftAnzahl; ++id)
            if (possible.contains(id))
                list.addItem(newItem(CQVX_Herkunftskennzeichen_2_string[id],
                                     QString(CQVX_Herkunftskennzeichenerw_2_Char[id])));
    });
}

// The item owns its value; releasing the short code means clearing it.
void TfrmOptionen::Verfuegbare_GV_Freigeben(QListWidget *AList)
{
    guard(label("Verfuegbare_GV_Freigeben"), [&] {
        QListWidget &list = listOf(AList);
        for (int position = 0; position < list.count(); ++position)
            list.item(position)->setData(Qt::UserRole, QVariant());
    });
}

// --- Preselection ---

void TfrmOptionen::GV_Einstellen(QListWidget *AList, const QString &AKennung, const QString &ADefault)
{
    guard(label("GV_Einstellen"), [&] {
        QListWidget &list = listOf(AList);
        const QStringList elements = splitDelimitedList(dataModule().Einstellung_laden(AKennung, ADefault));
        std::vector<bool> placed(list.count(), false);
        for (int position = 0; position < elements.size(); ++position)
            placeFound(list, Is_GVKuerzel_Enthalten(AList, elements.at(position)), position, placed);
    });
}

// An empty element has no code character and matches no origin.
void TfrmOptionen::Herkunft_Einstellen(QListWidget *AList, const QString &AKennung, const QString &ADefault)
{
    guard(label("Herkunft_Einstellen"), [&] {
        QListWidget &list = listOf(AList);
        const QStringList elements = splitDelimitedList(dataModule().Einstellung_laden(AKennung, ADefault));
        std::vector<bool> placed(list.count(), false);
        for (int position = 0; position < elements.size(); ++position) {
            const QString &element = elements.at(position);
            const int found = element.isEmpty() ? -1 : Is_HerkunftChar_Enthalten(AList, element.front());
            placeFound(list, found, position, placed);
        }
    });
}

int TfrmOptionen::Is_GVKuerzel_Enthalten(QListWidget *AList, const QString &AKuerzel)
{
    return guardResult(QStringLiteral("Is_GVKuerzel_Enthalten"), -1, [&] {
        const QListWidget &list = listOf(AList);
        for (int position = 0; position < list.count(); ++position)
            if (list.item(position)->data(Qt::UserRole).toString() == AKuerzel)
                return position;
        return -1;
    });
}

int TfrmOptionen::Is_HerkunftChar_Enthalten(QListWidget *AList, QChar AZeichen)
{
    return guardResult(QStringLiteral("Is_HerkunftChar_Enthalten"), -1, [&] {
        const QListWidget &list = listOf(AList);
        for (int position = 0; position < list.count(); ++position)
            if (list.item(position)->data(Qt::UserRole).toString() == QString(AZeichen))
                return position;
        return -1;
    });
}

// The element at `position` names the item found at `found` (-1: none). Within the list the item
// is swapped to that position and checked; `placed` marks the positions that hold a placed item.
// An element whose position lies behind the end of the list (its earlier elements name codes that
// are gone, or name one code twice) moves its item, unless already placed, directly behind the last
// placed item: the items placed before keep their checks and their order, and none is lost.
void TfrmOptionen::placeFound(QListWidget &list, int found, int position, std::vector<bool> &placed)
{
    if (found < 0)
        return;
    if (position < list.count()) {
        Exchange(&list, found, position);
        itemAt(list, position).setCheckState(Qt::Checked);
        placed[found] = false;
        placed[position] = true;
        return;
    }
    if (placed[found])
        return;
    const auto last = std::find(placed.rbegin(), placed.rend(), true);
    int target = int(placed.rend() - last);
    if (found < target)
        --target;
    QListWidgetItem *item = list.takeItem(found);
    list.insertItem(target, item);
    item->setCheckState(Qt::Checked);
    placed.erase(placed.begin() + found);
    placed.insert(placed.begin() + target, true);
}

// Re-inserts both entries, so both positions end up unchecked; everything is read before the list
// changes, so an invalid position leaves the list as it was.
void TfrmOptionen::Exchange(QListWidget *AList, int APosA, int APosB)
{
    guard(label("Exchange"), [&] {
        QListWidget &list = listOf(AList);
        const QListWidgetItem &a = itemAt(list, APosA);
        const QString textA = a.text();
        const QVariant valueA = a.data(Qt::UserRole);
        const QListWidgetItem &b = itemAt(list, APosB);
        const QVariant valueB = b.data(Qt::UserRole);
        const QString textB = b.text();

        list.insertItem(APosA, newItem(textB, valueB));
        delete list.takeItem(APosA + 1);
        list.insertItem(APosB, newItem(textA, valueA));
        delete list.takeItem(APosB + 1);
    });
}

// --- Editing ---

void TfrmOptionen::Hoch(QListWidget *AList)
{
    guard(label("Hoch"), [&] {
        QListWidget &list = listOf(AList);
        const int i = selectedPosition(list);
        if (i <= 0)
            return;
        const Qt::CheckState moved = itemAt(list, i).checkState();
        const Qt::CheckState other = itemAt(list, i - 1).checkState();
        Exchange(AList, i, i - 1);
        itemAt(list, i).setCheckState(other);
        itemAt(list, i - 1).setCheckState(moved);
        list.setCurrentRow(i - 1);
    });
}

void TfrmOptionen::Runter(QListWidget *AList)
{
    guard(label("Runter"), [&] {
        QListWidget &list = listOf(AList);
        const int i = selectedPosition(list);
        if (i <= -1 || i >= list.count() - 1)
            return;
        const Qt::CheckState moved = itemAt(list, i).checkState();
        const Qt::CheckState other = itemAt(list, i + 1).checkState();
        Exchange(AList, i, i + 1);
        itemAt(list, i).setCheckState(other);
        itemAt(list, i + 1).setCheckState(moved);
        list.setCurrentRow(i + 1);
    });
}

void TfrmOptionen::Alle_Checken(QListWidget *AList)
{
    guard(label("Alle_Checken"), [&] {
        QListWidget &list = listOf(AList);
        for (int position = 0; position < list.count(); ++position)
            list.item(position)->setCheckState(Qt::Checked);
    });
}

void TfrmOptionen::Auswahl_Umkehren(QListWidget *AList)
{
    guard(label("Auswahl_Umkehren"), [&] {
        QListWidget &list = listOf(AList);
        for (int position = 0; position < list.count(); ++position) {
            QListWidgetItem *item = list.item(position);
            item->setCheckState(item->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
        }
    });
}
