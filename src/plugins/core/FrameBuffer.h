#pragma once

#include "core_global.h"

#include <QByteArray>

#include <functional>

// The receive side of the control link. Chunks are appended as they arrive; whole frames are
// taken from the front by advancing a read offset, and the consumed prefix is dropped once per
// chunk, so a chunk holding many frames costs linear time.
//
// A buffer that does not begin with the magic is emptied: the stream is resynchronised by the
// next chunk, never by searching. A stated payload length beyond kMaxPayload (no command comes
// near it) empties the buffer too, so a corrupt length cannot make it grow without end.
class CORE_EXPORT FrameBuffer
{
public:
    static constexpr quint32 kMaxPayload = 16u * 1024u * 1024u;

    enum class Next {
        Frame,     // a whole frame was taken
        NeedMore,  // nothing whole yet; what is buffered is kept
        BadMagic,  // the front was not a frame start; the buffer was emptied
        Oversized, // the stated length is beyond kMaxPayload; the buffer was emptied
    };

    void append(const QByteArray& chunk);
    void clear();

    // Takes the next whole frame (header, payload and CRC field) into `frame`. The frame is a
    // copy, so a handler that feeds this buffer again while it runs cannot pull it away.
    Next takeFrame(QByteArray& frame);

    // Bytes received and not yet taken.
    int pending() const { return m_data.size() - m_offset; }

    // Calls `sink` with every frame of `data` whose CRC matches, in order; a frame start with a
    // bad CRC, or one that runs past the end, is skipped by its stated length.
    static int scanValidFrames(const QByteArray& data,
                               const std::function<void(const uchar* frame, quint32 total)>& sink);

private:
    void compact();

    QByteArray m_data;
    int m_offset = 0;
};
