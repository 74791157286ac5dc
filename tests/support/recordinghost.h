#pragma once

#include "host/bafilter.h"
#include "host/hostbackend.h"

#include <QDate>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

// A host that records every call in order, with its arguments, answers from values a test sets and
// throws at any call a test names. Calls read like "TWarenabgabeMani.Anzahl_AbsortAufg_Detailliert(42,
// false, -1)": the name, then the arguments in brackets (texts quoted), or the bare name without any.
// Components record "X.Create" and "X.Free", so a test sees every creation and release.
class RecordingHost final : public HostBackend
{
public:
    struct Report
    {
        QString label;
        QString message;
        bool report;
    };

    // --- What the host answers ---
    QStringList arguments{QStringLiteral("ordovant")}; // program name first
    QString terminal = QStringLiteral("07");
    QMap<QString, bool> parameters; // CheckParm_RO_NewIsFalse; missing means off
    QMap<QString, QString> directories{{QStringLiteral("FERTIG"), QStringLiteral("/opt/torvelin")}};
    QString filialeText = QStringLiteral("42"); // goods-dispensing key 17
    QMap<QString, QString> store;               // settings store: full key -> value
    qint32 detailTotal = 0;                     // answer of Anzahl_AbsortAufg_Detailliert
    TQVX_Herkunfts_Integer_Array herkunftCounts{};
    TQVX_Aufgabe_GV_Integer_Array gvCounts{};
    bool tasksExist = false;   // answer of AufgabenVorhanden
    QVector<bool> expiredRows; // column 8 of the document list, one entry a row
    QDate businessDay{2026, 12, 8};
    bool designing = false;

    // --- What the system did ---
    QStringList calls;
    QVector<Report> reports;
    QVector<AppExecRequest> started;
    std::optional<TQVX_BA_Filter> loadedFilter;
    bool terminated = false;

    // --- Steering ---
    // Every call of that name (the part before the bracket) is recorded and then throws a HostError.
    void failOn(const QString &callName) { m_failing.insert(callName); }
    void succeedAgain(const QString &callName) { m_failing.remove(callName); }

    // --- Reading the record ---
    static QString nameOf(const QString &call);
    QStringList callNames() const;
    QStringList callsNamed(const QString &name) const;
    int count(const QString &name) const { return int(callsNamed(name).size()); }
    QStringList reportLabels() const;
    void clearRecord();

    // HostBackend
    void programmInit(const QString &programId, TEnumProzessTypen prozessTyp, TPVR_InstanceCount instanzen,
                      int wert, bool flag) override;
    void showException(const QString &message, bool flag) override;
    QStringList commandLine() override;
    void applicationTerminate() override;
    bool applicationTerminated() override { return terminated; }
    void registerException(const QString &label, const QString &message, bool report) override;
    void fehlerRaise(const QString &label, int nummer, const QString &text1, const QString &text2, int wert1,
                     int wert2) override;
    void fehlerTerminate(const QString &label, int nummer, const QString &text1, const QString &text2,
                         int wert1, int wert2) override;
    void showMeldung(int vorgabe, int nummer, const QString &gruppe, const QString &text1, int wert1,
                     int wert2, const QString &text2, bool flag) override;
    QString terminalId() override;
    bool checkParameter(const QString &name) override;
    QString directoryByName(const QString &name, const QString &text, bool flag) override;
    QDate businessDate() override;
    void formInit(const QString &name, bool flag) override;
    bool designingInComponentState() override;
    std::unique_ptr<SimpleMaskBackend> createSimpleMask(const QString &section, const QString &subsection,
                                                        const QString &text, bool flag1, bool flag2,
                                                        QObject *object, const QString &text2,
                                                        const QString &text3) override;
    std::unique_ptr<AppExecBackend> createAppExec() override;
    std::unique_ptr<WarenabgabeManiBackend> createWarenabgabeMani() override;
    std::unique_ptr<DMWarenAbgabeBackend> createDMWarenAbgabe() override;
    std::unique_ptr<AufgabenManiBackend> createAufgabenMani() override;
    std::unique_ptr<BelegAuswahlBackend> createBelegAuswahl() override;
    int geschaeftsvorfallVonKuerzel(const QString &kuerzel) override;
    int herkunftVonChar(QChar zeichen) override;
    // Leaves a pattern (0x5A) in the fields the check must not write and non-zero dates in the two
    // fields it must zero, so that a test sees exactly what the check wrote.
    void baFilterClear(TQVX_BA_Filter &filter) override;

    // Records a call and throws when a test asked it to fail; used by the fake's components too.
    void record(const QString &name, const QVariantList &args = {});

private:
    QSet<QString> m_failing;
};

// Installs a fresh RecordingHost for the lifetime of the object and puts the previous backend back.
class ScopedRecordingHost final
{
public:
    ScopedRecordingHost();
    ~ScopedRecordingHost();
    ScopedRecordingHost(const ScopedRecordingHost &) = delete;
    ScopedRecordingHost &operator=(const ScopedRecordingHost &) = delete;

    RecordingHost *operator->() const { return m_host; }
    RecordingHost &operator*() const { return *m_host; }

private:
    RecordingHost *m_host;
    std::unique_ptr<HostBackend> m_previous;
};
