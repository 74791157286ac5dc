#pragma once

#include "host/hosttypes.h"

#include <QObject>
#include <QString>

#include <memory>
#include <optional>

class QListWidget;
class TSimpleMask;

// Which check ran last.
enum class TMERU_CheckModus : quint8 { cmAbsort = 0, cmAbgelaufen = 1 };

// The one long-lived object of a run: what the system learns about the branch, the settings access
// and both checks.
class TDMOrdovant final : public QObject
{
    Q_OBJECT

public:
    explicit TDMOrdovant(QObject *owner = nullptr);
    ~TDMOrdovant() override;

    // Settings of this workstation.
    QString Einstellung_laden(const QString &AKennung, const QString &ADefault);
    void Einstellung_speichern(const QString &AKennung, const QString &AWert);

    // Branch number and capability flags.
    int FilialeLaden();
    bool GetTorvelinDa();
    bool GetHandlagerDa();
    bool GetReKoDa();

    // Types and origins possible at this branch.
    TQVX_Aufgabe_Geschaeftsvorfall_Set GetMoeglicheGV();
    TQVX_Herkunftskennzeichen_Set GetMoeglicheHerkuenfte();
    qint32 GetMoeglicheGVCount();
    qint32 GetMoeglicheHerkuenfteCount();

    // The checks and their results.
    bool ExistAbsortierAufgaben(bool AAnzahlErmitteln);
    bool ExistAbgelaufeneBelege();
    qint32 GetAnzAufgaben();
    TQVX_Aufgabe_GV_Integer_Array GetAnzNachGV();
    TQVX_Herkunfts_Integer_Array GetAnzNachHerkunft();
    TMERU_CheckModus Modus() const { return FModus; }

    // Setting values composed from the options dialog's check lists; empty when composing failed,
    // so that a failure never overwrites a stored choice.
    std::optional<QString> GV_Konfigurationen_2_String(QListWidget *ACheckListBox);
    std::optional<QString> Herkunft_Konfigurationen_2_String(QListWidget *ACheckListBox);

private:
    void DataModuleCreate(QObject *Sender);
    void DataModuleDestroy(QObject *Sender);
    void SimpleMask_CiN(const QString &ASection, const QString &ASubsection);
    QString SimpleMask_key_Get(const QString &AKennung);
    void AutoAufgabenDrucken();

    TSimpleMask &settingsStore(const QString &AKennung, QString &key);
    bool gvMoeglich(int id);
    bool herkunftMoeglich(int id);
    void anzahlDetailliertErmitteln(qint16 filiale);
    void aufgabenVorhandenErmitteln(qint16 filiale);

    TQVX_TriState FTorvelinDa = TQVX_TriState::Unbestimmt;
    TQVX_TriState FHandlagerDa = TQVX_TriState::Unbestimmt;
    TQVX_TriState FReKoDa = TQVX_TriState::Unbestimmt;
    TQVX_Herkunftskennzeichen_Set FMoeglicheHerkuenfte;
    TQVX_Aufgabe_Geschaeftsvorfall_Set FMoeglicheGV;
    std::unique_ptr<TSimpleMask> FSimpleMask;
    qint32 FAnzAufgaben = 0;
    TQVX_Aufgabe_GV_Integer_Array FAnzNachGV{};
    TQVX_Herkunfts_Integer_Array FAnzNachHerkunft{};
    qint32 FMoeglicheGVCount = 0;
    qint32 FMoeglicheHerkuenfteCount = 0;
    TMERU_CheckModus FModus = TMERU_CheckModus::cmAbsort;
};

// The data module of this run; set before its creation handler runs, empty when its creation failed.
extern TDMOrdovant *DMOrdovant;

// The data module of this run for the dialogs; a dialog reached without one gets an exception to
// report instead of a crash.
TDMOrdovant &dataModule();
