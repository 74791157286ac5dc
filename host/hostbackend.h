#pragma once

#include "hosttypes.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <memory>

class QObject;
class TVRList;

// The host framework and the business components are reached through one installed backend.
// The facades in this folder (TSimpleMask, TAppExec, TWarenabgabeMani, ...) keep the names and
// argument orders the system is written against; the backend decides what really happens.
// The standalone backend is the default; tests install a recording fake.

class SimpleMaskBackend
{
public:
    virtual ~SimpleMaskBackend() = default;
    virtual void changeKeyValues(const QString &section, const QString &subsection, const QString &text,
                                 bool flag1, bool flag2, const QString &text2, const QString &text3) = 0;
    virtual QString readLocalDef(const QString &key, const QString &defaultValue) = 0;
    virtual void writeLocal(const QString &key, const QString &value) = 0;
};

struct AppExecRequest
{
    QString exePath;
    QString exeName;
    QStringList parameters;
    bool wait = false;
    TWindowState windowState = TWindowState::Normal;
};

class AppExecBackend
{
public:
    virtual ~AppExecBackend() = default;
    virtual void execute(const AppExecRequest &request) = 0;
};

class WarenabgabeManiBackend
{
public:
    virtual ~WarenabgabeManiBackend() = default;
    virtual qint32 anzahlAbsortAufgDetailliert(qint16 filiale, bool ohneTorvelin, qint16 option,
                                               TQVX_Herkunfts_Integer_Array &nachHerkunft,
                                               TQVX_Aufgabe_GV_Integer_Array &nachGV) = 0;
};

class DMWarenAbgabeBackend
{
public:
    virtual ~DMWarenAbgabeBackend() = default;
    virtual QString einstellungLaden(TZWL_SM_SimpleMaskKeys key, const QString &defaultValue) = 0;
};

class AufgabenManiBackend
{
public:
    virtual ~AufgabenManiBackend() = default;
    virtual bool aufgabenVorhanden(qint16 filiale, TQVX_Aufgabe_Art_Erw_Set arten, bool flag) = 0;
};

class BelegAuswahlBackend
{
public:
    virtual ~BelegAuswahlBackend() = default;
    virtual void belegeListeLaden(const TQVX_BA_Filter &filter) = 0;
    virtual void ablaufdatumNachladen() = 0;
    // The list stays owned by the document selection.
    virtual TVRList *belegeListeGet() = 0;
};

class HostBackend
{
public:
    virtual ~HostBackend() = default;

    // Program frame and application
    virtual void programmInit(const QString &programId, TEnumProzessTypen prozessTyp,
                              TPVR_InstanceCount instanzen, int wert, bool flag) = 0;
    virtual void showException(const QString &message, bool flag) = 0;
    // The arguments of the process, the program name first.
    virtual QStringList commandLine() = 0;
    // Ends the message loop; a loop that has not started yet is not started any more.
    virtual void applicationTerminate() = 0;
    virtual bool applicationTerminated() = 0;

    // Error and message service
    virtual void registerException(const QString &label, const QString &message, bool report) = 0;
    virtual void fehlerRaise(const QString &label, int nummer, const QString &text1, const QString &text2,
                             int wert1, int wert2) = 0;
    virtual void fehlerTerminate(const QString &label, int nummer, const QString &text1, const QString &text2,
                                 int wert1, int wert2) = 0;
    virtual void showMeldung(int vorgabe, int nummer, const QString &gruppe, const QString &text1, int wert1,
                             int wert2, const QString &text2, bool flag) = 0;
    virtual QString terminalId() = 0;

    // Start parameters, directories, business date
    virtual bool checkParameter(const QString &name) = 0;
    virtual QString directoryByName(const QString &name, const QString &text, bool flag) = 0;
    virtual QDate businessDate() = 0;

    // Forms
    virtual void formInit(const QString &name, bool flag) = 0;
    virtual bool designingInComponentState() = 0;

    // Components: each facade object holds the backend object made for it and frees it with itself.
    virtual std::unique_ptr<SimpleMaskBackend>
    createSimpleMask(const QString &section, const QString &subsection, const QString &text, bool flag1,
                     bool flag2, QObject *object, const QString &text2, const QString &text3) = 0;
    virtual std::unique_ptr<AppExecBackend> createAppExec() = 0;
    virtual std::unique_ptr<WarenabgabeManiBackend> createWarenabgabeMani() = 0;
    virtual std::unique_ptr<DMWarenAbgabeBackend> createDMWarenAbgabe() = 0;
    virtual std::unique_ptr<AufgabenManiBackend> createAufgabenMani() = 0;
    virtual std::unique_ptr<BelegAuswahlBackend> createBelegAuswahl() = 0;

    // Reverse lookups of the code tables and the empty document filter; the defaults are the host's.
    virtual int geschaeftsvorfallVonKuerzel(const QString &kuerzel);
    virtual int herkunftVonChar(QChar zeichen);
    virtual void baFilterClear(TQVX_BA_Filter &filter);
};

// The installed backend; throws HostError when none is installed.
HostBackend &hostBackend();
// Installs a backend and hands back the one it replaces (empty when none was made yet).
std::unique_ptr<HostBackend> installHostBackend(std::unique_ptr<HostBackend> backend);
