#include "noticefixture.h"

#include "check/ordovantdm.h"
#include "ui/infobox.h"

#include <QTest>

NoticeFixture::NoticeFixture()
{
    host->arguments << QStringLiteral("-KD");
    host->detailTotal = 2;
    host->gvCounts.at(3) = 1;
    host->herkunftCounts.at(11) = 1;
    host->expiredRows = {true};
}

NoticeFixture::~NoticeFixture() = default;

bool NoticeFixture::show(Check check)
{
    m_dm = std::make_unique<TDMOrdovant>();
    const bool found =
        check == Check::Expired ? m_dm->ExistAbgelaufeneBelege() : m_dm->ExistAbsortierAufgaben(true);
    m_notice = std::make_unique<TInfoboxFrm>();
    m_notice->show();
    const bool exposed = QTest::qWaitForWindowExposed(m_notice.get());
    host->clearRecord();
    return found && exposed;
}
