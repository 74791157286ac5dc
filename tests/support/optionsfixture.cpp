#include "optionsfixture.h"

#include "check/ordovantdm.h"
#include "ui/optionenfrm.h"

OptionsFixture::~OptionsFixture() = default;

TfrmOptionen &OptionsFixture::open()
{
    m_dm = std::make_unique<TDMOrdovant>();
    m_dialog = std::make_unique<TfrmOptionen>();
    return *m_dialog;
}

TfrmOptionen &OptionsFixture::show()
{
    open().show();
    return *m_dialog;
}
