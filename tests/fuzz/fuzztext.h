#pragma once

#include "app/core/gbk.h"

#include <QByteArrayView>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// What a reader is given: a transfer's answer arrives as GBK bytes, a browser
// page as the text of its body (here from UTF-8 bytes).
inline QString gbkText(const std::uint8_t *data, std::size_t size)
{
    return fromGbk(QByteArrayView(data, qsizetype(size)));
}

inline QString utf8Text(const std::uint8_t *data, std::size_t size)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
}

// A property every reading must keep; a broken one is reported like a crash.
#define FUZZ_REQUIRE(condition)                                                                    \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "broken: %s (%s:%d)\n", #condition, __FILE__, __LINE__);          \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)
