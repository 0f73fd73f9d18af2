// Feeds arbitrary bytes to the control-link reassembly in arbitrary chunks. Byte 0 picks the
// chunk size, so the fuzzer explores splits as well as contents.
#include <FrameBuffer.h>
#include <MsgHeader.h>

#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const size_t step = size_t(data[0] % 64) + 1;
    const auto* bytes = reinterpret_cast<const char*>(data + 1);
    const size_t length = size - 1;

    FrameBuffer buffer;
    QByteArray frame;
    for (size_t at = 0; at < length; at += step) {
        buffer.append(QByteArray(bytes + at, int(qMin(step, length - at))));
        FrameBuffer::Next next;
        while ((next = buffer.takeFrame(frame)) == FrameBuffer::Next::Frame) {
            if (frame.size() < MsgHeader::kSize + MsgHeader::kCrcSize)
                abort();
            MsgHeader head;
            std::memcpy(&head, frame.constData(), sizeof head);
            if (head.magic != MsgHeader::kMagic || quint64(head.length) + 20 != quint64(frame.size()))
                abort();
        }
        if (buffer.pending() < 0 || quint64(buffer.pending()) > FrameBuffer::kMaxPayload + 20 + step)
            abort();
    }

    const QByteArray whole(bytes, int(length));
    FrameBuffer::scanValidFrames(whole, [&](const uchar* f, quint32 total) {
        if (f < reinterpret_cast<const uchar*>(whole.constData())
            || f + total > reinterpret_cast<const uchar*>(whole.constData()) + whole.size())
            abort();
    });
    return 0;
}
