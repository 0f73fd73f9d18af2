#pragma once

#include "core_global.h"

#include <QByteArray>
#include <QObject>

// AES (FIPS-197) on byte arrays.
//
// level: 0 AES-128 (16-byte key), 1 AES-192 (24), 2 AES-256 (32); other values are AES-128.
// mode: 0 ECB, 1 CBC, 2 CFB (128-bit feedback), 3 OFB; other values give empty results.
// padding: 0 zero bytes, 1 PKCS #7, 2 one 0x80 byte then zeros (none on a whole block);
//          other values pad like 0 and remove nothing.
// A key of the wrong length, or an IV that is not 16 bytes in CBC, CFB and OFB, gives an
// empty result. Decode leaves the padding on; RemovePadding takes it off.
// Example: level 0, mode 0, padding 0, key 000102...0f, plain 00112233445566778899aabbccddeeff
// encodes to 69c4e0d86a7b0430d8cdb78070b4c55a.
class CORE_EXPORT QAESEncryption : public QObject
{
    Q_OBJECT
public:
    static constexpr int kBlockSize = 16;

    QAESEncryption(int level, int mode, int padding);
    ~QAESEncryption() override;

    QByteArray Encode(const QByteArray& plain, const QByteArray& key, const QByteArray& iv = QByteArray());
    QByteArray Decode(const QByteArray& cipher, const QByteArray& key, const QByteArray& iv = QByteArray());
    QByteArray RemovePadding(const QByteArray& bytes);
    // Empty when the key does not fit the level.
    QByteArray ExpandKey(const QByteArray& key);
    static QByteArray ToHex(const quint8* bytes, int count);

    static QByteArray Crypt(int level, int mode, const QByteArray& plain, const QByteArray& key,
                            const QByteArray& iv = QByteArray(), int padding = 1);
    static QByteArray Decrypt(int level, int mode, const QByteArray& cipher, const QByteArray& key,
                              const QByteArray& iv = QByteArray(), int padding = 1);
    static QByteArray StaticRemovePadding(const QByteArray& bytes, int padding);
    static QByteArray StaticExpandKey(int level, int mode, const QByteArray& key);

private:
    QByteArray GetPadding(int length, int alignment) const;
    QByteArray Cipher(const QByteArray& expandedKey, const QByteArray& block);
    QByteArray InvCipher(const QByteArray& expandedKey, const QByteArray& block);
    bool checkArguments(const QByteArray& key, const QByteArray& iv) const;

    void AddRoundKey(int round, const QByteArray& expandedKey);
    void SubBytes();
    void ShiftRows();
    void MixColumns();
    void InvSubBytes();
    void InvShiftRows();
    void InvMixColumns();

    static QByteArray ByteXor(const QByteArray& a, const QByteArray& b);
    static quint8 Multiply(quint8 x, quint8 y);

    int m_nk;
    int m_nr;
    int m_keyLength;
    int m_expandedKeyLength;
    int m_mode;
    int m_padding;
    // The block being transformed by the current block operation.
    quint8* m_state = nullptr;
};
