#include "ordovantdm.h"

#include "delimitedlist.h"

#include "host/appexec.h"
#include "host/aufgabenmani.h"
#include "host/bafilter.h"
#include "host/belegauswahldm.h"
#include "host/branchnumber.h"
#include "host/codetables.h"
#include "host/dmwarenabgabe.h"
#include "host/guard.h"
#include "host/hosterror.h"
#include "host/hostfunctions.h"
#include "host/qvxinfo.h"
#include "host/simplemask.h"
#include "host/vrlist.h"
#include "host/warenabgabemani.h"

#include <QListWidget>

#include <limits>

TDMOrdovant *DMOrdovant = nullptr;

TDMOrdovant &dataModule()
{
    if (!DMOrdovant)
        throw HostError(QStringLiteral("Das Datenmodul DMOrdovant ist nicht angelegt"));
    return *DMOrdovant;
}

namespace {

const QString Section = QStringLiteral("ORDOVANT");
const QString Subsection = QStringLiteral("DM");

// Task kind whose open tasks are the sort-out tasks.
constexpr int AufgabeArtAbsortieren = 2;
// Document kinds of reservations and selections.
constexpr int BelegartReservierung = 32;
constexpr int BelegartAuswahl = 33;
// Column of the document list that tells whether a document has expired.
constexpr int SpalteAbgelaufen = 8;

QString label(const char *routine)
{
    return QStringLiteral("TDMOrdovant.") + QLatin1String(routine);
}

TVRList &belegeListe(TQVX_BelegAuswahlDM &auswahl)
{
    TVRList *list = auswahl.BelegeListe_Get();
    if (!list)
        throw HostError(QStringLiteral("Die Belegauswahl hat keine Belegliste"));
    return *list;
}

// The codes of the checked items, in list order.
template <typename CodeOf> QString checkedCodes(QListWidget *list, CodeOf codeOf)
{
    if (!list)
        throw HostError(QStringLiteral("Keine Auswahlliste"));
    QStringList codes;
    for (int row = 0; row < list->count(); ++row) {
        const QListWidgetItem *item = list->item(row);
        if (item->checkState() == Qt::Checked)
            codes << codeOf(item->data(Qt::UserRole).toString());
    }
    return joinDelimitedList(codes);
}

// Works a set of possible ids out on first use: every id from 0 that the rule allows, in ascending
// order, with its count. A set that is not empty has been worked out already.
template <typename Set, typename Rule> void workOutOnce(Set &set, qint32 &count, int idCount, Rule isPossible)
{
    if (!set.isEmpty())
        return;
    Set possible;
    for (int id = 0; id < idCount; ++id)
        if (isPossible(id))
            possible.include(id);
    set = possible;
    count = possible.count();
}

// A start parameter is asked of the host once and kept for the data module's life.
bool startParameterOnce(TQVX_TriState &state, const QString &name)
{
    if (state == TQVX_TriState::Unbestimmt)
        state = CheckParm_RO_NewIsFalse(name) ? TQVX_TriState::Ja : TQVX_TriState::Nein;
    return state == TQVX_TriState::Ja;
}

} // namespace

TDMOrdovant::TDMOrdovant(QObject *owner) : QObject(owner)
{
    // The creation handler may already reach the data module through the global.
    DMOrdovant = this;
    try {
        DataModuleCreate(this);
    } catch (...) {
        DMOrdovant = nullptr;
        throw;
    }
}

TDMOrdovant::~TDMOrdovant()
{
    // An exception leaving a destructor would end the process.
    try {
        DataModuleDestroy(this);
    } catch (...) {
        reportException(label("DataModuleDestroy"), std::current_exception(), false);
    }
    if (DMOrdovant == this)
        DMOrdovant = nullptr;
}

// --- Lifecycle ---

void TDMOrdovant::DataModuleCreate(QObject *)
{
    guard(label("DataModuleCreate"), [&] {
        FTorvelinDa = TQVX_TriState::Unbestimmt;
        FHandlagerDa = TQVX_TriState::Unbestimmt;
        FReKoDa = TQVX_TriState::Unbestimmt;
        FMoeglicheHerkuenfte = {};
        FMoeglicheGV = {};
        FMoeglicheHerkuenfteCount = 0;
        FMoeglicheGVCount = 0;
        FAnzAufgaben = 0;
        Init_Aufgabe_GV_Integer_Array(FAnzNachGV);
        Init_Herkunfts_Integer_Array(FAnzNachHerkunft);
        FSimpleMask.reset();
        FModus = TMERU_CheckModus::cmAbsort;
    });
}

void TDMOrdovant::DataModuleDestroy(QObject *)
{
    const QString destroyLabel = label("DataModuleDestroy");
    // Freeing the store cannot fail: destructors here do not throw.
    FSimpleMask.reset();
    try {
        QVXInfo()->FehlerRaise(destroyLabel, 0, QString(), QString(), 0, 0);
    } catch (...) {
        QVXInfo()->FehlerTerminate(destroyLabel, 0, QString(), QString(), 0, 0);
        throw;
    }
    QVXInfo()->FehlerTerminate(destroyLabel, 0, QString(), QString(), 0, 0);
}

// --- Settings ---

void TDMOrdovant::SimpleMask_CiN(const QString &ASection, const QString &ASubsection)
{
    guard(label("SimpleMask_CiN"), [&] {
        if (!FSimpleMask)
            FSimpleMask = std::make_unique<TSimpleMask>(ASection, ASubsection, QString(), false, true,
                                                        nullptr, QString(), QString());
        else
            FSimpleMask->ChangeKeyValues(ASection, ASubsection, QString(), false, true, QString(), QString());
    });
}

QString TDMOrdovant::SimpleMask_key_Get(const QString &AKennung)
{
    return guardResult(label("SimpleMask_key_Get"), QString(), [&] {
        const QString terminal = QVXInfoTerminalID();
        // Without the terminal id the key would be shared by every workstation.
        if (terminal.isEmpty())
            throw HostError(QStringLiteral("Die Terminal-ID ist leer"));
        return AKennung + terminal;
    });
}

// The store and key of one access; throws when either is missing, so nothing is read or written
// under a key that does not belong to this workstation.
TSimpleMask &TDMOrdovant::settingsStore(const QString &AKennung, QString &key)
{
    SimpleMask_CiN(Section, Subsection);
    key = SimpleMask_key_Get(AKennung);
    if (!FSimpleMask)
        throw HostError(QStringLiteral("Der Einstellungsspeicher fehlt"));
    if (key.isEmpty())
        throw HostError(QStringLiteral("Der Schlüssel der Einstellung %1 fehlt").arg(AKennung));
    return *FSimpleMask;
}

QString TDMOrdovant::Einstellung_laden(const QString &AKennung, const QString &ADefault)
{
    return guardResult(label("Einstellung_laden"), QString(), [&] {
        QString key;
        TSimpleMask &store = settingsStore(AKennung, key);
        return store.ReadLocalDef(key, ADefault);
    });
}

void TDMOrdovant::Einstellung_speichern(const QString &AKennung, const QString &AWert)
{
    guard(label("Einstellung_speichern"), [&] {
        QString key;
        TSimpleMask &store = settingsStore(AKennung, key);
        store.WriteLocal(key, AWert);
    });
}

// --- Branch number and capability flags ---

int TDMOrdovant::FilialeLaden()
{
    return guardResult(label("FilialeLaden"), -1, [&] {
        QString text;
        {
            TWarenabgabeMani mani;
            TDMWarenAbgabe warenAbgabe(nullptr, &mani);
            text = warenAbgabe.Einstellung_laden(TZWL_SM_SimpleMaskKeys::FilialNummer, QString());
        }
        // A number beyond 32 bits is no result of this routine either.
        const std::optional<qint64> filiale = BranchNumber::wholeNumber(text);
        if (!filiale || *filiale < std::numeric_limits<qint32>::min() ||
            *filiale > std::numeric_limits<qint32>::max()) {
            QVXInfo()->ShowMeldung(0, 1004, QStringLiteral("TORVELIN"), QString(), 0, 0, QString(), false);
            return -1;
        }
        return int(*filiale);
    });
}

bool TDMOrdovant::GetTorvelinDa()
{
    return guardResult(label("GetTorvelinDa"), false,
                       [&] { return startParameterOnce(FTorvelinDa, QStringLiteral("TORVELIN")); });
}

bool TDMOrdovant::GetHandlagerDa()
{
    return guardResult(label("GetHandlagerDa"), false, [&] {
        if (FHandlagerDa == TQVX_TriState::Unbestimmt) {
            const QString wert = Einstellung_laden(QStringLiteral("WARENANFOEIGFIL"), QStringLiteral("N"));
            FHandlagerDa = wert == u"N" ? TQVX_TriState::Nein : TQVX_TriState::Ja;
        }
        return FHandlagerDa == TQVX_TriState::Ja;
    });
}

bool TDMOrdovant::GetReKoDa()
{
    return guardResult(label("GetReKoDa"), false,
                       [&] { return startParameterOnce(FReKoDa, QStringLiteral("RECHKTRL")); });
}

// --- Possible types and origins ---

bool TDMOrdovant::gvMoeglich(int id)
{
    switch (id) {
    case 0:
        return false;
    case 1:
    case 2:
        return GetTorvelinDa();
    case 5:
        return GetHandlagerDa();
    default:
        return true;
    }
}

bool TDMOrdovant::herkunftMoeglich(int id)
{
    switch (id) {
    case 0:
    case 51:
        return false;
    case 50:
        return GetReKoDa();
    default:
        return true;
    }
}

TQVX_Aufgabe_Geschaeftsvorfall_Set TDMOrdovant::GetMoeglicheGV()
{
    return guardResult(label("GetMoeglicheGV"), TQVX_Aufgabe_Geschaeftsvorfall_Set{}, [&] {
        workOutOnce(FMoeglicheGV, FMoeglicheGVCount, GeschaeftsvorfallAnzahl,
                    [this](int id) { return gvMoeglich(id); });
        return FMoeglicheGV;
    });
}

TQVX_Herkunftskennzeichen_Set TDMOrdovant::GetMoeglicheHerkuenfte()
{
    return guardResult(label("GetMoeglicheHerkuenfte"), TQVX_Herkunftskennzeichen_Set{}, [&] {
        workOutOnce(FMoeglicheHerkuenfte, FMoeglicheHerkuenfteCount, HerkunftAnzahl,
                    [this](int id) { return herkunftMoeglich(id); });
        return FMoeglicheHerkuenfte;
    });
}

qint32 TDMOrdovant::GetMoeglicheGVCount()
{
    return guardResult(label("GetMoeglicheGVCount"), qint32(0), [&] {
        if (FMoeglicheGVCount == 0)
            GetMoeglicheGV();
        return FMoeglicheGVCount;
    });
}

qint32 TDMOrdovant::GetMoeglicheHerkuenfteCount()
{
    return guardResult(label("GetMoeglicheHerkuenfteCount"), qint32(0), [&] {
        if (FMoeglicheHerkuenfteCount == 0)
            GetMoeglicheHerkuenfte();
        return FMoeglicheHerkuenfteCount;
    });
}

// --- Sort-out task check ---

bool TDMOrdovant::ExistAbsortierAufgaben(bool AAnzahlErmitteln)
{
    return guardResult(label("ExistAbsortierAufgaben"), false, [&] {
        FModus = TMERU_CheckModus::cmAbsort;
        const qint32 filiale = FilialeLaden();
        if (filiale <= 0)
            return false;
        const qint16 filiale16 = BranchNumber::narrowed(filiale);
        if (AAnzahlErmitteln)
            anzahlDetailliertErmitteln(filiale16);
        else
            aufgabenVorhandenErmitteln(filiale16);
        if (FAnzAufgaben <= 0)
            return false;
        AutoAufgabenDrucken();
        return true;
    });
}

void TDMOrdovant::anzahlDetailliertErmitteln(qint16 filiale)
{
    TWarenabgabeMani mani;
    const bool ohneTorvelin = !GetTorvelinDa();
    // The counters change only together with the total, from a count that returned.
    TQVX_Herkunfts_Integer_Array nachHerkunft = FAnzNachHerkunft;
    TQVX_Aufgabe_GV_Integer_Array nachGV = FAnzNachGV;
    const qint32 anzahl = mani.Anzahl_AbsortAufg_Detailliert(filiale, ohneTorvelin, -1, nachHerkunft, nachGV);
    FAnzNachHerkunft = nachHerkunft;
    FAnzNachGV = nachGV;
    FAnzAufgaben = anzahl;
}

void TDMOrdovant::aufgabenVorhandenErmitteln(qint16 filiale)
{
    TQVX_AufgabenMani mani;
    TQVX_Aufgabe_Art_Erw_Set arten;
    arten.include(AufgabeArtAbsortieren);
    FAnzAufgaben = mani.AufgabenVorhanden(filiale, arten, false) ? 1 : 0;
}

qint32 TDMOrdovant::GetAnzAufgaben()
{
    return guardResult(label("GetAnzAufgaben"), qint32(0), [&] { return FAnzAufgaben; });
}

TQVX_Aufgabe_GV_Integer_Array TDMOrdovant::GetAnzNachGV()
{
    TQVX_Aufgabe_GV_Integer_Array neutral{};
    Init_Aufgabe_GV_Integer_Array(neutral);
    return guardResult(label("GetAnzNachGV"), neutral, [&] { return FAnzNachGV; });
}

TQVX_Herkunfts_Integer_Array TDMOrdovant::GetAnzNachHerkunft()
{
    TQVX_Herkunfts_Integer_Array neutral{};
    Init_Herkunfts_Integer_Array(neutral);
    return guardResult(label("GetAnzNachHerkunft"), neutral, [&] { return FAnzNachHerkunft; });
}

// --- Automatic task printing ---

void TDMOrdovant::AutoAufgabenDrucken()
{
    guard(label("AutoAufgabenDrucken"), [&] {
        if (FindCmdLineSwitch(QStringLiteral("KD")))
            return;
        TAppExec appExec(nullptr);
        appExec.SetExePath(GetDirWwsByName(QStringLiteral("FERTIG"), QString(), true));
        appExec.SetExeName(QStringLiteral("torvelin.exe"));
        appExec.Parameters().clear();
        appExec.Parameters().append(QStringLiteral("-AutoAufgDruck"));
        appExec.SetWait(false);
        appExec.SetWindowState(TWindowState::Normal);
        appExec.Execute();
    });
}

// --- Expired reservations check ---

bool TDMOrdovant::ExistAbgelaufeneBelege()
{
    TQVX_BA_Filter filter;
    return guardResult(label("ExistAbgelaufeneBelege"), false, [&] {
        FModus = TMERU_CheckModus::cmAbgelaufen;
        BA_Filter_Clear(filter);
        TQVX_Belegart_Set belegarten;
        belegarten.include(BelegartReservierung);
        belegarten.include(BelegartAuswahl);
        filter.Belegarten = belegarten;
        filter.Filiale = BranchNumber::narrowed(FilialeLaden());
        filter.DatumVon = 0;
        filter.DatumBis = 0;

        TQVX_BelegAuswahlDM auswahl(nullptr);
        auswahl.BelegeListe_Laden(filter);
        auswahl.Ablaufdatum_Nachladen();
        const int rows = belegeListe(auswahl).GetRowCount();
        for (int row = 0; row < rows; ++row)
            if (belegeListe(auswahl).GetCellValueAsBoolean(row, SpalteAbgelaufen))
                return true;
        return false;
    });
}

// --- Setting values from the options dialog ---

std::optional<QString> TDMOrdovant::GV_Konfigurationen_2_String(QListWidget *ACheckListBox)
{
    return guardResult(label("GV_Konfigurationen_2_String"), std::optional<QString>(), [&] {
        return std::optional<QString>(
            checkedCodes(ACheckListBox, [](const QString &kuerzel) { return kuerzel; }));
    });
}

std::optional<QString> TDMOrdovant::Herkunft_Konfigurationen_2_String(QListWidget *ACheckListBox)
{
    return guardResult(label("Herkunft_Konfigurationen_2_String"), std::optional<QString>(), [&] {
        return std::optional<QString>(checkedCodes(ACheckListBox, [](const QString &zeichen) {
            if (zeichen.isEmpty())
                throw HostError(QStringLiteral("Eine Herkunft ohne Kennzeichen"));
            return zeichen.left(1);
        }));
    });
}
