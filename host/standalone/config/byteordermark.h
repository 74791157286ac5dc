#pragma once

#include <QByteArrayView>

namespace IniFile {

// The content without a UTF-8 byte order mark (Notepad's "UTF-8 with BOM").
inline QByteArrayView withoutByteOrderMark(QByteArrayView content)
{
    return content.startsWith("\xef\xbb\xbf") ? content.sliced(3) : content;
}

} // namespace IniFile
