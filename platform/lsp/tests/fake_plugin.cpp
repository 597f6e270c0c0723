// A filter plug-in for the shim's tests. It keeps to the plug-in interface
// and does just enough to show what the shim did:
//   - every call is logged, one line each, to the file in FAKE_PLUGIN_LOG;
//   - a connect to the port in FAKE_BLOCK_PORT is reported and refused;
//   - a send holding "BLOCK-SEND" is refused, one holding "upper-me" leaves
//     upper-cased from a copy the plug-in owns;
//   - a receive holding "KILL" is refused, "EVIL" is overwritten with "XXXX";
//   - on every send the database time is asked for; when it is newer than the
//     last load the detection file is read again and its text logged.
#define KELM_FILTER_BUILDING_PLUGIN 1
#include <kelm/netfilter_plugin.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>

namespace {

FilterHostContext* g_host = nullptr;
std::mutex g_lock;
uint32_t g_lastLoad = 0;
std::map<KelmSocket, std::string> g_copies;  // outgoing copies, one per socket

uint32_t Tick()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u);
}

void Log(const std::string& line)
{
    const char* path = std::getenv("FAKE_PLUGIN_LOG");
    if (path == nullptr)
        return;
    int fd = ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    std::string text = line + "\n";
    ssize_t written = ::write(fd, text.data(), text.size());
    (void)written;
    ::close(fd);
}

std::string Joined(const FilterBuffer* buffers, uint32_t count, uint32_t bytes)
{
    std::string out;
    for (uint32_t i = 0; i < count && out.size() < bytes; ++i)
        out.append(buffers[i].buf, std::min<std::size_t>(buffers[i].len, bytes - out.size()));
    return out;
}

std::string HasContext(KelmSocket socket)
{
    SocketContext* context = nullptr;
    if (g_host != nullptr)
        g_host->GetSocketContext(socket, &context);
    return context != nullptr ? "1" : "0";
}

void LoadDatabase()
{
    std::ifstream in(g_host->detectionPath);
    std::stringstream text;
    text << in.rdbuf();
    std::string content = text.str();
    while (!content.empty() && (content.back() == '\n' || content.back() == '\r'))
        content.pop_back();
    g_lastLoad = Tick();
    Log("database " + (in ? content : std::string("missing")));
}

}  // namespace

extern "C" {

int32_t GetPluginInfo(FilterPluginInfo* info)
{
    if (info == nullptr)
        return KELM_FILTER_INVALID_PARAMETER;
    std::strcpy(info->name, "FakeFilter");
    return 0;
}

int32_t InitPlugin(void)
{
    Log("InitPlugin");
    return 0;
}

int32_t InitPlugin2(FilterHostContext* context)
{
    g_host = context;
    Log(std::string("InitPlugin2 site=") + context->siteDatabasePath + " exploit=" +
        std::to_string(context->exploitFilterSetting) + " sitefilter=" + std::to_string(context->siteFilterSetting));
    LoadDatabase();
    return 0;
}

int32_t SetTrace(GMCTraceLog* trace)
{
    Log(std::string("SetTrace ") + (trace != nullptr ? "object" : "null"));
    return 0;
}

int32_t TermPlugin(void)
{
    return 0;
}

int32_t LSPP_Bind(KelmSocket socket, const struct sockaddr_in* local)
{
    Log("bind fd=" + std::to_string(socket) + " port=" + std::to_string(ntohs(local->sin_port)));
    return 0;
}

int32_t LSPP_Connect(KelmSocket socket, const struct sockaddr_in* remote)
{
    unsigned port = ntohs(remote->sin_port);
    Log("connect fd=" + std::to_string(socket) + " port=" + std::to_string(port) + " ctx=" + HasContext(socket));
    const char* blockPort = std::getenv("FAKE_BLOCK_PORT");
    if (blockPort == nullptr || std::to_string(port) != blockPort)
        return 0;
    SocketContext* context = nullptr;
    g_host->GetSocketContext(socket, &context);
    static const uint16_t kName[] = {'F', 'a', 'k', 'e', 0};
    FilterBlockRecord record{};
    record.size = sizeof record;
    record.kind = KELM_BLOCK_KIND_SITE;
    record.actionLevel = 3;
    record.categoryName = kName;
    record.connectionReference = context != nullptr ? &context->connectionReference : nullptr;
    int32_t flag = 1;
    g_host->callbacks->ReportBlock(&record, &flag);
    return flag != 0 ? KELM_FILTER_BLOCKED : 0;
}

int32_t LSPP_Send(KelmSocket socket, FilterBuffer* buffers, uint32_t count, uint32_t bytes)
{
    std::string data = Joined(buffers, count, bytes);
    Log("send fd=" + std::to_string(socket) + " bytes=" + std::to_string(bytes) + " buffers=" + std::to_string(count) +
        " ctx=" + HasContext(socket));
    uint32_t time = 0;
    g_host->GetDatabaseTime(&time);
    if (time > g_lastLoad)
        LoadDatabase();
    if (data.find("BLOCK-SEND") != std::string::npos)
        return KELM_FILTER_BLOCKED;
    if (data.find("upper-me") != std::string::npos) {
        std::lock_guard<std::mutex> guard(g_lock);
        std::string& copy = g_copies[socket];
        copy = data;
        for (char& c : copy)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        // Never write into the caller's buffers: point the first at the copy
        // and empty the others.
        buffers[0].buf = copy.data();
        buffers[0].len = static_cast<uint32_t>(copy.size());
        for (uint32_t i = 1; i < count; ++i)
            buffers[i].len = 0;
    }
    return 0;
}

int32_t LSPP_Recv(KelmSocket socket, FilterBuffer* buffers, uint32_t count, uint32_t bytes,
                  const struct sockaddr_in* remote)
{
    std::string data = Joined(buffers, count, bytes);
    Log("recv fd=" + std::to_string(socket) + " bytes=" + std::to_string(bytes) + " peer=" +
        std::to_string(remote != nullptr ? ntohs(remote->sin_port) : 0) + " ctx=" + HasContext(socket));
    if (data.find("KILL") != std::string::npos)
        return KELM_FILTER_BLOCKED;
    // Overwrite "EVIL" in place, buffer by buffer (the tests keep it in one).
    for (uint32_t i = 0; i < count; ++i) {
        char* at = buffers[i].buf;
        std::size_t length = buffers[i].len;
        for (std::size_t k = 0; k + 4 <= length; ++k) {
            if (std::memcmp(at + k, "EVIL", 4) == 0)
                std::memcpy(at + k, "XXXX", 4);
        }
    }
    return 0;
}

int32_t LSPP_CloseSocket(KelmSocket socket)
{
    Log("close fd=" + std::to_string(socket));
    std::lock_guard<std::mutex> guard(g_lock);
    g_copies.erase(socket);
    return 0;
}

}  // extern "C"
