#include "trustedpath.h"

#include <QDir>
#include <QFileInfo>

#include <memory>
#include <vector>

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

namespace {

// Rights that change a file, or replace it: writing, deleting, taking it over.
constexpr DWORD FileRights =
    FILE_WRITE_DATA | FILE_APPEND_DATA | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;
// Rights on a folder that replace what is in it, or the folder itself.
constexpr DWORD FolderRights = FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_ALL;
// The folder of the file: adding a file or folder there makes a missing one (host.ini, or the
// branch program's folder that a relative FERTIG names).
constexpr DWORD HomeRights = FolderRights | FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | GENERIC_WRITE;

using Sid = std::vector<BYTE>;

// The user running the program, SYSTEM, the Administrators, TrustedInstaller and CREATOR OWNER (a
// placeholder that becomes whoever makes a file).
class TrustedSids final
{
public:
    TrustedSids()
    {
        HANDLE token = nullptr;
        if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
            DWORD size = 0;
            GetTokenInformation(token, TokenUser, nullptr, 0, &size);
            std::vector<BYTE> buffer(size);
            if (size && GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) {
                const PSID user = reinterpret_cast<TOKEN_USER *>(buffer.data())->User.Sid;
                const auto *bytes = static_cast<const BYTE *>(user);
                m_sids.emplace_back(bytes, bytes + GetLengthSid(user));
            }
            CloseHandle(token);
        }
        for (const WELL_KNOWN_SID_TYPE type :
             {WinLocalSystemSid, WinBuiltinAdministratorsSid, WinCreatorOwnerSid}) {
            Sid sid(SECURITY_MAX_SID_SIZE);
            DWORD size = DWORD(sid.size());
            if (CreateWellKnownSid(type, nullptr, sid.data(), &size))
                m_sids.emplace_back(sid.begin(), sid.begin() + size);
        }
        PSID installer = nullptr;
        if (ConvertStringSidToSidW(L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464",
                                   &installer)) {
            const auto *bytes = static_cast<const BYTE *>(installer);
            m_sids.emplace_back(bytes, bytes + GetLengthSid(installer));
            LocalFree(installer);
        }
    }

    bool contains(PSID sid) const
    {
        for (const Sid &trusted : m_sids) {
            if (EqualSid(sid, const_cast<BYTE *>(trusted.data())))
                return true;
        }
        return false;
    }

private:
    std::vector<Sid> m_sids;
};

QString accountName(PSID sid)
{
    wchar_t name[256];
    wchar_t domain[256];
    DWORD nameSize = 256;
    DWORD domainSize = 256;
    SID_NAME_USE use;
    if (LookupAccountSidW(nullptr, sid, name, &nameSize, domain, &domainSize, &use))
        return domainSize ? QString::fromWCharArray(domain) + u'\\' + QString::fromWCharArray(name)
                          : QString::fromWCharArray(name);
    wchar_t *text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text))
        return QStringLiteral("?");
    const QString result = QString::fromWCharArray(text);
    LocalFree(text);
    return result;
}

// What is wrong with the owner or the access list of one file or folder.
QString objectProblem(const QString &path, DWORD rights, const TrustedSids &trusted)
{
    const QString shown = QDir::toNativeSeparators(path);
    const std::wstring native = shown.toStdWString();
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD status = GetNamedSecurityInfoW(native.c_str(), SE_FILE_OBJECT,
                                               OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                                               nullptr, &dacl, nullptr, &descriptor);
    if (status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND)
        return {};
    if (status != ERROR_SUCCESS)
        return QStringLiteral("die Rechte von %1 lassen sich nicht lesen (Fehler %2)")
            .arg(shown, QString::number(status));
    const std::unique_ptr<void, decltype(&LocalFree)> freed(descriptor, &LocalFree);
    // An owner may always change the access list.
    if (owner && !trusted.contains(owner))
        return QStringLiteral("%1 gehört %2, der es ändern oder ersetzen kann; Besitzer müssen die "
                              "Administratoren sein")
            .arg(shown, accountName(owner));
    if (!dacl)
        return QStringLiteral("%1 hat keine Zugriffsliste, jeder darf es ändern").arg(shown);
    for (DWORD index = 0; index < dacl->AceCount; ++index) {
        void *ace = nullptr;
        if (!GetAce(dacl, index, &ace))
            continue;
        const auto *header = static_cast<const ACE_HEADER *>(ace);
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE))
            continue;
        auto *allowed = static_cast<ACCESS_ALLOWED_ACE *>(ace);
        const PSID sid = &allowed->SidStart;
        if ((allowed->Mask & rights) && !trusted.contains(sid))
            return QStringLiteral("%1 dürfen auch %2 ändern oder ersetzen; nur die Administratoren dürfen es "
                                  "(Sicherheit: Schreiben, Ändern und Löschen nur für Administratoren und "
                                  "SYSTEM)")
                .arg(shown, accountName(sid));
    }
    return {};
}

// The file, its folder and every folder above it.
QString chainProblem(const QString &path, const TrustedSids &trusted)
{
    if (const QString problem = objectProblem(path, FileRights, trusted); !problem.isEmpty())
        return problem;
    QDir folder = QFileInfo(path).dir();
    DWORD rights = HomeRights;
    for (;;) {
        if (const QString problem = objectProblem(folder.absolutePath(), rights, trusted); !problem.isEmpty())
            return problem;
        rights = FolderRights;
        if (folder.isRoot() || !folder.cdUp())
            return {};
    }
}

} // namespace

QString untrustedPathProblem(const QString &path)
{
    const TrustedSids trusted;
    const QFileInfo info(QDir::cleanPath(QDir(path).absolutePath()));
    if (const QString problem = chainProblem(info.absoluteFilePath(), trusted); !problem.isEmpty())
        return problem;
    // Where a link or junction leads.
    const QString real = info.canonicalFilePath();
    if (!real.isEmpty() && real.compare(info.absoluteFilePath(), Qt::CaseInsensitive) != 0)
        return chainProblem(real, trusted);
    return {};
}
