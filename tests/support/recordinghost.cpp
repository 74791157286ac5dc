#include "recordinghost.h"

#include "host/hosterror.h"
#include "host/vrlist.h"

#include <QVariant>

namespace {

QString formatArgument(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::QString:
        return u'"' + value.toString() + u'"';
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QMetaType::QStringList: {
        QStringList quoted;
        for (const QString &item : value.toStringList())
            quoted << u'"' + item + u'"';
        return u'[' + quoted.join(QStringLiteral(", ")) + u']';
    }
    case QMetaType::Nullptr:
    case QMetaType::UnknownType:
        return QStringLiteral("null");
    default:
        return value.toString();
    }
}

class RecordingComponent
{
public:
    RecordingComponent(RecordingHost &host, QString name) : m_host(host), m_name(std::move(name))
    {
        m_host.record(m_name + QStringLiteral(".Create"));
    }
    ~RecordingComponent()
    {
        // A destructor never throws, even when a test asked the release to fail.
        m_host.calls << m_name + QStringLiteral(".Free");
    }

protected:
    void record(const QString &method, const QVariantList &args = {})
    {
        m_host.record(m_name + u'.' + method, args);
    }
    RecordingHost &m_host;

private:
    QString m_name;
};

class RecordingSimpleMask final : public SimpleMaskBackend, RecordingComponent
{
public:
    explicit RecordingSimpleMask(RecordingHost &host)
        : RecordingComponent(host, QStringLiteral("TSimpleMask"))
    {
    }
    void changeKeyValues(const QString &section, const QString &subsection, const QString &text, bool flag1,
                         bool flag2, const QString &text2, const QString &text3) override
    {
        record(QStringLiteral("ChangeKeyValues"), {section, subsection, text, flag1, flag2, text2, text3});
    }
    QString readLocalDef(const QString &key, const QString &defaultValue) override
    {
        record(QStringLiteral("ReadLocalDef"), {key, defaultValue});
        return m_host.store.value(key, defaultValue);
    }
    void writeLocal(const QString &key, const QString &value) override
    {
        record(QStringLiteral("WriteLocal"), {key, value});
        m_host.store.insert(key, value);
    }
};

class RecordingAppExec final : public AppExecBackend, RecordingComponent
{
public:
    explicit RecordingAppExec(RecordingHost &host) : RecordingComponent(host, QStringLiteral("TAppExec")) {}
    void execute(const AppExecRequest &request) override
    {
        record(QStringLiteral("Execute"), {request.exePath, request.exeName, request.parameters, request.wait,
                                           int(request.windowState)});
        m_host.started << request;
    }
};

class RecordingWarenabgabeMani final : public WarenabgabeManiBackend, RecordingComponent
{
public:
    explicit RecordingWarenabgabeMani(RecordingHost &host)
        : RecordingComponent(host, QStringLiteral("TWarenabgabeMani"))
    {
    }
    qint32 anzahlAbsortAufgDetailliert(qint16 filiale, bool ohneTorvelin, qint16 option,
                                       TQVX_Herkunfts_Integer_Array &nachHerkunft,
                                       TQVX_Aufgabe_GV_Integer_Array &nachGV) override
    {
        record(QStringLiteral("Anzahl_AbsortAufg_Detailliert"), {int(filiale), ohneTorvelin, int(option)});
        nachHerkunft = m_host.herkunftCounts;
        nachGV = m_host.gvCounts;
        return m_host.detailTotal;
    }
};

class RecordingDMWarenAbgabe final : public DMWarenAbgabeBackend, RecordingComponent
{
public:
    explicit RecordingDMWarenAbgabe(RecordingHost &host)
        : RecordingComponent(host, QStringLiteral("TDMWarenAbgabe"))
    {
    }
    QString einstellungLaden(TZWL_SM_SimpleMaskKeys key, const QString &defaultValue) override
    {
        record(QStringLiteral("Einstellung_laden"), {int(key), defaultValue});
        return m_host.filialeText;
    }
};

class RecordingAufgabenMani final : public AufgabenManiBackend, RecordingComponent
{
public:
    explicit RecordingAufgabenMani(RecordingHost &host)
        : RecordingComponent(host, QStringLiteral("TQVX_AufgabenMani"))
    {
    }
    bool aufgabenVorhanden(qint16 filiale, TQVX_Aufgabe_Art_Erw_Set arten, bool flag) override
    {
        record(QStringLiteral("AufgabenVorhanden"), {int(filiale), int(toUInt16(arten)), flag});
        return m_host.tasksExist;
    }
};

class RecordingVRList final : public TVRList
{
public:
    explicit RecordingVRList(RecordingHost &host) : m_host(host) {}
    int GetRowCount() const override
    {
        m_host.record(QStringLiteral("TVRList.GetRowCount"));
        return int(m_host.expiredRows.size());
    }
    bool GetCellValueAsBoolean(int row, int column) const override
    {
        m_host.record(QStringLiteral("TVRList.GetCellValueAsBoolean"), {row, column});
        if (row < 0 || row >= m_host.expiredRows.size())
            throw HostError(QStringLiteral("Zeile %1 gibt es nicht").arg(row));
        return column == 8 && m_host.expiredRows.at(row);
    }

private:
    RecordingHost &m_host;
};

class RecordingBelegAuswahl final : public BelegAuswahlBackend, RecordingComponent
{
public:
    explicit RecordingBelegAuswahl(RecordingHost &host)
        : RecordingComponent(host, QStringLiteral("TQVX_BelegAuswahlDM")), m_list(host)
    {
    }
    void belegeListeLaden(const TQVX_BA_Filter &filter) override
    {
        record(QStringLiteral("BelegeListe_Laden"));
        m_host.loadedFilter = filter;
    }
    void ablaufdatumNachladen() override { record(QStringLiteral("Ablaufdatum_Nachladen")); }
    TVRList *belegeListeGet() override
    {
        record(QStringLiteral("BelegeListe_Get"));
        return &m_list;
    }

private:
    RecordingVRList m_list;
};

} // namespace

QString RecordingHost::nameOf(const QString &call)
{
    return call.section(u'(', 0, 0);
}

QStringList RecordingHost::callNames() const
{
    QStringList names;
    for (const QString &call : calls)
        names << nameOf(call);
    return names;
}

QStringList RecordingHost::callsNamed(const QString &name) const
{
    QStringList matching;
    for (const QString &call : calls)
        if (nameOf(call) == name)
            matching << call;
    return matching;
}

QStringList RecordingHost::reportLabels() const
{
    QStringList labels;
    for (const Report &r : reports)
        labels << r.label;
    return labels;
}

void RecordingHost::clearRecord()
{
    calls.clear();
    reports.clear();
    started.clear();
    loadedFilter.reset();
}

void RecordingHost::record(const QString &name, const QVariantList &args)
{
    if (args.isEmpty()) {
        calls << name;
    } else {
        QStringList formatted;
        for (const QVariant &arg : args)
            formatted << formatArgument(arg);
        calls << name + u'(' + formatted.join(QStringLiteral(", ")) + u')';
    }
    if (m_failing.contains(name))
        throw HostError(QStringLiteral("Testfehler in ") + name);
}

void RecordingHost::programmInit(const QString &programId, TEnumProzessTypen prozessTyp,
                                 TPVR_InstanceCount instanzen, int wert, bool flag)
{
    record(QStringLiteral("QVXProgramm.Init"), {programId, int(prozessTyp), instanzen, wert, flag});
}

void RecordingHost::showException(const QString &message, bool flag)
{
    record(QStringLiteral("QVXProgramm.ShowException"), {message, flag});
}

QStringList RecordingHost::commandLine()
{
    return arguments;
}

void RecordingHost::applicationTerminate()
{
    record(QStringLiteral("Application.Terminate"));
    terminated = true;
}

void RecordingHost::registerException(const QString &label, const QString &message, bool report)
{
    // The error service must not fail, or nothing could be reported at all.
    calls << QStringLiteral("QVXInfo.RegisterException(\"%1\", %2)").arg(label, report ? "true" : "false");
    reports << Report{label, message, report};
}

void RecordingHost::fehlerRaise(const QString &label, int nummer, const QString &text1, const QString &text2,
                                int wert1, int wert2)
{
    record(QStringLiteral("QVXInfo.FehlerRaise"), {label, nummer, text1, text2, wert1, wert2});
}

void RecordingHost::fehlerTerminate(const QString &label, int nummer, const QString &text1,
                                    const QString &text2, int wert1, int wert2)
{
    record(QStringLiteral("QVXInfo.FehlerTerminate"), {label, nummer, text1, text2, wert1, wert2});
}

void RecordingHost::showMeldung(int vorgabe, int nummer, const QString &gruppe, const QString &text1,
                                int wert1, int wert2, const QString &text2, bool flag)
{
    record(QStringLiteral("QVXInfo.ShowMeldung"),
           {vorgabe, nummer, gruppe, text1, wert1, wert2, text2, flag});
}

QString RecordingHost::terminalId()
{
    record(QStringLiteral("QVXInfoTerminalID"));
    return terminal;
}

bool RecordingHost::checkParameter(const QString &name)
{
    record(QStringLiteral("CheckParm_RO_NewIsFalse"), {name});
    return parameters.value(name, false);
}

QString RecordingHost::directoryByName(const QString &name, const QString &text, bool flag)
{
    record(QStringLiteral("GetDirWwsByName"), {name, text, flag});
    if (!directories.contains(name))
        throw HostError(QStringLiteral("Verzeichnis %1 ist nicht eingetragen").arg(name));
    return directories.value(name);
}

QDate RecordingHost::businessDate()
{
    record(QStringLiteral("qvx_Date"));
    return businessDay;
}

void RecordingHost::formInit(const QString &name, bool flag)
{
    record(QStringLiteral("QVXFormInit"), {name, flag});
}

bool RecordingHost::designingInComponentState()
{
    record(QStringLiteral("Designing_InComponentState"));
    return designing;
}

std::unique_ptr<SimpleMaskBackend> RecordingHost::createSimpleMask(const QString &section,
                                                                   const QString &subsection,
                                                                   const QString &text, bool flag1,
                                                                   bool flag2, QObject *object,
                                                                   const QString &text2, const QString &text3)
{
    record(QStringLiteral("TSimpleMask.Create"),
           {section, subsection, text, flag1, flag2, object ? QVariant(QStringLiteral("object")) : QVariant(),
            text2, text3});
    // The component records its own Create; drop that duplicate so the constructor call reads once.
    auto mask = std::make_unique<RecordingSimpleMask>(*this);
    calls.removeLast();
    return mask;
}

std::unique_ptr<AppExecBackend> RecordingHost::createAppExec()
{
    return std::make_unique<RecordingAppExec>(*this);
}

std::unique_ptr<WarenabgabeManiBackend> RecordingHost::createWarenabgabeMani()
{
    return std::make_unique<RecordingWarenabgabeMani>(*this);
}

std::unique_ptr<DMWarenAbgabeBackend> RecordingHost::createDMWarenAbgabe()
{
    return std::make_unique<RecordingDMWarenAbgabe>(*this);
}

std::unique_ptr<AufgabenManiBackend> RecordingHost::createAufgabenMani()
{
    return std::make_unique<RecordingAufgabenMani>(*this);
}

std::unique_ptr<BelegAuswahlBackend> RecordingHost::createBelegAuswahl()
{
    return std::make_unique<RecordingBelegAuswahl>(*this);
}

int RecordingHost::geschaeftsvorfallVonKuerzel(const QString &kuerzel)
{
    record(QStringLiteral("Kuerzel_2_TQVX_Aufgabe_Geschaeftsvorfall_Erw"), {kuerzel});
    return HostBackend::geschaeftsvorfallVonKuerzel(kuerzel);
}

int RecordingHost::herkunftVonChar(QChar zeichen)
{
    record(QStringLiteral("Char_2_Herkunftskennzeichen"), {QString(zeichen)});
    return HostBackend::herkunftVonChar(zeichen);
}

void RecordingHost::baFilterClear(TQVX_BA_Filter &filter)
{
    record(QStringLiteral("BA_Filter_Clear"));
    filter = TQVX_BA_Filter{};
    filter.Belegarten.bytes.fill(0x5A);
    filter.Reserve1 = 0x5A;
    filter.Filiale = 0x5A5A;
    filter.KundenNr = 0x5A5A5A5A;
    filter.BelegNr = 0x5A5A5A5A;
    filter.Reserve2.fill(0x5A);
    filter.DatumVon = 1.5;
    filter.DatumBis = 2.5;
}

ScopedRecordingHost::ScopedRecordingHost()
{
    auto host = std::make_unique<RecordingHost>();
    m_host = host.get();
    m_previous = installHostBackend(std::move(host));
}

ScopedRecordingHost::~ScopedRecordingHost()
{
    installHostBackend(std::move(m_previous));
}
