#include "xml/Windows1250.h"

#include <libxml/encoding.h>
#include <libxml/parser.h>

#include <array>
#include <mutex>

const char16_t Windows1250High[128] = {
    0x20AC, 0xFFFD, 0x201A, 0xFFFD, 0x201E, 0x2026, 0x2020, 0x2021, 0xFFFD, 0x2030, 0x0160, 0x2039,
    0x015A, 0x0164, 0x017D, 0x0179, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0xFFFD, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A, 0x00A0, 0x02C7, 0x02D8, 0x0141,
    0x00A4, 0x0104, 0x00A6, 0x00A7, 0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B,
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7, 0x00B8, 0x0105, 0x015F, 0x00BB,
    0x013D, 0x02DD, 0x013E, 0x017C, 0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7,
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E, 0x0110, 0x0143, 0x0147, 0x00D3,
    0x00D4, 0x0150, 0x00D6, 0x00D7, 0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF,
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7, 0x010D, 0x00E9, 0x0119, 0x00EB,
    0x011B, 0x00ED, 0x00EE, 0x010F, 0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7,
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,
};

namespace {

// Code points below 0x2200 to their byte; 0 where the code page has none.
const std::array<unsigned char, 0x2200> &reverseTable()
{
    static const std::array<unsigned char, 0x2200> table = [] {
        std::array<unsigned char, 0x2200> t{};
        for (int b = 0; b < 0x80; ++b)
            t[size_t(b)] = static_cast<unsigned char>(b);
        for (int b = 0x80; b < 0x100; ++b)
            if (Windows1250High[b - 0x80] != 0xFFFD)
                t[Windows1250High[b - 0x80]] = static_cast<unsigned char>(b);
        return t;
    }();
    return table;
}

// libxml2's conversion contract: convert what fits, tell how much was read and written;
// -2 stops at a character that cannot be converted (at *inlen).
int toUtf8(unsigned char *out, int *outlen, const unsigned char *in, int *inlen)
{
    const unsigned char *inStart = in, *inEnd = in + *inlen;
    unsigned char *outStart = out, *outEnd = out + *outlen;
    int result = 0;
    while (in < inEnd) {
        const unsigned byte = *in;
        const char16_t u = byte < 0x80 ? char16_t(byte) : Windows1250High[byte - 0x80];
        if (u == 0xFFFD) {
            result = -2;
            break;
        }
        if (u < 0x80) {
            if (out >= outEnd)
                break;
            *out++ = static_cast<unsigned char>(u);
        } else if (u < 0x800) {
            if (outEnd - out < 2)
                break;
            *out++ = static_cast<unsigned char>(0xC0 | (u >> 6));
            *out++ = static_cast<unsigned char>(0x80 | (u & 0x3F));
        } else {
            if (outEnd - out < 3)
                break;
            *out++ = static_cast<unsigned char>(0xE0 | (u >> 12));
            *out++ = static_cast<unsigned char>(0x80 | ((u >> 6) & 0x3F));
            *out++ = static_cast<unsigned char>(0x80 | (u & 0x3F));
        }
        ++in;
    }
    *outlen = int(out - outStart);
    *inlen = int(in - inStart);
    return result == -2 ? -2 : *outlen;
}

int fromUtf8(unsigned char *out, int *outlen, const unsigned char *in, int *inlen)
{
    const auto &reverse = reverseTable();
    const unsigned char *inStart = in, *inEnd = in + *inlen;
    unsigned char *outStart = out, *outEnd = out + *outlen;
    int result = 0;
    while (in < inEnd && out < outEnd) {
        const unsigned lead = *in;
        if (lead < 0x80) {
            *out++ = static_cast<unsigned char>(lead);
            ++in;
            continue;
        }
        const int length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
        if (length == 0) {
            result = -2;
            break;
        }
        if (inEnd - in < length)
            break; // the rest of the character comes with the next call
        char32_t code = lead & (0x7F >> length);
        for (int i = 1; i < length; ++i)
            code = (code << 6) | (in[i] & 0x3F);
        const unsigned char byte = code < reverse.size() ? reverse[code] : 0;
        if (byte == 0) {
            result = -2;
            break;
        }
        *out++ = byte;
        in += length;
    }
    *outlen = int(out - outStart);
    *inlen = int(in - inStart);
    return result == -2 ? -2 : *outlen;
}

} // namespace

void RegisterFastWindows1250()
{
    static std::once_flag once;
    std::call_once(once, [] {
        xmlInitParser();
        // Registered handlers are looked up by name before iconv.
        xmlNewCharEncodingHandler("windows-1250", toUtf8, fromUtf8);
    });
}

QString DecodeWindows1250(QByteArrayView bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        text.append(byte < 0x80 ? QChar(byte) : QChar(Windows1250High[byte - 0x80]));
    }
    return text;
}

bool EncodeWindows1250(const QString &text, QByteArray *out)
{
    const auto &reverse = reverseTable();
    QByteArray bytes;
    bytes.reserve(text.size());
    for (const QChar c : text) {
        const char16_t code = c.unicode();
        if (code == 0) {
            bytes.append('\0');
            continue;
        }
        const unsigned char byte = code < reverse.size() ? reverse[code] : 0;
        if (byte == 0)
            return false;
        bytes.append(char(byte));
    }
    *out = bytes;
    return true;
}
