#include <QAESEncryption.h>
#include <TestAppDir.h>

#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

namespace {
QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text));
}

const char* const kSp800Plain = "6bc1bee22e409f96e93d7e117393172a"
                                "ae2d8a571e03ac9c9eb76fac45af8e51"
                                "30c81c46a35ce411e5fbc1191a0a52ef"
                                "f69f2445df4f9b17ad2b417be66c3710";
const char* const kSp800Key128 = "2b7e151628aed2a6abf7158809cf4f3c";
const char* const kSp800Key192 = "8e73b0f7da0e6452c810f32b809079e562f8ead2522c6b7b";
const char* const kSp800Key256 = "603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4";
const char* const kSp800Iv = "000102030405060708090a0b0c0d0e0f";

QByteArray randomBytes(QRandomGenerator& rng, int n)
{
    QByteArray b(n, Qt::Uninitialized);
    for (int i = 0; i < n; ++i)
        b[i] = char(rng.bounded(256));
    return b;
}

int keyLength(int level)
{
    return level == 1 ? 24 : level == 2 ? 32 : 16;
}

// The padding each kind appends, written out here so the peers below see whole blocks.
QByteArray padded(const QByteArray& plain, int padding)
{
    const int k = (16 - plain.size() % 16) % 16;
    if (padding == 1)
        return plain + (k == 0 ? QByteArray(16, char(16)) : QByteArray(k, char(k)));
    if (padding == 2)
        return k == 0 ? plain : plain + char(0x80) + QByteArray(k - 1, '\0');
    return plain + QByteArray(k, '\0');
}

const char* const kModeNames[] = {"ecb", "cbc", "cfb", "ofb"};
} // namespace

class tst_QAESEncryption : public QObject
{
    Q_OBJECT

private slots:
    void fips197Examples_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("cipher");
        QTest::newRow("C.1 AES-128") << 0 << hex("000102030405060708090a0b0c0d0e0f")
                                     << hex("69c4e0d86a7b0430d8cdb78070b4c55a");
        QTest::newRow("C.2 AES-192") << 1 << hex("000102030405060708090a0b0c0d0e0f1011121314151617")
                                     << hex("dda97ca4864cdfe06eaf70a0ec0d7191");
        QTest::newRow("C.3 AES-256") << 2 << hex("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f")
                                     << hex("8ea2b7ca516745bfeafc49904b496089");
    }

    void fips197Examples()
    {
        QFETCH(int, level);
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, cipher);
        const QByteArray plain = hex("00112233445566778899aabbccddeeff");
        QAESEncryption aes(level, 0, 0);
        QCOMPARE(aes.Encode(plain, key), cipher);
        QCOMPARE(aes.Decode(cipher, key), plain);
    }

    void expandedKeyLastWord_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<int>("size");
        QTest::addColumn<QByteArray>("lastWord");
        QTest::newRow("A.1 AES-128") << 0 << hex(kSp800Key128) << 176 << hex("b6630ca6");
        QTest::newRow("A.2 AES-192") << 1 << hex(kSp800Key192) << 208 << hex("01002202");
        QTest::newRow("A.3 AES-256") << 2 << hex(kSp800Key256) << 240 << hex("706c631e");
    }

    void expandedKeyLastWord()
    {
        QFETCH(int, level);
        QFETCH(QByteArray, key);
        QFETCH(int, size);
        QFETCH(QByteArray, lastWord);
        const QByteArray expanded = QAESEncryption::StaticExpandKey(level, 0, key);
        QCOMPARE(expanded.size(), size);
        QCOMPARE(expanded.left(key.size()), key);
        QCOMPARE(expanded.right(4), lastWord);
        QVERIFY(QAESEncryption::StaticExpandKey(level, 0, key + 'x').isEmpty());
    }

    void sp80038aVectors_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("cipher");
        QTest::newRow("F.1.1 ECB-AES128") << 0 << 0 << hex(kSp800Key128)
                                          << hex("3ad77bb40d7a3660a89ecaf32466ef97f5d3d58503b9699de785895a96fdbaaf"
                                                 "43b1cd7f598ece23881b00e3ed0306887b0c785e27e8ad3f8223207104725dd4");
        QTest::newRow("F.1.3 ECB-AES192") << 1 << 0 << hex(kSp800Key192)
                                          << hex("bd334f1d6e45f25ff712a214571fa5cc974104846d0ad3ad7734ecb3ecee4eef"
                                                 "ef7afd2270e2e60adce0ba2face6444e9a4b41ba738d6c72fb16691603c18e0e");
        QTest::newRow("F.1.5 ECB-AES256") << 2 << 0 << hex(kSp800Key256)
                                          << hex("f3eed1bdb5d2a03c064b5a7e3db181f8591ccb10d410ed26dc5ba74a31362870"
                                                 "b6ed21b99ca6f4f9f153e7b1beafed1d23304b7a39f9f3ff067d8d8f9e24ecc7");
        QTest::newRow("F.2.1 CBC-AES128") << 0 << 1 << hex(kSp800Key128)
                                          << hex("7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b2"
                                                 "73bed6b8e3c1743b7116e69e222295163ff1caa1681fac09120eca307586e1a7");
        QTest::newRow("F.2.3 CBC-AES192") << 1 << 1 << hex(kSp800Key192)
                                          << hex("4f021db243bc633d7178183a9fa071e8b4d9ada9ad7dedf4e5e738763f69145a"
                                                 "571b242012fb7ae07fa9baac3df102e008b0e27988598881d920a9e64f5615cd");
        QTest::newRow("F.2.5 CBC-AES256") << 2 << 1 << hex(kSp800Key256)
                                          << hex("f58c4c04d6e5f1ba779eabfb5f7bfbd69cfc4e967edb808d679f777bc6702c7d"
                                                 "39f23369a9d9bacfa530e26304231461b2eb05e2c39be9fcda6c19078c6a9d1b");
        QTest::newRow("F.3.13 CFB128-AES128")
            << 0 << 2 << hex(kSp800Key128)
            << hex("3b3fd92eb72dad20333449f8e83cfb4ac8a64537a0b3a93fcde3cdad9f1ce58b"
                   "26751f67a3cbb140b1808cf187a4f4dfc04b05357c5d1c0eeac4c66f9ff7f2e6");
        QTest::newRow("F.3.15 CFB128-AES192")
            << 1 << 2 << hex(kSp800Key192)
            << hex("cdc80d6fddf18cab34c25909c99a417467ce7f7f81173621961a2b70171d3d7a"
                   "2e1e8a1dd59b88b1c8e60fed1efac4c9c05f9f9ca9834fa042ae8fba584b09ff");
        QTest::newRow("F.3.17 CFB128-AES256")
            << 2 << 2 << hex(kSp800Key256)
            << hex("dc7e84bfda79164b7ecd8486985d386039ffed143b28b1c832113c6331e5407b"
                   "df10132415e54b92a13ed0a8267ae2f975a385741ab9cef82031623d55b1e471");
        QTest::newRow("F.4.1 OFB-AES128") << 0 << 3 << hex(kSp800Key128)
                                          << hex("3b3fd92eb72dad20333449f8e83cfb4a7789508d16918f03f53c52dac54ed825"
                                                 "9740051e9c5fecf64344f7a82260edcc304c6528f659c77866a510d9c1d6ae5e");
        QTest::newRow("F.4.3 OFB-AES192") << 1 << 3 << hex(kSp800Key192)
                                          << hex("cdc80d6fddf18cab34c25909c99a4174fcc28b8d4c63837c09e81700c1100401"
                                                 "8d9a9aeac0f6596f559c6d4daf59a5f26d9f200857ca6c3e9cac524bd9acc92a");
        QTest::newRow("F.4.5 OFB-AES256") << 2 << 3 << hex(kSp800Key256)
                                          << hex("dc7e84bfda79164b7ecd8486985d38604febdc6740d20b3ac88f6ad82a4fb08d"
                                                 "71ab47a086e86eedf39d1c5bba97c4080126141d67f37be8538f5a8be740e484");
    }

    void sp80038aVectors()
    {
        QFETCH(int, level);
        QFETCH(int, mode);
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, cipher);
        const QByteArray plain = hex(kSp800Plain);
        const QByteArray iv = hex(kSp800Iv);
        QCOMPARE(QAESEncryption::Crypt(level, mode, plain, key, iv, 0), cipher);
        QCOMPARE(QAESEncryption::Decrypt(level, mode, cipher, key, iv, 0), plain);
    }

    // Random keys, IVs and texts, checked against python3-cryptography (OpenSSL underneath)
    // in one batch per padding kind.
    void randomCasesAgreeWithPythonCryptography_data()
    {
        QTest::addColumn<int>("padding");
        QTest::newRow("zero padding") << 0;
        QTest::newRow("PKCS #7") << 1;
        QTest::newRow("0x80 then zeros") << 2;
    }

    void randomCasesAgreeWithPythonCryptography()
    {
        QFETCH(int, padding);
        constexpr int kPerMode = 200;
        QRandomGenerator rng(0xAE5u + quint32(padding));
        struct Case
        {
            int level, mode;
            QByteArray key, iv, plain;
        };
        QVector<Case> cases;
        QByteArray batch;
        for (int level = 0; level < 3; ++level)
            for (int mode = 0; mode < 4; ++mode)
                for (int i = 0; i < kPerMode; ++i) {
                    Case c{level, mode, randomBytes(rng, keyLength(level)), randomBytes(rng, 16),
                           randomBytes(rng, int(rng.bounded(97)))};
                    if (i % 10 == 0 && !c.plain.isEmpty())
                        c.plain[c.plain.size() - 1] = '\0'; // a trailing zero: padding 0 cannot undo it
                    batch += QByteArray(kModeNames[mode]) + ' ' + c.key.toHex() + ' ' + c.iv.toHex() + ' '
                           + padded(c.plain, padding).toHex() + '\n';
                    cases << c;
                }
        const QString script =
            QStringLiteral("import sys\n"
                           "from cryptography.hazmat.primitives.ciphers import Cipher, algorithms, modes\n"
                           "for line in sys.stdin:\n"
                           "    m, k, iv, p = (line.split() + [''])[:4]\n"
                           "    k, iv, p = bytes.fromhex(k), bytes.fromhex(iv), bytes.fromhex(p)\n"
                           "    mode = {'ecb': lambda: modes.ECB(), 'cbc': lambda: modes.CBC(iv),\n"
                           "            'cfb': lambda: modes.CFB(iv), 'ofb': lambda: modes.OFB(iv)}[m]()\n"
                           "    e = Cipher(algorithms.AES(k), mode).encryptor()\n"
                           "    print((e.update(p) + e.finalize()).hex() or '-')\n");
        QProcess py;
        py.start(TestAppDir::python(), {QStringLiteral("-c"), script});
        QVERIFY(py.waitForStarted(10000));
        py.write(batch);
        py.closeWriteChannel();
        QVERIFY(py.waitForFinished(60000));
        if (py.exitCode() != 0 && py.readAllStandardError().contains("ModuleNotFoundError"))
            QSKIP("python3-cryptography is not installed; scripts/deps installs it");
        QCOMPARE(py.exitCode(), 0);
        const QList<QByteArray> lines = py.readAllStandardOutput().split('\n');
        QVERIFY(lines.size() >= cases.size());
        for (int i = 0; i < cases.size(); ++i) {
            const Case& c = cases[i];
            QAESEncryption aes(c.level, c.mode, padding);
            const QByteArray expected = lines[i] == "-" ? QByteArray() : QByteArray::fromHex(lines[i]);
            const QByteArray cipher = aes.Encode(c.plain, c.key, c.iv);
            QVERIFY2(cipher == expected,
                     qPrintable(QStringLiteral("case %1: level %2 mode %3").arg(i).arg(c.level).arg(c.mode)));
            const QByteArray back = aes.Decode(cipher, c.key, c.iv);
            QCOMPARE(back, padded(c.plain, padding));
            const bool undoable = padding == 1 || (padding == 0 && !c.plain.endsWith('\0'))
                               || (padding == 2 && cipher.size() > c.plain.size());
            if (undoable)
                QCOMPARE(aes.RemovePadding(back), c.plain);
        }
    }

    // The openssl command line as a second, separate peer: one case per level and mode with
    // our padding given to it as plain text, and openssl's own PKCS #7 padding for ECB and CBC.
    void agreesWithOpensslEnc_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<int>("mode");
        for (int level = 0; level < 3; ++level)
            for (int mode = 0; mode < 4; ++mode)
                QTest::newRow(qPrintable(QStringLiteral("aes-%1-%2").arg(keyLength(level) * 8).arg(kModeNames[mode])))
                    << level << mode;
    }

    void agreesWithOpensslEnc()
    {
        QFETCH(int, level);
        QFETCH(int, mode);
        QRandomGenerator rng(quint32(level * 4 + mode + 1));
        const QByteArray key = randomBytes(rng, keyLength(level));
        const QByteArray iv = randomBytes(rng, 16);
        const QByteArray plain = randomBytes(rng, 45);
        const QString cipherName = QStringLiteral("-aes-%1-%2").arg(keyLength(level) * 8).arg(kModeNames[mode]);
        auto openssl = [&](const QByteArray& input, bool nopad) {
            QStringList args{QStringLiteral("enc"), cipherName, QStringLiteral("-K"), QString::fromLatin1(key.toHex())};
            if (mode != 0)
                args << QStringLiteral("-iv") << QString::fromLatin1(iv.toHex());
            if (nopad)
                args << QStringLiteral("-nopad");
            QProcess p;
            p.start(QStringLiteral("openssl"), args);
            if (!p.waitForStarted(10000))
                return QByteArray("openssl missing");
            p.write(input);
            p.closeWriteChannel();
            p.waitForFinished(30000);
            return p.exitCode() == 0 ? p.readAllStandardOutput() : QByteArray("openssl failed");
        };
        for (int padding = 0; padding < 3; ++padding)
            QCOMPARE(QAESEncryption::Crypt(level, mode, plain, key, iv, padding),
                     openssl(padded(plain, padding), true));
        if (mode < 2)
            QCOMPARE(QAESEncryption::Crypt(level, mode, plain, key, iv, 1), openssl(plain, false));
    }

    void paddedLengths_data()
    {
        QTest::addColumn<int>("padding");
        QTest::addColumn<int>("plainLength");
        QTest::addColumn<int>("cipherLength");
        QTest::newRow("16 bytes, PKCS #7 adds a block") << 1 << 16 << 32;
        QTest::newRow("16 bytes, zeros add nothing") << 0 << 16 << 16;
        QTest::newRow("16 bytes, 0x80 adds nothing") << 2 << 16 << 16;
        QTest::newRow("empty, zeros") << 0 << 0 << 0;
        QTest::newRow("empty, 0x80") << 2 << 0 << 0;
        QTest::newRow("empty, PKCS #7") << 1 << 0 << 16;
        QTest::newRow("17 bytes, zeros") << 0 << 17 << 32;
        QTest::newRow("unknown padding pads with zeros") << 9 << 5 << 16;
    }

    void paddedLengths()
    {
        QFETCH(int, padding);
        QFETCH(int, plainLength);
        QFETCH(int, cipherLength);
        const QByteArray key = hex(kSp800Key128);
        QAESEncryption aes(0, 0, padding);
        const QByteArray cipher = aes.Encode(QByteArray(plainLength, 'a'), key);
        QCOMPARE(cipher.size(), cipherLength);
        if (padding == 1 && plainLength == 16)
            QCOMPARE(aes.Decode(cipher, key).mid(16), QByteArray(16, char(16)));
        if (padding == 9)
            QCOMPARE(aes.Decode(cipher, key), QByteArray(5, 'a') + QByteArray(11, '\0'));
    }

    void refusedArguments_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("keyLength");
        QTest::addColumn<int>("ivLength");
        QTest::addColumn<bool>("works");
        QTest::newRow("CBC with 15-byte IV") << 0 << 1 << 16 << 15 << false;
        QTest::newRow("CFB with empty IV") << 0 << 2 << 16 << 0 << false;
        QTest::newRow("OFB with 17-byte IV") << 0 << 3 << 16 << 17 << false;
        QTest::newRow("ECB ignores the IV") << 0 << 0 << 16 << 3 << true;
        QTest::newRow("17-byte key for AES-128") << 0 << 0 << 17 << 16 << false;
        QTest::newRow("16-byte key for AES-256") << 2 << 1 << 16 << 16 << false;
        QTest::newRow("empty key") << 1 << 0 << 0 << 16 << false;
        QTest::newRow("unknown mode 4") << 0 << 4 << 16 << 16 << false;
        QTest::newRow("negative mode") << 0 << -1 << 16 << 16 << false;
        QTest::newRow("unknown level is AES-128") << 7 << 1 << 16 << 16 << true;
    }

    void refusedArguments()
    {
        QFETCH(int, level);
        QFETCH(int, mode);
        QFETCH(int, keyLength);
        QFETCH(int, ivLength);
        QFETCH(bool, works);
        const QByteArray key(keyLength, 'k');
        const QByteArray iv(ivLength, 'i');
        QAESEncryption aes(level, mode, 1);
        const QByteArray cipher = aes.Encode("some text", key, iv);
        QCOMPARE(!cipher.isEmpty(), works);
        QCOMPARE(!aes.Decode(QByteArray(32, 'c'), key, iv).isEmpty(), works);
        if (level == 7)
            QCOMPARE(cipher, QAESEncryption::Crypt(0, mode, "some text", key, iv, 1));
    }

    void cutOffCipherText_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("decoded");
        QTest::newRow("ECB refuses") << 0 << false;
        QTest::newRow("CBC refuses") << 1 << false;
        QTest::newRow("CFB decodes the short block") << 2 << true;
        QTest::newRow("OFB decodes the short block") << 3 << true;
    }

    void cutOffCipherText()
    {
        QFETCH(int, mode);
        QFETCH(bool, decoded);
        const QByteArray key = hex(kSp800Key128), iv = hex(kSp800Iv);
        const QByteArray plain = hex(kSp800Plain);
        QAESEncryption aes(0, mode, 0);
        const QByteArray cipher = aes.Encode(plain, key, iv);
        for (int cut : {1, 15, 17, 63}) {
            const QByteArray out = aes.Decode(cipher.left(cut), key, iv);
            if (decoded)
                QCOMPARE(out, plain.left(cut));
            else
                QVERIFY(out.isEmpty());
        }
    }

    void removePadding_data()
    {
        QTest::addColumn<int>("padding");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("output");
        QTest::newRow("zeros: trailing zeros go") << 0 << hex("41420000") << hex("4142");
        QTest::newRow("zeros: only zeros become empty") << 0 << hex("000000") << QByteArray();
        QTest::newRow("PKCS: three bytes of 3") << 1 << hex("4142030303") << hex("4142");
        QTest::newRow("PKCS: last byte 0 stays") << 1 << hex("414200") << hex("414200");
        QTest::newRow("PKCS: last byte 0x80 stays") << 1 << hex("414280") << hex("414280");
        QTest::newRow("PKCS: count beyond length stays") << 1 << hex("4105") << hex("4105");
        QTest::newRow("PKCS: other bytes not checked") << 1 << hex("41424302") << hex("4142");
        QTest::newRow("0x80: marker and zeros go") << 2 << hex("41428000") << hex("4142");
        QTest::newRow("0x80: marker alone goes") << 2 << hex("414280") << hex("4142");
        QTest::newRow("0x80: data ending in the marker is cut") << 2 << hex("8000") << QByteArray();
        QTest::newRow("0x80: no marker stays") << 2 << hex("414200") << hex("414200");
        QTest::newRow("0x80: only zeros stay") << 2 << hex("0000") << hex("0000");
        QTest::newRow("unknown kind leaves it") << 5 << hex("41420000") << hex("41420000");
        QTest::newRow("empty input") << 1 << QByteArray() << QByteArray();
    }

    void removePadding()
    {
        QFETCH(int, padding);
        QFETCH(QByteArray, input);
        QFETCH(QByteArray, output);
        QCOMPARE(QAESEncryption::StaticRemovePadding(input, padding), output);
        QCOMPARE(QAESEncryption(0, 0, padding).RemovePadding(input), output);
    }

    void toHex()
    {
        const quint8 bytes[] = {0x00, 0xAB};
        QCOMPARE(QAESEncryption::ToHex(bytes, 2), QByteArray("00ab"));
        QCOMPARE(QAESEncryption::ToHex(bytes, 0), QByteArray());
        QCOMPARE(QAESEncryption::staticMetaObject.className(), "QAESEncryption");
    }
};

QTEST_GUILESS_MAIN(tst_QAESEncryption)
#include "tst_QAESEncryption.moc"
