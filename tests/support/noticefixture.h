#pragma once

#include "recordinghost.h"

#include <memory>

class TDMOrdovant;
class TInfoboxFrm;

// The notice as the program shows it, on a recording host: a branch with open sort-out tasks (one of
// type "KUNDBEST", one of origin "O", printing off by -KD) and one expired reservation. Change the
// host before show(); show() runs the data module's check, shows the notice and clears the record, so
// that a test sees only what its own step asks of the host.
class NoticeFixture final
{
public:
    enum class Check { SortOut, Expired };

    NoticeFixture();
    ~NoticeFixture();
    NoticeFixture(const NoticeFixture &) = delete;
    NoticeFixture &operator=(const NoticeFixture &) = delete;

    // False when the check found nothing or the notice did not come on screen.
    [[nodiscard]] bool show(Check check = Check::SortOut);
    TInfoboxFrm &notice() const { return *m_notice; }

    ScopedRecordingHost host;

private:
    std::unique_ptr<TDMOrdovant> m_dm;
    std::unique_ptr<TInfoboxFrm> m_notice;
};
