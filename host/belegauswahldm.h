#pragma once

#include <memory>

class QObject;
class BelegAuswahlBackend;
class TVRList;
struct TQVX_BA_Filter;

// The document selection: loads the documents that match a filter, with their expiry state.
class TQVX_BelegAuswahlDM final
{
public:
    explicit TQVX_BelegAuswahlDM(QObject *owner = nullptr);
    ~TQVX_BelegAuswahlDM();

    void BelegeListe_Laden(const TQVX_BA_Filter &filter);
    void Ablaufdatum_Nachladen();
    // Column 8 of each row tells whether that document's expiry date has passed.
    TVRList *BelegeListe_Get();

private:
    std::unique_ptr<BelegAuswahlBackend> m_backend;
};
