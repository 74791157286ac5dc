#pragma once

// A document list handed out by the document selection, which owns it.
class TVRList
{
public:
    virtual ~TVRList() = default;
    virtual int GetRowCount() const = 0;
    virtual bool GetCellValueAsBoolean(int row, int column) const = 0;
};
