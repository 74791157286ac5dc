#pragma once

#include "recordinghost.h"

#include <memory>

class TDMOrdovant;
class TfrmOptionen;

// The options dialog as the program opens it, on a recording host: set the host up first; open()
// makes the data module and the dialog, show() also puts the dialog on screen.
class OptionsFixture final
{
public:
    ~OptionsFixture();

    TfrmOptionen &open();
    TfrmOptionen &show();

    ScopedRecordingHost host;

private:
    std::unique_ptr<TDMOrdovant> m_dm;
    std::unique_ptr<TfrmOptionen> m_dialog;
};
