#pragma once

#include "FtpListEntry.h"
#include "FtpReplyParser.h"
#include "FtpSegment.h"
#include "core_global.h"

#include <netinet/in.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <list>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A small blocking FTP client: one control connection, and per transfer one passive data
// connection served by a thread of its own. Every operation runs on the caller's thread and
// returns when its replies are in; the data thread only moves bytes and calls the supplier or
// consumer. Outcomes are reported by results and nothing is thrown; only a folder removal logs
// why it stopped, since its false alone cannot tell a user what stayed and why.
//
// A store, seen on the control connection (C client, S server):
//   S: 220 Ready              C: USER root        S: 331 Password required
//   C: PASS ****              S: 230 Logged in    C: SYST   S: 215 UNIX Type: L8
//   C: CWD /                  S: 250 ...          C: CWD opt  S: 550 No such directory
//   C: MKD opt                S: 257 "/opt" created          C: CWD opt  S: 250 ...
//   C: TYPE I                 S: 200 ...          C: PASV   S: 227 Entering Passive Mode (127,0,0,1,19,137).
//   C: STOR a.zip             (data connection to 127.0.0.1:5001)   S: 150 ...
//   (the bytes, then the end of the data stream)  S: 226 Transfer complete.
// A transfer counts as done only when 226 arrives and the data thread moved every byte: a
// server also answers 226 when the data connection ended early.
class CORE_EXPORT ZFtpUser
{
public:
    enum SendMode { SendChunks = 1, SendOneBuffer = 2 };
    enum RecvMode { RecvStream = 1, RecvSwap = 2, RecvCollect = 3 };
    enum LoginStateValue { LoggedIn = 0, NotLoggedIn = 1, LoginRefused = 2 };

    static constexpr uint32_t kSegmentSize = 65536;
    static constexpr int kDefaultReplyTimeoutMs = 5000;

    // Chunk mode: called with the bytes sent so far; hands out the next chunk, or none
    // (*buffer null or *length 0) at the end. The supplier owns its chunks.
    using ChunkSupplier = std::function<void(int64_t sent, char** buffer, uint32_t* length)>;
    // One-buffer mode: called once for the whole data.
    using BufferSupplier = std::function<void(char** buffer, uint32_t* length)>;
    // Stream mode: each received piece; the buffer is reused afterwards.
    using StreamConsumer = std::function<void(const char* data, uint32_t length, uint32_t requested)>;
    // Swap mode: each received piece; returns the buffer (and its size) for the next one, null stops.
    using SwapConsumer = std::function<char*(char* data, uint32_t length, uint32_t* size)>;
    using CollectConsumer = std::function<void(const std::vector<FtpSegment>& segments)>;
    // Bytes moved by one send or receive and the microseconds that call took.
    using SpeedObserver = std::function<void(uint32_t bytes, int64_t micros)>;
    // A caller's own flag: true while the transfer may go on; clear it to stop the transfer.
    using AbortFlag = std::atomic<bool>;

    ZFtpUser();
    ~ZFtpUser();
    ZFtpUser(const ZFtpUser&) = delete;
    ZFtpUser& operator=(const ZFtpUser&) = delete;

    bool SetServerIp(const char* ip);
    void SetServerPort(uint16_t port);
    bool SetServer(const char* ip, uint16_t port);
    bool SetLocalAddress(const char* ip, uint16_t port);
    void SetLocalAddress(uint32_t addressNetworkOrder, uint16_t port);
    // Data connections are passive only: with passive mode off every transfer fails at once.
    void SetPassiveMode(bool passive);
    void SetUser(const char* user);
    void SetPassword(const char* password);
    void SetLogin(const char* user, const char* password);
    void SetAnonymous();
    void ClearPassword();
    void SetSpeedCallback(SpeedObserver observer);
    // How long one reply may take (default 5 s); tests shorten it.
    void SetReplyTimeout(int milliseconds);

    const char* LastReplyText() const { return m_replyText.c_str(); }
    int LoginState() const { return m_loginState; }
    bool IsUtf8() const { return m_utf8; }

    // 1 and more: the code of the next reply line; 0: time-out; -1: connection error.
    int ReadReply();

    bool Connect();
    // 1 logged in, -2 refused by the server, 0 no usable reply, -1 the command could not be sent.
    int Login();
    bool Syst();
    bool OptsUtf8(bool on);
    bool Type(bool ascii);
    bool Pasv();
    // An absolute path gets a trailing '/', in the caller's string too.
    bool Cwd(std::string& path);
    // The current folder as the server quotes it (FtpReplyParser::quotedPath), or empty.
    std::string Pwd();
    bool Mkd(const std::string& path);
    bool Dele(const std::string& path);
    bool Stor(const std::string& path, ChunkSupplier supplier, AbortFlag* abort = nullptr);
    bool StorBuffer(const std::string& path, BufferSupplier supplier, AbortFlag* abort = nullptr);
    bool Retr(const std::string& name, StreamConsumer consumer, AbortFlag* abort = nullptr);
    bool RetrSwap(const std::string& name, SwapConsumer consumer, AbortFlag* abort = nullptr);
    bool List();
    bool GetList(std::list<FtpListEntry>** entries);
    const std::list<FtpListEntry>& Entries() const { return m_entries; }
    // Removes the folder and everything below it. The tree is listed first (hidden entries
    // included where the server offers "LIST -a"); when a part of it cannot be listed or named,
    // the result is false and nothing is deleted. A listing without "." and ".." from a server
    // that shows them elsewhere counts as unlisted; two entries of one folder that would go by
    // one name, or a link whose name cannot be told from its target, count as unnamed.
    // Symbolic links are removed, never followed.
    bool RemoveDir(const std::string& path);
    void Close();

    // The address the last PASV reply named, in network order.
    const sockaddr_in& DataAddress() const { return m_dataAddr; }

private:
    bool sendCommand(const std::string& line);
    int command(const std::string& line); // sends, then reads one reply (-1 when the send failed)
    bool walk(const std::string& path, bool create);
    bool listWith(const std::string& line);
    static std::string joinPath(const std::string& dir, const std::string& name);
    bool openDataConnection();
    bool waitTransfer();
    bool finishTransfer();
    void stopTransfer();
    void releaseTransfer();
    bool waitForGo();
    void markDone(bool complete);
    bool dataDone();
    void sendLoop();
    void receiveLoop();
    bool flagSet() const { return m_runningFlag->load(); }
    void freeSegments();
    bool storeWith(const std::string& path, int mode, AbortFlag* abort);
    bool retrieveWith(const std::string& name, int mode, AbortFlag* abort);

    bool m_passive = true;
    bool m_utf8 = true;
    int m_listFormat = -1;
    int m_loginState = NotLoggedIn;
    std::string m_user = "anonymous";
    std::string m_password;
    sockaddr_in m_serverAddr;
    sockaddr_in m_dataAddr;
    sockaddr_in m_localAddr;
    int m_controlSocket = -1;
    int m_dataSocket = -1;
    std::list<FtpListEntry> m_entries;

    AbortFlag m_running{false};
    AbortFlag* m_runningFlag = &m_running;
    std::mutex m_stateMutex;
    std::condition_variable m_stateChanged;
    bool m_dataReady = false;    // the data thread holds its first chunk and waits for the server
    bool m_dataGo = false;       // the server accepted the transfer (150 or 125)
    bool m_dataDone = false;     // the data thread has ended
    bool m_dataComplete = false; // ... having moved everything (end of supply, or end of stream)

    int m_recvMode = -1;
    int m_sendMode = -1;
    ChunkSupplier m_chunkSupplier;
    BufferSupplier m_bufferSupplier;
    StreamConsumer m_streamConsumer;
    SwapConsumer m_swapConsumer;
    CollectConsumer m_collectConsumer;
    SpeedObserver m_speed;

    int m_replyTimeoutMs = kDefaultReplyTimeoutMs;
    std::string m_replyText;
    FtpReplyParser m_replies;
    std::thread m_dataThread;
    std::vector<FtpSegment> m_segments;
};
