#include "QAESEncryption.h"

#include <algorithm>

namespace {
const quint8 kSbox[256] = {
    0x63, 0x7c, 0x77, 0x7b, 0xf2, 0x6b, 0x6f, 0xc5, 0x30, 0x01, 0x67, 0x2b, 0xfe, 0xd7, 0xab, 0x76, 0xca, 0x82, 0xc9,
    0x7d, 0xfa, 0x59, 0x47, 0xf0, 0xad, 0xd4, 0xa2, 0xaf, 0x9c, 0xa4, 0x72, 0xc0, 0xb7, 0xfd, 0x93, 0x26, 0x36, 0x3f,
    0xf7, 0xcc, 0x34, 0xa5, 0xe5, 0xf1, 0x71, 0xd8, 0x31, 0x15, 0x04, 0xc7, 0x23, 0xc3, 0x18, 0x96, 0x05, 0x9a, 0x07,
    0x12, 0x80, 0xe2, 0xeb, 0x27, 0xb2, 0x75, 0x09, 0x83, 0x2c, 0x1a, 0x1b, 0x6e, 0x5a, 0xa0, 0x52, 0x3b, 0xd6, 0xb3,
    0x29, 0xe3, 0x2f, 0x84, 0x53, 0xd1, 0x00, 0xed, 0x20, 0xfc, 0xb1, 0x5b, 0x6a, 0xcb, 0xbe, 0x39, 0x4a, 0x4c, 0x58,
    0xcf, 0xd0, 0xef, 0xaa, 0xfb, 0x43, 0x4d, 0x33, 0x85, 0x45, 0xf9, 0x02, 0x7f, 0x50, 0x3c, 0x9f, 0xa8, 0x51, 0xa3,
    0x40, 0x8f, 0x92, 0x9d, 0x38, 0xf5, 0xbc, 0xb6, 0xda, 0x21, 0x10, 0xff, 0xf3, 0xd2, 0xcd, 0x0c, 0x13, 0xec, 0x5f,
    0x97, 0x44, 0x17, 0xc4, 0xa7, 0x7e, 0x3d, 0x64, 0x5d, 0x19, 0x73, 0x60, 0x81, 0x4f, 0xdc, 0x22, 0x2a, 0x90, 0x88,
    0x46, 0xee, 0xb8, 0x14, 0xde, 0x5e, 0x0b, 0xdb, 0xe0, 0x32, 0x3a, 0x0a, 0x49, 0x06, 0x24, 0x5c, 0xc2, 0xd3, 0xac,
    0x62, 0x91, 0x95, 0xe4, 0x79, 0xe7, 0xc8, 0x37, 0x6d, 0x8d, 0xd5, 0x4e, 0xa9, 0x6c, 0x56, 0xf4, 0xea, 0x65, 0x7a,
    0xae, 0x08, 0xba, 0x78, 0x25, 0x2e, 0x1c, 0xa6, 0xb4, 0xc6, 0xe8, 0xdd, 0x74, 0x1f, 0x4b, 0xbd, 0x8b, 0x8a, 0x70,
    0x3e, 0xb5, 0x66, 0x48, 0x03, 0xf6, 0x0e, 0x61, 0x35, 0x57, 0xb9, 0x86, 0xc1, 0x1d, 0x9e, 0xe1, 0xf8, 0x98, 0x11,
    0x69, 0xd9, 0x8e, 0x94, 0x9b, 0x1e, 0x87, 0xe9, 0xce, 0x55, 0x28, 0xdf, 0x8c, 0xa1, 0x89, 0x0d, 0xbf, 0xe6, 0x42,
    0x68, 0x41, 0x99, 0x2d, 0x0f, 0xb0, 0x54, 0xbb, 0x16};

const quint8 kInvSbox[256] = {
    0x52, 0x09, 0x6a, 0xd5, 0x30, 0x36, 0xa5, 0x38, 0xbf, 0x40, 0xa3, 0x9e, 0x81, 0xf3, 0xd7, 0xfb, 0x7c, 0xe3, 0x39,
    0x82, 0x9b, 0x2f, 0xff, 0x87, 0x34, 0x8e, 0x43, 0x44, 0xc4, 0xde, 0xe9, 0xcb, 0x54, 0x7b, 0x94, 0x32, 0xa6, 0xc2,
    0x23, 0x3d, 0xee, 0x4c, 0x95, 0x0b, 0x42, 0xfa, 0xc3, 0x4e, 0x08, 0x2e, 0xa1, 0x66, 0x28, 0xd9, 0x24, 0xb2, 0x76,
    0x5b, 0xa2, 0x49, 0x6d, 0x8b, 0xd1, 0x25, 0x72, 0xf8, 0xf6, 0x64, 0x86, 0x68, 0x98, 0x16, 0xd4, 0xa4, 0x5c, 0xcc,
    0x5d, 0x65, 0xb6, 0x92, 0x6c, 0x70, 0x48, 0x50, 0xfd, 0xed, 0xb9, 0xda, 0x5e, 0x15, 0x46, 0x57, 0xa7, 0x8d, 0x9d,
    0x84, 0x90, 0xd8, 0xab, 0x00, 0x8c, 0xbc, 0xd3, 0x0a, 0xf7, 0xe4, 0x58, 0x05, 0xb8, 0xb3, 0x45, 0x06, 0xd0, 0x2c,
    0x1e, 0x8f, 0xca, 0x3f, 0x0f, 0x02, 0xc1, 0xaf, 0xbd, 0x03, 0x01, 0x13, 0x8a, 0x6b, 0x3a, 0x91, 0x11, 0x41, 0x4f,
    0x67, 0xdc, 0xea, 0x97, 0xf2, 0xcf, 0xce, 0xf0, 0xb4, 0xe6, 0x73, 0x96, 0xac, 0x74, 0x22, 0xe7, 0xad, 0x35, 0x85,
    0xe2, 0xf9, 0x37, 0xe8, 0x1c, 0x75, 0xdf, 0x6e, 0x47, 0xf1, 0x1a, 0x71, 0x1d, 0x29, 0xc5, 0x89, 0x6f, 0xb7, 0x62,
    0x0e, 0xaa, 0x18, 0xbe, 0x1b, 0xfc, 0x56, 0x3e, 0x4b, 0xc6, 0xd2, 0x79, 0x20, 0x9a, 0xdb, 0xc0, 0xfe, 0x78, 0xcd,
    0x5a, 0xf4, 0x1f, 0xdd, 0xa8, 0x33, 0x88, 0x07, 0xc7, 0x31, 0xb1, 0x12, 0x10, 0x59, 0x27, 0x80, 0xec, 0x5f, 0x60,
    0x51, 0x7f, 0xa9, 0x19, 0xb5, 0x4a, 0x0d, 0x2d, 0xe5, 0x7a, 0x9f, 0x93, 0xc9, 0x9c, 0xef, 0xa0, 0xe0, 0x3b, 0x4d,
    0xae, 0x2a, 0xf5, 0xb0, 0xc8, 0xeb, 0xbb, 0x3c, 0x83, 0x53, 0x99, 0x61, 0x17, 0x2b, 0x04, 0x7e, 0xba, 0x77, 0xd6,
    0x26, 0xe1, 0x69, 0x14, 0x63, 0x55, 0x21, 0x0c, 0x7d};

// Round constants x^(i-1) in GF(2^8), index i from 1.
const quint8 kRcon[15] = {0x00, 0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80, 0x1b, 0x36, 0x6c, 0xd8, 0xab, 0x4d};

quint8 xtime(quint8 x)
{
    return quint8((x << 1) ^ ((x & 0x80) ? 0x1b : 0x00));
}
} // namespace

QAESEncryption::QAESEncryption(int level, int mode, int padding)
    : QObject(nullptr)
    , m_mode(mode)
    , m_padding(padding)
{
    switch (level) {
    case 1:
        m_nk = 6;
        m_nr = 12;
        break;
    case 2:
        m_nk = 8;
        m_nr = 14;
        break;
    default:
        m_nk = 4;
        m_nr = 10;
        break;
    }
    m_keyLength = m_nk * 4;
    m_expandedKeyLength = kBlockSize * (m_nr + 1);
}

QAESEncryption::~QAESEncryption() = default;

QByteArray QAESEncryption::Crypt(int level, int mode, const QByteArray& plain, const QByteArray& key,
                                 const QByteArray& iv, int padding)
{
    return QAESEncryption(level, mode, padding).Encode(plain, key, iv);
}

QByteArray QAESEncryption::Decrypt(int level, int mode, const QByteArray& cipher, const QByteArray& key,
                                   const QByteArray& iv, int padding)
{
    return QAESEncryption(level, mode, padding).Decode(cipher, key, iv);
}

QByteArray QAESEncryption::StaticExpandKey(int level, int mode, const QByteArray& key)
{
    return QAESEncryption(level, mode, 0).ExpandKey(key);
}

QByteArray QAESEncryption::ToHex(const quint8* bytes, int count)
{
    if (!bytes || count <= 0)
        return QByteArray();
    return QByteArray(reinterpret_cast<const char*>(bytes), count).toHex();
}

QByteArray QAESEncryption::GetPadding(int length, int alignment) const
{
    const int k = (alignment - length % alignment) % alignment;
    switch (m_padding) {
    case 1:
        return k == 0 ? QByteArray(alignment, char(alignment)) : QByteArray(k, char(k));
    case 2:
        return k == 0 ? QByteArray() : QByteArray(1, char(0x80)) + QByteArray(k - 1, '\0');
    default:
        return QByteArray(k, '\0');
    }
}

QByteArray QAESEncryption::RemovePadding(const QByteArray& bytes)
{
    return StaticRemovePadding(bytes, m_padding);
}

QByteArray QAESEncryption::StaticRemovePadding(const QByteArray& bytes, int padding)
{
    if (bytes.isEmpty())
        return bytes;
    switch (padding) {
    case 0: {
        int end = bytes.size();
        while (end > 0 && bytes[end - 1] == '\0')
            --end;
        return bytes.left(end);
    }
    case 1: {
        const int n = qint8(bytes[bytes.size() - 1]);
        if (n >= 1 && n <= bytes.size())
            return bytes.left(bytes.size() - n);
        return bytes;
    }
    case 2: {
        int end = bytes.size();
        while (end > 0 && bytes[end - 1] == '\0')
            --end;
        if (end > 0 && quint8(bytes[end - 1]) == 0x80)
            return bytes.left(end - 1);
        return bytes;
    }
    default:
        return bytes;
    }
}

QByteArray QAESEncryption::ExpandKey(const QByteArray& key)
{
    if (key.size() != m_keyLength)
        return QByteArray();
    QByteArray w = key;
    w.resize(m_expandedKeyLength);
    quint8* out = reinterpret_cast<quint8*>(w.data());
    const int words = 4 * (m_nr + 1);
    for (int i = m_nk; i < words; ++i) {
        quint8 t[4] = {out[4 * (i - 1)], out[4 * (i - 1) + 1], out[4 * (i - 1) + 2], out[4 * (i - 1) + 3]};
        if (i % m_nk == 0) {
            const quint8 first = t[0];
            t[0] = quint8(kSbox[t[1]] ^ kRcon[i / m_nk]);
            t[1] = kSbox[t[2]];
            t[2] = kSbox[t[3]];
            t[3] = kSbox[first];
        } else if (m_nk > 6 && i % m_nk == 4) {
            for (quint8& b : t)
                b = kSbox[b];
        }
        for (int j = 0; j < 4; ++j)
            out[4 * i + j] = quint8(out[4 * (i - m_nk) + j] ^ t[j]);
    }
    return w;
}

void QAESEncryption::AddRoundKey(int round, const QByteArray& expandedKey)
{
    const quint8* k = reinterpret_cast<const quint8*>(expandedKey.constData()) + kBlockSize * round;
    for (int i = 0; i < kBlockSize; ++i)
        m_state[i] ^= k[i];
}

void QAESEncryption::SubBytes()
{
    for (int i = 0; i < kBlockSize; ++i)
        m_state[i] = kSbox[m_state[i]];
}

void QAESEncryption::InvSubBytes()
{
    for (int i = 0; i < kBlockSize; ++i)
        m_state[i] = kInvSbox[m_state[i]];
}

// Row r of column c is byte 4c + r; row r moves r columns to the left.
void QAESEncryption::ShiftRows()
{
    quint8 t[kBlockSize];
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            t[4 * c + r] = m_state[4 * ((c + r) % 4) + r];
    std::copy(t, t + kBlockSize, m_state);
}

void QAESEncryption::InvShiftRows()
{
    quint8 t[kBlockSize];
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            t[4 * ((c + r) % 4) + r] = m_state[4 * c + r];
    std::copy(t, t + kBlockSize, m_state);
}

void QAESEncryption::MixColumns()
{
    for (int c = 0; c < 4; ++c) {
        quint8* col = m_state + 4 * c;
        const quint8 a0 = col[0], a1 = col[1], a2 = col[2], a3 = col[3];
        col[0] = quint8(xtime(a0) ^ (xtime(a1) ^ a1) ^ a2 ^ a3);
        col[1] = quint8(a0 ^ xtime(a1) ^ (xtime(a2) ^ a2) ^ a3);
        col[2] = quint8(a0 ^ a1 ^ xtime(a2) ^ (xtime(a3) ^ a3));
        col[3] = quint8((xtime(a0) ^ a0) ^ a1 ^ a2 ^ xtime(a3));
    }
}

void QAESEncryption::InvMixColumns()
{
    for (int c = 0; c < 4; ++c) {
        quint8* col = m_state + 4 * c;
        const quint8 a0 = col[0], a1 = col[1], a2 = col[2], a3 = col[3];
        col[0] = quint8(Multiply(a0, 0x0e) ^ Multiply(a1, 0x0b) ^ Multiply(a2, 0x0d) ^ Multiply(a3, 0x09));
        col[1] = quint8(Multiply(a0, 0x09) ^ Multiply(a1, 0x0e) ^ Multiply(a2, 0x0b) ^ Multiply(a3, 0x0d));
        col[2] = quint8(Multiply(a0, 0x0d) ^ Multiply(a1, 0x09) ^ Multiply(a2, 0x0e) ^ Multiply(a3, 0x0b));
        col[3] = quint8(Multiply(a0, 0x0b) ^ Multiply(a1, 0x0d) ^ Multiply(a2, 0x09) ^ Multiply(a3, 0x0e));
    }
}

quint8 QAESEncryption::Multiply(quint8 x, quint8 y)
{
    quint8 result = 0;
    while (y) {
        if (y & 1)
            result ^= x;
        x = xtime(x);
        y >>= 1;
    }
    return result;
}

QByteArray QAESEncryption::ByteXor(const QByteArray& a, const QByteArray& b)
{
    const int n = qMin(a.size(), b.size());
    QByteArray out(n, Qt::Uninitialized);
    for (int i = 0; i < n; ++i)
        out[i] = char(a[i] ^ b[i]);
    return out;
}

QByteArray QAESEncryption::Cipher(const QByteArray& expandedKey, const QByteArray& block)
{
    QByteArray out = block;
    m_state = reinterpret_cast<quint8*>(out.data());
    AddRoundKey(0, expandedKey);
    for (int round = 1; round < m_nr; ++round) {
        SubBytes();
        ShiftRows();
        MixColumns();
        AddRoundKey(round, expandedKey);
    }
    SubBytes();
    ShiftRows();
    AddRoundKey(m_nr, expandedKey);
    m_state = nullptr;
    return out;
}

QByteArray QAESEncryption::InvCipher(const QByteArray& expandedKey, const QByteArray& block)
{
    QByteArray out = block;
    m_state = reinterpret_cast<quint8*>(out.data());
    AddRoundKey(m_nr, expandedKey);
    for (int round = m_nr - 1; round > 0; --round) {
        InvShiftRows();
        InvSubBytes();
        AddRoundKey(round, expandedKey);
        InvMixColumns();
    }
    InvShiftRows();
    InvSubBytes();
    AddRoundKey(0, expandedKey);
    m_state = nullptr;
    return out;
}

bool QAESEncryption::checkArguments(const QByteArray& key, const QByteArray& iv) const
{
    if (m_mode < 0 || m_mode > 3)
        return false;
    if (m_mode != 0 && iv.size() != kBlockSize)
        return false;
    return key.size() == m_keyLength;
}

QByteArray QAESEncryption::Encode(const QByteArray& plain, const QByteArray& key, const QByteArray& iv)
{
    if (!checkArguments(key, iv))
        return QByteArray();
    const QByteArray expanded = ExpandKey(key);
    const QByteArray text = plain + GetPadding(plain.size(), kBlockSize);
    QByteArray out;
    out.reserve(text.size());
    QByteArray previous = iv;
    for (int pos = 0; pos < text.size(); pos += kBlockSize) {
        const QByteArray block = text.mid(pos, kBlockSize);
        switch (m_mode) {
        case 0:
            out += Cipher(expanded, block);
            break;
        case 1:
            previous = Cipher(expanded, ByteXor(block, previous));
            out += previous;
            break;
        case 2:
            previous = ByteXor(block, Cipher(expanded, previous));
            out += previous;
            break;
        case 3:
            previous = Cipher(expanded, previous);
            out += ByteXor(block, previous);
            break;
        }
    }
    return out;
}

QByteArray QAESEncryption::Decode(const QByteArray& cipher, const QByteArray& key, const QByteArray& iv)
{
    if (!checkArguments(key, iv))
        return QByteArray();
    // ECB and CBC undo whole blocks only; a cut-off ciphertext is refused rather than guessed at.
    if ((m_mode == 0 || m_mode == 1) && cipher.size() % kBlockSize != 0)
        return QByteArray();
    const QByteArray expanded = ExpandKey(key);
    QByteArray out;
    out.reserve(cipher.size());
    QByteArray previous = iv;
    for (int pos = 0; pos < cipher.size(); pos += kBlockSize) {
        // In CFB and OFB the last block may be short; ByteXor keeps to its length.
        const QByteArray block = cipher.mid(pos, kBlockSize);
        switch (m_mode) {
        case 0:
            out += InvCipher(expanded, block);
            break;
        case 1:
            out += ByteXor(InvCipher(expanded, block), previous);
            previous = block;
            break;
        case 2:
            out += ByteXor(block, Cipher(expanded, previous));
            previous = block;
            break;
        case 3:
            previous = Cipher(expanded, previous);
            out += ByteXor(block, previous);
            break;
        }
    }
    return out;
}
