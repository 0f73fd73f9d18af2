// FTP control-connection replies: the line cutter fed in chunks (byte 0 picks the chunk size),
// and the reply texts of PWD and PASV.
#include <FtpReplyParser.h>

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const size_t step = size_t(data[0] % 32) + 1;
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    const size_t length = size - 1;

    FtpReplyParser parser;
    int code = 0;
    std::string text;
    for (size_t at = 0; at < length; at += step) {
        const size_t n = step < length - at ? step : length - at;
        parser.append(bytes + at, n);
        int r;
        while ((r = parser.take(code, text)) == 1) {
            if (code <= 0 || text.find('\n') != std::string::npos)
                std::abort();
        }
        if (r < 0)
            parser.clear();
        if (parser.pending() > FtpReplyParser::kMaxPending + step)
            std::abort();
    }

    const std::string whole(bytes, length);
    const std::string path = FtpReplyParser::quotedPath(whole);
    if (path.size() > whole.size())
        std::abort();
    unsigned char numbers[6];
    FtpReplyParser::passiveNumbers(whole, numbers);
    return 0;
}
