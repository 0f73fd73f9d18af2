// Feeds arbitrary bytes to the record information file readers: the format test (with the id
// taken from bytes 0..3 or from the record id field) and the old binary decoder.
#include <LocalRecordStore.h>

#include <QtEndian>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray content(reinterpret_cast<const char*>(data), int(size));
    const quint32 first = size >= 4 ? qFromLittleEndian<quint32>(data) : 0;
    if (size > 3 && !LocalRecordStore::IsOldFormatRecordInfoFile(first, content))
        abort();
    LocalRecordStore::IsOldFormatRecordInfoFile(0x6553f100u, content);

    RecordEx record;
    LocalRecordStore::ParseOldFormatRecordInfoFile(content, record);
    RecordEx parsed;
    parsed.parseBufferContent(record.toByteArray());
    parsed.BuildIndex();
    if (parsed.RecordValue(QStringLiteral("Name")).toUInt() != record.RecordValue(QStringLiteral("Name")).toUInt())
        abort();
    return 0;
}
