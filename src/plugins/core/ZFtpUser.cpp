#include "ZFtpUser.h"

#include "FileLogger.h"
#include "FtpListParser.h"
#include "NetSocket.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>
#include <set>

namespace {
using Clock = std::chrono::steady_clock;

int64_t microsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
}

bool isSuccess(int code, int a, int b)
{
    return code == a || code == b;
}
} // namespace

ZFtpUser::ZFtpUser()
{
    m_serverAddr = NetSocket::makeAddress(0, 21);
    m_dataAddr = NetSocket::makeAddress(0, 0);
    m_localAddr = NetSocket::makeAddress(0, 0);
}

ZFtpUser::~ZFtpUser()
{
    Close();
    freeSegments();
}

bool ZFtpUser::SetServerIp(const char* ip)
{
    in_addr a;
    if (!NetSocket::parseIPv4(ip, &a))
        return false;
    m_serverAddr.sin_addr = a;
    return true;
}

void ZFtpUser::SetServerPort(uint16_t port)
{
    m_serverAddr.sin_port = htons(port);
}

bool ZFtpUser::SetServer(const char* ip, uint16_t port)
{
    SetServerPort(port);
    return SetServerIp(ip);
}

bool ZFtpUser::SetLocalAddress(const char* ip, uint16_t port)
{
    in_addr a;
    if (!NetSocket::parseIPv4(ip, &a))
        return false;
    m_localAddr = NetSocket::makeAddress(a.s_addr, port);
    return true;
}

void ZFtpUser::SetLocalAddress(uint32_t addressNetworkOrder, uint16_t port)
{
    m_localAddr = NetSocket::makeAddress(addressNetworkOrder, port);
}

void ZFtpUser::SetPassiveMode(bool passive)
{
    m_passive = passive;
}

void ZFtpUser::SetUser(const char* user)
{
    m_user.assign(user ? user : "");
    if (m_user.size() > 31)
        m_user.resize(31);
}

void ZFtpUser::SetPassword(const char* password)
{
    m_password.assign(password ? password : "");
    if (m_password.size() > 127)
        m_password.resize(127);
}

void ZFtpUser::SetLogin(const char* user, const char* password)
{
    SetUser(user);
    SetPassword(password);
}

void ZFtpUser::SetAnonymous()
{
    SetUser("anonymous");
}

void ZFtpUser::ClearPassword()
{
    m_password.assign(m_password.size(), '\0');
    m_password.clear();
}

void ZFtpUser::SetSpeedCallback(SpeedObserver observer)
{
    m_speed = std::move(observer);
}

void ZFtpUser::SetReplyTimeout(int milliseconds)
{
    m_replyTimeoutMs = milliseconds > 0 ? milliseconds : kDefaultReplyTimeoutMs;
}

int ZFtpUser::ReadReply()
{
    m_replyText.clear();
    if (m_controlSocket < 0)
        return -1;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(m_replyTimeoutMs);
    for (;;) {
        int code = 0;
        const int r = m_replies.take(code, m_replyText);
        if (r == 1)
            return code;
        if (r < 0)
            return -1;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return 0;
        const int w = NetSocket::waitReadable(m_controlSocket, static_cast<int>(left));
        if (w <= 0)
            return w;
        char buf[4096];
        const long n = NetSocket::recvSome(m_controlSocket, buf, sizeof buf);
        if (n <= 0)
            return -1;
        m_replies.append(buf, static_cast<size_t>(n));
    }
}

bool ZFtpUser::sendCommand(const std::string& line)
{
    // A name holding a line break would smuggle a second command onto the connection.
    if (m_controlSocket < 0 || line.find_first_of("\r\n") != std::string::npos)
        return false;
    const std::string wire = line + "\r\n";
    return NetSocket::sendAll(m_controlSocket, wire.data(), wire.size());
}

int ZFtpUser::command(const std::string& line)
{
    if (!sendCommand(line))
        return -1;
    return ReadReply();
}

bool ZFtpUser::Connect()
{
    Close();
    m_controlSocket = NetSocket::openTcp();
    if (m_controlSocket < 0 || !NetSocket::connectTo(m_controlSocket, m_serverAddr, m_replyTimeoutMs)) {
        NetSocket::closeSocket(m_controlSocket);
        m_loginState = NotLoggedIn;
        return false;
    }
    const int greeting = ReadReply();
    if (greeting != 220 && greeting != 200 && greeting != 332 && greeting != 530 && greeting != 532) {
        NetSocket::closeSocket(m_controlSocket);
        m_replies.clear();
        m_loginState = NotLoggedIn;
        return false;
    }
    const int r = Login();
    Syst();
    m_loginState = r == 1 ? LoggedIn : (r == -2 ? LoginRefused : NotLoggedIn);
    if (r != 1) {
        NetSocket::closeSocket(m_controlSocket);
        m_replies.clear();
    }
    return r == 1;
}

int ZFtpUser::Login()
{
    if (!sendCommand("USER " + m_user))
        return -1;
    for (;;) {
        const int code = ReadReply();
        switch (code) {
        case 331:
            if (!sendCommand("PASS " + (m_password.empty() ? m_user : m_password)))
                return -1;
            continue;
        case 230:
            return 1;
        case 430:
        case 530:
            // A wrong user or password is a definite answer; waiting for more would only time out.
            return -2;
        case 0:
        case -1:
            return 0;
        default:
            if (code >= 400)
                return 0;
            continue;
        }
    }
}

bool ZFtpUser::Syst()
{
    return command("SYST") == 215;
}

bool ZFtpUser::OptsUtf8(bool on)
{
    if (!sendCommand(std::string("OPTS UTF8 ") + (on ? "ON" : "OFF")))
        return false;
    const bool ok = ReadReply() == 200;
    m_utf8 = ok ? on : !on;
    return ok;
}

bool ZFtpUser::Type(bool ascii)
{
    return command(ascii ? "TYPE A" : "TYPE I") == 200;
}

bool ZFtpUser::Pasv()
{
    m_dataAddr = NetSocket::makeAddress(0, 0);
    if (command("PASV") != 227)
        return false;
    uint8_t bytes[6];
    if (!FtpReplyParser::passiveNumbers(m_replyText, bytes))
        return false;
    std::memcpy(&m_dataAddr.sin_addr.s_addr, bytes, 4);
    std::memcpy(&m_dataAddr.sin_port, bytes + 4, 2);
    return m_dataAddr.sin_addr.s_addr != 0 && m_dataAddr.sin_port != 0;
}

bool ZFtpUser::Cwd(std::string& path)
{
    if (!path.empty() && path[0] == '/' && path.back() != '/')
        path += '/';
    const int code = command("CWD " + path);
    return isSuccess(code, 250, 257);
}

std::string ZFtpUser::Pwd()
{
    if (!isSuccess(command("PWD"), 250, 257))
        return std::string();
    // An apostrophe is part of the name: only double quotes quote.
    return FtpReplyParser::quotedPath(m_replyText);
}

bool ZFtpUser::walk(const std::string& path, bool create)
{
    if (!path.empty() && path[0] == '/') {
        std::string root = "/";
        if (!Cwd(root))
            return false;
    }
    size_t i = 0;
    while (i < path.size()) {
        while (i < path.size() && path[i] == '/')
            ++i;
        if (i >= path.size())
            break;
        const size_t end = path.find('/', i);
        const std::string component = path.substr(i, end == std::string::npos ? std::string::npos : end - i);
        i = end == std::string::npos ? path.size() : end;
        std::string target = component;
        if (Cwd(target))
            continue;
        if (!create)
            return false;
        if (!isSuccess(command("MKD " + component), 250, 257))
            return false;
        target = component;
        if (!Cwd(target))
            return false;
    }
    return true;
}

bool ZFtpUser::Mkd(const std::string& path)
{
    return walk(path, true);
}

bool ZFtpUser::Dele(const std::string& path)
{
    std::string name = path;
    const size_t slash = path.rfind('/');
    if (slash != std::string::npos) {
        if (!walk(path.substr(0, slash + 1), false))
            return false;
        name = path.substr(slash + 1);
    }
    if (name.empty())
        return false;
    return isSuccess(command("DELE " + name), 250, 257);
}

bool ZFtpUser::Stor(const std::string& path, ChunkSupplier supplier, AbortFlag* abort)
{
    if (!supplier)
        return false;
    m_chunkSupplier = std::move(supplier);
    return storeWith(path, SendChunks, abort);
}

bool ZFtpUser::StorBuffer(const std::string& path, BufferSupplier supplier, AbortFlag* abort)
{
    if (!supplier)
        return false;
    m_bufferSupplier = std::move(supplier);
    return storeWith(path, SendOneBuffer, abort);
}

bool ZFtpUser::storeWith(const std::string& path, int mode, AbortFlag* abort)
{
    bool ok = false;
    std::string name = path;
    const size_t slash = path.rfind('/');
    if (m_controlSocket >= 0 && !m_dataThread.joinable() && m_passive) {
        ok = true;
        if (slash != std::string::npos) {
            ok = Mkd(path.substr(0, slash + 1));
            name = path.substr(slash + 1);
        }
        ok = ok && !name.empty();
    }
    if (ok) {
        Type(false);
        ok = Pasv() && sendCommand("STOR " + name);
    }
    if (ok) {
        m_sendMode = mode;
        m_recvMode = -1;
        m_runningFlag = abort ? abort : &m_running;
        ok = openDataConnection() && waitTransfer();
    }
    releaseTransfer();
    return ok;
}

bool ZFtpUser::Retr(const std::string& name, StreamConsumer consumer, AbortFlag* abort)
{
    if (!consumer)
        return false;
    m_streamConsumer = std::move(consumer);
    return retrieveWith(name, RecvStream, abort);
}

bool ZFtpUser::RetrSwap(const std::string& name, SwapConsumer consumer, AbortFlag* abort)
{
    if (!consumer)
        return false;
    m_swapConsumer = std::move(consumer);
    return retrieveWith(name, RecvSwap, abort);
}

bool ZFtpUser::retrieveWith(const std::string& name, int mode, AbortFlag* abort)
{
    bool ok = m_controlSocket >= 0 && !m_dataThread.joinable() && m_passive && !name.empty();
    if (ok) {
        Type(false);
        ok = Pasv() && sendCommand("RETR " + name);
    }
    if (ok) {
        m_recvMode = mode;
        m_sendMode = -1;
        m_runningFlag = abort ? abort : &m_running;
        ok = openDataConnection() && waitTransfer();
    }
    releaseTransfer();
    return ok;
}

bool ZFtpUser::List()
{
    return listWith("LIST");
}

bool ZFtpUser::listWith(const std::string& line)
{
    m_entries.clear();
    freeSegments();
    if (m_controlSocket < 0 || m_dataThread.joinable() || !m_passive)
        return false;
    Type(true);
    if (!Pasv() || !sendCommand(line))
        return false;
    m_recvMode = RecvCollect;
    m_sendMode = -1;
    m_collectConsumer = nullptr;
    m_runningFlag = &m_running;
    m_listFormat = -1;
    bool ok = openDataConnection() && waitTransfer();
    releaseTransfer();

    // What arrived is read even when the transfer failed: a partial listing is still a listing.
    std::string text;
    for (const FtpSegment& s : m_segments)
        text.append(s.data, s.used);
    freeSegments();
    const std::time_t t = std::time(nullptr);
    std::tm now{};
    localtime_r(&t, &now);
    if (!FtpListParser::parse(text.data(), text.size(), m_entries, m_listFormat, now))
        ok = false;
    return ok;
}

bool ZFtpUser::GetList(std::list<FtpListEntry>** entries)
{
    const bool ok = List();
    if (entries)
        *entries = &m_entries;
    return ok;
}

bool ZFtpUser::RemoveDir(const std::string& path)
{
    // The caller only learns false; the log keeps why the folder stayed whole.
    const auto refuse = [&path](const LogText& why) {
        FileLogger::LogMessage(FileLogger::Warning, QT_TRANSLATE_NOOP("FileLogger", "FTP 目录 %1 未删除：%2"),
                               QString::fromStdString(path), why);
        return false;
    };
    const auto broke = [&path, this](const std::string& what) {
        FileLogger::LogMessage(
            FileLogger::Warning, QT_TRANSLATE_NOOP("FileLogger", "FTP 目录 %1 删除中途失败：%2（%3）"),
            QString::fromStdString(path), QString::fromStdString(what), QString::fromStdString(m_replyText));
        return false;
    };
    if (!walk(path, false))
        return refuse(LogText(QT_TRANSLATE_NOOP("FileLogger", "无法进入")));
    const std::string start = Pwd();
    if (start.empty())
        return refuse(LogText(QT_TRANSLATE_NOOP("FileLogger", "服务器未给出当前目录")));

    // The whole tree is listed before anything goes, so a removal that cannot finish (a folder
    // that cannot be entered or listed, a name that cannot be sent) fails with nothing deleted.
    std::vector<std::string> dirs{start};              // each folder after the one it lies in
    std::vector<std::pair<size_t, std::string>> files; // folder index, name
    // Whether each listing held "." and "..". A server that shows them for one folder shows them
    // for every folder it can read, so a listing without them (vsftpd sends an empty one with
    // 226 for a folder it cannot open) is a listing that failed.
    std::vector<bool> dotted;
    for (size_t k = 0; k < dirs.size(); ++k) {
        std::string target = dirs[k];
        const QString folder = QString::fromStdString(dirs[k]);
        // Hidden entries are asked for where the server offers it: a bare LIST of some servers
        // leaves out dotfiles, which would then keep their folder from going.
        if (!Cwd(target) || (!listWith("LIST -a") && !listWith("LIST")))
            return refuse(LogText(QT_TRANSLATE_NOOP("FileLogger", "无法列出 %1")).arg(folder));
        bool dot = false;
        bool dotdot = false;
        std::set<std::string> names;
        for (const FtpListEntry& e : m_entries) {
            // A symbolic link is removed by its own name; a link to a folder is not followed.
            const std::string name = e.linkName();
            const QString shown = QString::fromStdString(e.name);
            // Some servers list them; following them never ends.
            if (name == "." || name == "..") {
                (name == "." ? dot : dotdot) = true;
                continue;
            }
            if (name.empty() || name.find_first_of("\r\n/") != std::string::npos)
                return refuse(
                    LogText(QT_TRANSLATE_NOOP("FileLogger", "%1 中的名称 \"%2\" 无法发送")).arg(folder).arg(shown));
            // "a -> b -> c" may be the link "a" or the link "a -> b": the name is not known.
            if (e.link && e.name.find(" -> ", name.size() + 4) != std::string::npos)
                return refuse(
                    LogText(QT_TRANSLATE_NOOP("FileLogger", "%1 中的链接 \"%2\" 名称不明确")).arg(folder).arg(shown));
            if (!names.insert(name).second)
                return refuse(LogText(QT_TRANSLATE_NOOP("FileLogger", "%1 中有两个条目同名 \"%2\""))
                                  .arg(folder)
                                  .arg(QString::fromStdString(name)));
            if (e.size == -1 && !e.link)
                dirs.push_back(joinPath(dirs[k], name));
            else
                files.emplace_back(k, name);
        }
        dotted.push_back(dot && dotdot);
    }
    if (std::find(dotted.begin(), dotted.end(), true) != dotted.end()) {
        for (size_t k = 0; k < dirs.size(); ++k) {
            if (!dotted[k])
                return refuse(LogText(QT_TRANSLATE_NOOP("FileLogger", "%1 的列表不完整（没有 . 和 ..），无法读取"))
                                  .arg(QString::fromStdString(dirs[k])));
        }
    }

    size_t current = dirs.size();
    for (const auto& file : files) {
        if (file.first != current) {
            std::string target = dirs[file.first];
            if (!Cwd(target))
                return broke("CWD " + dirs[file.first]);
            current = file.first;
        }
        if (!isSuccess(command("DELE " + file.second), 250, 257))
            return broke("DELE " + file.second);
    }
    // Deepest first: every folder was found after its parent.
    for (size_t k = dirs.size(); k-- > 0;) {
        std::string trimmed = dirs[k];
        while (trimmed.size() > 1 && trimmed.back() == '/')
            trimmed.pop_back();
        if (trimmed == "/")
            continue; // the root is emptied, never removed
        const size_t slash = trimmed.rfind('/');
        std::string parent = slash == std::string::npos || slash == 0 ? std::string("/") : trimmed.substr(0, slash);
        const std::string name = slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
        if (!Cwd(parent) || !isSuccess(command("RMD " + name), 250, 257))
            return broke("RMD " + trimmed);
    }
    return true;
}

std::string ZFtpUser::joinPath(const std::string& dir, const std::string& name)
{
    return !dir.empty() && dir.back() == '/' ? dir + name : dir + "/" + name;
}

void ZFtpUser::Close()
{
    if (m_dataThread.joinable())
        stopTransfer();
    NetSocket::closeSocket(m_dataSocket);
    NetSocket::closeSocket(m_controlSocket);
    m_replies.clear();
    m_loginState = NotLoggedIn;
}

bool ZFtpUser::openDataConnection()
{
    m_dataSocket = NetSocket::openTcp();
    if (m_dataSocket < 0 || !NetSocket::connectTo(m_dataSocket, m_dataAddr, m_replyTimeoutMs)) {
        NetSocket::closeSocket(m_dataSocket);
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(m_stateMutex);
        m_dataReady = m_dataGo = m_dataDone = m_dataComplete = false;
    }
    if (m_sendMode > 0 && m_recvMode < 0) {
        m_dataThread = std::thread(&ZFtpUser::sendLoop, this);
    } else if (m_recvMode > 0 && m_sendMode < 0) {
        m_dataThread = std::thread(&ZFtpUser::receiveLoop, this);
    } else {
        NetSocket::closeSocket(m_dataSocket);
        return false;
    }
    std::unique_lock<std::mutex> lock(m_stateMutex);
    m_stateChanged.wait(lock, [this] { return m_dataReady || m_dataDone; });
    return true;
}

bool ZFtpUser::dataDone()
{
    std::lock_guard<std::mutex> lock(m_stateMutex);
    return m_dataDone;
}

bool ZFtpUser::waitTransfer()
{
    const int first = ReadReply();
    if (first != 150 && first != 125) {
        stopTransfer();
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(m_stateMutex);
        m_dataGo = true;
    }
    m_stateChanged.notify_all();
    bool graceUsed = false;
    for (;;) {
        const int code = ReadReply();
        if (code == 226)
            return finishTransfer();
        if (code == 0 && flagSet()) {
            // While data still moves the server has nothing to say; once our side has ended it
            // gets one more reply time-out to confirm.
            if (!dataDone())
                continue;
            if (!graceUsed) {
                graceUsed = true;
                continue;
            }
        }
        stopTransfer();
        return false;
    }
}

bool ZFtpUser::finishTransfer()
{
    bool done;
    {
        std::unique_lock<std::mutex> lock(m_stateMutex);
        done =
            m_stateChanged.wait_for(lock, std::chrono::milliseconds(m_replyTimeoutMs), [this] { return m_dataDone; });
    }
    if (!done) {
        stopTransfer();
        return false;
    }
    if (m_dataThread.joinable())
        m_dataThread.join();
    bool complete;
    {
        std::lock_guard<std::mutex> lock(m_stateMutex);
        complete = m_dataComplete;
    }
    releaseTransfer();
    return complete;
}

void ZFtpUser::stopTransfer()
{
    m_runningFlag->store(false);
    m_running.store(false);
    NetSocket::wake(m_dataSocket);
    m_stateChanged.notify_all();
    if (m_dataThread.joinable())
        m_dataThread.join();
    releaseTransfer();
}

void ZFtpUser::releaseTransfer()
{
    if (m_dataThread.joinable()) {
        // Only reached when a transfer was left half-set-up; never leave a thread behind.
        m_runningFlag->store(false);
        NetSocket::wake(m_dataSocket);
        m_stateChanged.notify_all();
        m_dataThread.join();
    }
    m_running.store(false);
    m_runningFlag = &m_running;
    NetSocket::closeSocket(m_dataSocket);
    m_sendMode = m_recvMode = -1;
    m_chunkSupplier = nullptr;
    m_bufferSupplier = nullptr;
    m_streamConsumer = nullptr;
    m_swapConsumer = nullptr;
    m_collectConsumer = nullptr;
}

bool ZFtpUser::waitForGo()
{
    std::unique_lock<std::mutex> lock(m_stateMutex);
    m_dataReady = true;
    m_stateChanged.notify_all();
    // The caller's own abort flag is cleared without a notification, so it is polled.
    while (!m_dataGo && flagSet())
        m_stateChanged.wait_for(lock, std::chrono::milliseconds(10));
    return m_dataGo && flagSet();
}

void ZFtpUser::markDone(bool complete)
{
    {
        std::lock_guard<std::mutex> lock(m_stateMutex);
        m_dataDone = true;
        m_dataComplete = complete;
        m_dataReady = true;
    }
    m_stateChanged.notify_all();
}

void ZFtpUser::sendLoop()
{
    char* buffer = nullptr;
    uint32_t length = 0;
    if (m_sendMode == SendChunks)
        m_chunkSupplier(0, &buffer, &length);
    else if (m_sendMode == SendOneBuffer)
        m_bufferSupplier(&buffer, &length);
    m_runningFlag->store(true);
    bool complete = false;
    if (waitForGo()) {
        int64_t total = 0;
        uint32_t offset = 0;
        for (;;) {
            if (!buffer || length == 0) {
                complete = true;
                break;
            }
            if (!flagSet())
                break;
            const Clock::time_point t0 = Clock::now();
            const long n = NetSocket::sendSome(m_dataSocket, buffer + offset, length - offset);
            if (n <= 0) {
                m_runningFlag->store(false);
                break;
            }
            if (m_speed)
                m_speed(static_cast<uint32_t>(n), microsSince(t0));
            total += n;
            offset += static_cast<uint32_t>(n);
            if (offset < length)
                continue;
            if (m_sendMode != SendChunks) {
                complete = true;
                break;
            }
            offset = 0;
            m_chunkSupplier(total, &buffer, &length);
        }
    }
    // The end of our data stream is what tells the server the file is whole.
    NetSocket::shutdownSend(m_dataSocket);
    markDone(complete && flagSet());
}

void ZFtpUser::receiveLoop()
{
    m_segments.push_back(FtpSegment{new char[kSegmentSize], 0, kSegmentSize});
    char* swapBuffer = m_segments.back().data;
    uint32_t swapSize = kSegmentSize;
    m_runningFlag->store(true);
    bool complete = false;
    if (waitForGo()) {
        while (flagSet()) {
            FtpSegment& last = m_segments.back();
            char* target = last.data;
            uint32_t room = last.capacity;
            if (m_recvMode == RecvSwap) {
                target = swapBuffer;
                room = swapSize;
            } else if (m_recvMode == RecvCollect) {
                target = last.data + last.used;
                room = last.capacity - last.used;
            }
            const Clock::time_point t0 = Clock::now();
            const long n = NetSocket::recvSome(m_dataSocket, target, room);
            if (n == 0) {
                complete = flagSet();
                break;
            }
            if (n < 0) {
                m_runningFlag->store(false);
                break;
            }
            if (m_speed)
                m_speed(static_cast<uint32_t>(n), microsSince(t0));
            const uint32_t got = static_cast<uint32_t>(n);
            if (m_recvMode == RecvStream) {
                m_streamConsumer(target, got, room);
            } else if (m_recvMode == RecvSwap) {
                uint32_t size = 0;
                char* next = m_swapConsumer(target, got, &size);
                if (!next || size == 0) {
                    m_runningFlag->store(false);
                    break;
                }
                swapBuffer = next;
                swapSize = size;
            } else if (m_recvMode == RecvCollect) {
                last.used += got;
                if (last.used == last.capacity)
                    m_segments.push_back(FtpSegment{new char[kSegmentSize], 0, kSegmentSize});
            }
        }
    }
    if (m_recvMode == RecvCollect && m_collectConsumer) {
        m_collectConsumer(std::vector<FtpSegment>(m_segments));
        freeSegments();
    } else if (m_recvMode != RecvCollect) {
        freeSegments();
    }
    markDone(complete);
}

void ZFtpUser::freeSegments()
{
    for (FtpSegment& s : m_segments)
        delete[] s.data;
    m_segments.clear();
}
