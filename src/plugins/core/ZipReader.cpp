#include "ZipReader.h"

#include <cstring>
#include <vector>

namespace {
constexpr uint32_t kLocalHeader = 0x04034b50;
constexpr uint32_t kDataDescriptor = 0x08074b50;
constexpr uint32_t kCentralHeader = 0x02014b50;
constexpr uint32_t kZip64End = 0x06064b50;
constexpr uint32_t kZip64Locator = 0x07064b50;
constexpr uint32_t kEnd = 0x06054b50;

uint16_t u16(const unsigned char* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t u32(const unsigned char* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16)
         | (static_cast<uint32_t>(p[3]) << 24);
}

uint64_t u64(const unsigned char* p)
{
    return static_cast<uint64_t>(u32(p)) | (static_cast<uint64_t>(u32(p + 4)) << 32);
}
} // namespace

ZipReader::ZipReader(std::string p)
    : path(std::move(p))
{}

ZipReader::ZipReader(const void* bytes, size_t size)
    : m_bytes(static_cast<const unsigned char*>(bytes))
    , m_byteCount(size)
{}

ZipReader::~ZipReader()
{
    if (file)
        std::fclose(file);
}

bool ZipReader::fail(const std::string& why, int64_t offset)
{
    m_error = why + "（偏移 " + std::to_string(offset) + "）";
    return false;
}

bool ZipReader::readAt(int64_t offset, void* out, size_t length)
{
    if (offset < 0 || static_cast<uint64_t>(offset) > static_cast<uint64_t>(m_size)
        || length > static_cast<uint64_t>(m_size - offset))
        return false;
    if (m_bytes) {
        if (length > 0)
            std::memcpy(out, m_bytes + offset, length);
        return true;
    }
    if (fseeko(file, static_cast<off_t>(offset), SEEK_SET) != 0)
        return false;
    return length == 0 || std::fread(out, 1, length, file) == length;
}

bool ZipReader::readLocalHeader(int64_t& pos, std::list<ZipEntry>& entries)
{
    unsigned char h[30];
    if (!readAt(pos, h, sizeof h))
        return fail("文件头被截断", pos);
    const uint16_t flags = u16(h + 6);
    uint64_t compressed = u32(h + 18);
    uint64_t uncompressed = u32(h + 22);
    const uint16_t nameLength = u16(h + 26);
    const uint16_t extraLength = u16(h + 28);
    std::vector<char> name(nameLength);
    std::vector<unsigned char> extra(extraLength);
    if (!readAt(pos + 30, name.data(), nameLength) || !readAt(pos + 30 + nameLength, extra.data(), extraLength))
        return fail("文件名或扩展字段被截断", pos);

    m_lastZip64 = false;
    if (compressed == 0xFFFFFFFFu || uncompressed == 0xFFFFFFFFu) {
        // The zip64 field holds the 64-bit sizes, uncompressed first, only for those that overflowed.
        bool found = false;
        for (size_t i = 0; i + 4 <= extra.size();) {
            const uint16_t id = u16(&extra[i]);
            const uint16_t len = u16(&extra[i + 2]);
            if (i + 4 + len > extra.size())
                break;
            if (id == 0x0001) {
                size_t at = i + 4;
                const size_t needed = (uncompressed == 0xFFFFFFFFu ? 8u : 0u) + (compressed == 0xFFFFFFFFu ? 8u : 0u);
                if (len < needed)
                    break;
                if (uncompressed == 0xFFFFFFFFu) {
                    uncompressed = u64(&extra[at]);
                    at += 8;
                }
                if (compressed == 0xFFFFFFFFu)
                    compressed = u64(&extra[at]);
                found = true;
                break;
            }
            i += 4 + len;
        }
        if (!found)
            return fail("缺少 zip64 大小字段", pos);
        m_lastZip64 = true;
    }
    if ((flags & 0x0008) && compressed == 0 && uncompressed == 0) {
        // Without sizes in the header the data's end can't be found without decompressing.
        const std::string n(name.data(), nameLength);
        if (n.empty() || n.back() != '/')
            return fail("数据长度记录在数据之后，不支持此格式", pos);
    }
    const int64_t dataStart = pos + 30 + nameLength + extraLength;
    if (compressed > static_cast<uint64_t>(m_size - dataStart))
        return fail("压缩数据超出文件末尾", pos);

    ZipEntry entry;
    // An empty name has no buffer at all, and memchr must not be handed a null pointer.
    const void* nul = nameLength > 0 ? std::memchr(name.data(), '\0', nameLength) : nullptr;
    entry.name.assign(name.data(), nul ? static_cast<size_t>(static_cast<const char*>(nul) - name.data()) : nameLength);
    entry.compressedSize = compressed;
    entry.uncompressedSize = uncompressed;
    entry.isDirectory = compressed == 0 && uncompressed == 0 && !entry.name.empty() && entry.name.back() == '/';
    entries.push_back(std::move(entry));
    pos = dataStart + static_cast<int64_t>(compressed);
    return true;
}

bool ZipReader::ListEntries(std::list<ZipEntry>& entries)
{
    m_error.clear();
    if (m_bytes)
        return listFrom(static_cast<int64_t>(m_byteCount), entries);
    if (path.empty()) {
        m_error = "文件路径为空";
        return false;
    }
    file = std::fopen(path.c_str(), "rb");
    if (!file) {
        m_error = "无法打开文件";
        return false;
    }
    const bool seekable = fseeko(file, 0, SEEK_END) == 0;
    const bool ok = listFrom(seekable ? static_cast<int64_t>(ftello(file)) : -1, entries);
    std::fclose(file);
    file = nullptr;
    return ok;
}

bool ZipReader::listFrom(int64_t size, std::list<ZipEntry>& entries)
{
    m_size = size;
    bool ok = true;
    if (m_size < 0)
        ok = fail("无法读取文件长度", 0);
    int64_t pos = 0;
    while (ok && pos < m_size) {
        unsigned char sig[4];
        if (!readAt(pos, sig, 4)) {
            ok = fail("记录被截断", pos);
            break;
        }
        switch (u32(sig)) {
        case kLocalHeader:
            ok = readLocalHeader(pos, entries);
            break;
        case kDataDescriptor: {
            const int64_t length = m_lastZip64 ? 24 : 16;
            if (length > m_size - pos)
                ok = fail("数据描述被截断", pos);
            pos += length;
            break;
        }
        case kCentralHeader: {
            unsigned char h[46];
            if (!readAt(pos, h, sizeof h)) {
                ok = fail("中央目录被截断", pos);
                break;
            }
            const int64_t length = 46 + int64_t(u16(h + 28)) + u16(h + 30) + u16(h + 32);
            if (length > m_size - pos)
                ok = fail("中央目录被截断", pos);
            pos += length;
            break;
        }
        case kZip64End: {
            unsigned char h[12];
            if (!readAt(pos, h, sizeof h)) {
                ok = fail("zip64 目录结尾被截断", pos);
                break;
            }
            const uint64_t rest = u64(h + 4);
            if (rest < 44 || rest > static_cast<uint64_t>(m_size - pos - 12)) {
                ok = fail("zip64 目录结尾长度错误", pos);
                break;
            }
            pos += 12 + static_cast<int64_t>(rest);
            break;
        }
        case kZip64Locator:
            if (20 > m_size - pos)
                ok = fail("zip64 定位记录被截断", pos);
            pos += 20;
            break;
        case kEnd: {
            unsigned char h[22];
            if (!readAt(pos, h, sizeof h)) {
                ok = fail("目录结尾被截断", pos);
                break;
            }
            const int64_t length = 22 + int64_t(u16(h + 20));
            if (length > m_size - pos)
                ok = fail("目录结尾注释被截断", pos);
            pos += length;
            break;
        }
        default:
            ok = fail("不是 ZIP 记录", pos);
            break;
        }
    }
    return ok;
}
