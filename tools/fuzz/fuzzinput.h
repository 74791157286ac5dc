#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstring>

// The text a fuzz input stands for. The first byte picks how the rest is read: UTF-8 (invalid
// sequences become U+FFFD) or raw UTF-16 code units, which also yields lone surrogates.
inline QString fuzzText(const uint8_t *data, size_t size)
{
    if (size == 0)
        return {};
    const auto *rest = reinterpret_cast<const char *>(data + 1);
    const auto restSize = qsizetype(size - 1);
    if (data[0] % 2 == 0)
        return QString::fromUtf8(rest, restSize);
    // Copied, since the input is not aligned for 16-bit reads.
    QString text(restSize / 2, Qt::Uninitialized);
    std::memcpy(text.data(), rest, size_t(text.size()) * sizeof(QChar));
    return text;
}
