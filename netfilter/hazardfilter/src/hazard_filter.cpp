#include "hazard_filter.h"

#include "hit_handling.h"

#include <kit/clock.h>
#include <kit/detection_file.h>
#include <kit/plugin_info.h>
#include <kit/stream_classify.h>
#include <win/hex.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <string_view>

namespace hazard {

namespace {

constexpr std::string_view kLegacyAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1;";
constexpr std::string_view kAgentReplacement = " SV1";
constexpr std::uint32_t kAgentMarker = 0x1813;
constexpr std::size_t kRequestCopy = 1029;

bool IsAccepted(const FilterHostContext* context)
{
    return context != nullptr && context->siteDatabasePath[0] != '\0' && context->callbacks != nullptr &&
           context->GetSocketContext != nullptr && context->ReleaseSocket != nullptr &&
           context->GetDatabaseTime != nullptr && context->SettingsChanged != nullptr;
}

std::string CopyPath(const char (&field)[KELM_FILTER_PATH_SIZE])
{
    return std::string(field, strnlen(field, sizeof field));
}

// The position of the four marker characters after the legacy user agent in
// DATA, when they are there and mean 0x1813.
std::ptrdiff_t FindAgentMarker(const std::uint8_t* data, std::size_t length)
{
    const void* nul = std::memchr(data, 0, length);
    const std::size_t searched = nul ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - data) : length;
    const std::string_view text(reinterpret_cast<const char*>(data), searched);
    const std::size_t at = text.find(kLegacyAgent);
    if (at == std::string_view::npos)
        return -1;
    const std::size_t marker = at + kLegacyAgent.size();
    if (marker + 4 > length)
        return -1;  // the four characters must lie within the bytes sent
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        const int digit = win::HexDigitValue(data[marker + i]);
        if (digit < 0)
            return -1;
        value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    return value == kAgentMarker ? static_cast<std::ptrdiff_t>(marker) : -1;
}

}  // namespace

HazardFilter::HazardFilter() : HazardFilter(nfkit::TickCount) {}

HazardFilter::HazardFilter(Clock clock) : m_clock(clock), m_reporter(clock) {}

HazardFilter::~HazardFilter()
{
    if (m_ownsTrace)
        delete m_trace.Get();
}

// ---- Life cycle ----------------------------------------------------------------

std::int32_t HazardFilter::GetPluginInfo(FilterPluginInfo* info)
{
    return nfkit::FillPluginInfo(info, kPluginName, KELM_HAZARDFILTER_BUILD);
}

std::int32_t HazardFilter::InitPlugin()
{
    // A trace set later is handed over to the plug-in; one set before stays
    // the host's.
    if (m_trace.Get() == nullptr)
        m_willOwnTrace = true;
    m_trace.Print(4, "KelmHazardFilter::InitPlugin\n");
    return 0;
}

std::int32_t HazardFilter::SetTrace(GMCTraceLog* trace)
{
    m_trace.Set(trace);
    m_ownsTrace = m_willOwnTrace && trace != nullptr;
    return 0;
}

std::int32_t HazardFilter::InitPlugin2(FilterHostContext* context)
{
    m_trace.Print(4, "KelmHazardFilter::InitPlugin2\n");
    if (IsAccepted(context)) {
        std::lock_guard<std::mutex> guard(m_reloadLock);
        m_host.store(context, std::memory_order_release);
        m_path = CopyPath(context->detectionPath);
    }
    LoadDatabase();
    return 0;
}

std::int32_t HazardFilter::TermPlugin()
{
    UseDatabase(nullptr);
    m_sockets.Clear();
    m_reporter.Forget();
    if (m_ownsTrace) {
        GMCTraceLog* trace = m_trace.Get();
        m_trace.Set(nullptr);
        delete trace;
        m_ownsTrace = false;
    }
    return 0;
}

// ---- Database --------------------------------------------------------------------

std::shared_ptr<const DetectionDatabase> HazardFilter::Database() const
{
    std::lock_guard<std::mutex> guard(m_databaseLock);
    return m_database;
}

void HazardFilter::UseDatabase(std::shared_ptr<const DetectionDatabase> database)
{
    std::shared_ptr<const DetectionDatabase> previous;
    {
        std::lock_guard<std::mutex> guard(m_databaseLock);
        previous = std::move(m_database);
        m_database = std::move(database);
    }
    // PREVIOUS is freed here, or by the last scan still holding it.
}

void HazardFilter::LoadDatabase()
{
    std::lock_guard<std::mutex> guard(m_reloadLock);
    if (const FilterHostContext* host = m_host.load(std::memory_order_acquire))
        m_path = CopyPath(host->detectionPath);

    std::vector<nfkit::DetectionRecord> records;
    const int result = m_path.empty() ? nfkit::kDetectionCannotOpen : nfkit::LoadDetectionFile(m_path, records);
    if (result < 0) {
        m_trace.Print(2, "KelmHazardFilter::InitPlugin2 error %d reading detections from %s\n", result,
                      m_path.c_str());
        if (auto kept = Database())
            m_trace.Print(2, "KelmHazardFilter::InitPlugin2 keeping the %d detections loaded before\n",
                          static_cast<int>(kept->Records().size()));
    } else {
        try {
            auto database = std::make_shared<DetectionDatabase>(std::move(records));
            database->Prepare();
            UseDatabase(std::move(database));
            m_trace.Print(3, "KelmHazardFilter::InitPlugin2 read %d detections from %s\n", result, m_path.c_str());
        } catch (const std::bad_alloc&) {
            m_trace.Print(2, "KelmHazardFilter::InitPlugin2 error %d reading detections from %s\n",
                          nfkit::kDetectionUnreadable, m_path.c_str());
        }
    }
    m_lastLoadTick.store(m_clock(), std::memory_order_release);
}

void HazardFilter::RefreshDatabase(const FilterHostContext* host)
{
    if (host == nullptr || host->GetDatabaseTime == nullptr)
        return;
    std::uint32_t time = 0;
    host->GetDatabaseTime(&time);
    if (time > m_lastLoadTick.load(std::memory_order_acquire)) {
        // Another thread may have reloaded while this one waited.
        std::unique_lock<std::mutex> wait(m_reloadLock);
        const bool stillNewer = time > m_lastLoadTick.load(std::memory_order_acquire);
        wait.unlock();
        if (stillNewer)
            LoadDatabase();
    }
}

std::uint32_t HazardFilter::AskHost(const FilterHostContext* host, KelmSocket socket, SocketContext** context)
{
    *context = LookupSocketContext(host, socket);
    std::uint32_t verdict = 0;
    if (*context != nullptr) {
        FilterSettingsRecord settings{sizeof(FilterSettingsRecord), host->exploitFilterSetting,
                                      host->siteFilterSetting};
        if (host->callbacks->CheckData != nullptr)
            host->callbacks->CheckData(&(*context)->connectionReference, &settings, &verdict);
        if (settings.exploitFilterSetting != host->exploitFilterSetting ||
            settings.siteFilterSetting != host->siteFilterSetting)
            host->SettingsChanged(&settings);
    }
    RefreshDatabase(host);
    return verdict;
}

// ---- Send ------------------------------------------------------------------------

std::int32_t HazardFilter::Send(KelmSocket socket, FilterBuffer* buffers, std::uint32_t count, std::uint32_t bytes)
{
    CScanSocketState* state = m_sockets.FindOrCreate(socket);
    if (state == nullptr)
        return 0;
    state->Reset();  // every request starts the scan of its response afresh

    const FilterHostContext* host = m_host.load(std::memory_order_acquire);
    if (host == nullptr || host->exploitFilterSetting == 0) {
        state->noScan = true;
        return 0;
    }
    if (buffers == nullptr || count == 0 || buffers[0].buf == nullptr)
        return 0;
    const auto* data = reinterpret_cast<const std::uint8_t*>(buffers[0].buf);
    const std::size_t length = std::min<std::size_t>(buffers[0].len, bytes);
    if (length < kMinScannedBytes)
        return 0;

    const std::size_t copied = std::min(length, kRequestCopy);
    const std::string_view request(reinterpret_cast<const char*>(data), copied);
    if (request.starts_with("GET ")) {
        std::string_view path = request.substr(4);
        path = path.substr(0, path.find(' '));
        path = path.substr(0, CScanSocketState::kRequestUrlSize - 1);
        std::memcpy(state->requestUrl, path.data(), path.size());
        state->requestUrl[path.size()] = '\0';
    }

    const std::ptrdiff_t marker = FindAgentMarker(data, length);
    if (marker >= 0) {
        // The caller's buffer is const: the changed bytes go out from a copy.
        try {
            state->sendCopy.assign(data, data + buffers[0].len);
        } catch (const std::bad_alloc&) {
            return 0;
        }
        std::memcpy(state->sendCopy.data() + marker, kAgentReplacement.data(), kAgentReplacement.size());
        buffers[0].buf = reinterpret_cast<char*>(state->sendCopy.data());
        state->noScan = true;
    }
    return 0;
}

// ---- Receive ---------------------------------------------------------------------

std::int32_t HazardFilter::Recv(KelmSocket socket, FilterBuffer* buffers, std::uint32_t count, std::uint32_t bytes,
                                const struct sockaddr_in* remote)
{
    const FilterHostContext* host = m_host.load(std::memory_order_acquire);
    if (host == nullptr || host->exploitFilterSetting == 0)
        return 0;
    std::shared_ptr<const DetectionDatabase> database = Database();
    if (!database || database->Empty())
        return 0;
    if (buffers == nullptr || bytes < kMinScannedBytes || count > kMaxScannedBuffers || bytes > kMaxScannedBytes)
        return 0;

    CScanSocketState* state = m_sockets.FindOrCreate(socket);
    if (state == nullptr || state->noScan)
        return 0;

    if (!state->firstBufferDone) {
        SocketContext* context = nullptr;
        if (AskHost(host, socket, &context) != 0) {
            if (context != nullptr)
                MarkBlocked(*context, KELM_SOCKET_BLOCKED_BY_HOST);
            return KELM_FILTER_BLOCKED;
        }
        state->classification = nfkit::ClassifyFirstBuffer(buffers, count, bytes, remote);
        state->firstBufferDone = true;
        m_trace.Print(4, "KelmHazardFilter::LSPP_Recv first buffer: s=%08X ctx=%08X\n",
                      static_cast<unsigned>(socket), state->classification);
        database = Database();  // the host check may have reloaded it
        if (!database || database->Empty())
            return 0;
    }

    int verdict = 0;
    try {
        bool usedInflated = false;
        std::vector<std::uint64_t> firstPassMembers;
        const nfkit::ScanView& first = FirstPassView(*state, buffers, count, bytes, socket, &usedInflated);
        verdict = Scan(*state, *database, first, 0, /*overwriteAllowed=*/!usedInflated, socket, remote, host,
                       firstPassMembers);
        if (verdict == 0 && (state->classification & nfkit::kStreamHtml)) {
            BuildNormalisedView(*state, first);
            verdict = Scan(*state, *database, state->normalisedView, 1, /*overwriteAllowed=*/false, socket, remote,
                           host, firstPassMembers);
            state->normalisedCarry.Update(state->normalisedView);
        }
        state->rawCarry.Update(state->rawView);
        if (usedInflated)
            state->inflatedCarry.Update(state->inflatedView);
    } catch (const std::bad_alloc&) {
        verdict = 0;  // a receive that cannot be scanned passes
    }
    if (state->inflatedStore)
        state->inflatedStore->Reset();
    if (state->normalisedStore)
        state->normalisedStore->Reset();
    return verdict;
}

const nfkit::ScanView& HazardFilter::FirstPassView(CScanSocketState& state, FilterBuffer* buffers,
                                                   std::uint32_t count, std::uint32_t bytes, KelmSocket socket,
                                                   bool* usedInflated)
{
    state.rawCarry.BeginView(state.rawView);
    nfkit::AddReceiveBuffers(state.rawView, buffers, count, bytes);
    *usedInflated = false;
    if ((state.classification & nfkit::kStreamGzipHtml) == nfkit::kStreamGzipHtml &&
        BuildInflatedView(state, buffers, count, bytes, socket)) {
        *usedInflated = true;
        return state.inflatedView;
    }
    return state.rawView;
}

bool HazardFilter::BuildInflatedView(CScanSocketState& state, FilterBuffer*, std::uint32_t, std::uint32_t,
                                     KelmSocket socket)
{
    if (!state.inflatedStore)
        state.inflatedStore = std::make_unique<CByteBufferStore>();
    // The receive's own pieces: the raw view without its carried piece.
    const auto& pieces = state.rawView.Pieces();
    const std::size_t firstPiece = state.rawView.CarriedBytes() > 0 ? 1 : 0;
    if (firstPiece >= pieces.size())
        return false;

    std::size_t budget = nfkit::kMaxInflatedPerReceive;
    nfkit::GzipInflater::Result total;
    auto inflate = [&](const std::uint8_t* data, std::size_t length) {
        if (total.capped || total.error)
            return;
        const auto r = state.inflater->Inflate(data, length, *state.inflatedStore, budget);
        total.produced += r.produced;
        total.capped = total.capped || r.capped;
        total.error = total.error || r.error;
    };

    std::size_t next = firstPiece;
    if (!state.inflater) {
        // The first receive of a gzip body: find the member in the first buffer.
        state.inflater = std::make_unique<nfkit::GzipInflater>();
        const nfkit::ViewPiece& head = pieces[firstPiece];
        std::size_t offset = 0;
        switch (nfkit::FindDeflateData(head.data, head.length, &offset)) {
        case nfkit::GzipStart::NoMagic:
            m_trace.Print(4, "KelmHazardFilter::LSPP_Recv looked like gzip, but no data, s=%08X ctx=%08X\n",
                          static_cast<unsigned>(socket), state.classification);
            state.classification &= ~(nfkit::kStreamHttp | nfkit::kStreamHtml | nfkit::kStreamGzip);
            state.inflater.reset();
            return false;
        case nfkit::GzipStart::HeaderIncomplete:
            break;  // the inflater stays unstarted
        case nfkit::GzipStart::Started:
            if (state.inflater->Start()) {
                state.deflateOffset = offset;
                inflate(head.data + offset, head.length - offset);
            }
            break;
        }
        ++next;
    }
    if (state.inflater->IsStarted()) {
        for (; next < pieces.size(); ++next)
            inflate(pieces[next].data, pieces[next].length);
    }

    if (total.capped) {
        // The rest of this body cannot be inflated in step any more: what is
        // not scanned passes, like an oversized receive.
        m_trace.Print(2, "KelmHazardFilter::LSPP_Recv inflated output capped, s=%08X\n", static_cast<unsigned>(socket));
        state.noScan = true;
    }
    if (total.produced == 0) {
        m_trace.Print(2, "KelmHazardFilter::LSPP_Recv failed to decompress gzip, s=%08X\n",
                      static_cast<unsigned>(socket));
        state.inflatedStore->Reset();
        return false;
    }
    state.inflatedCarry.BeginView(state.inflatedView);
    state.inflatedView.AddStore(*state.inflatedStore);
    return true;
}

void HazardFilter::BuildNormalisedView(CScanSocketState& state, const nfkit::ScanView& firstPass)
{
    if (!state.normaliser)
        state.normaliser = std::make_unique<nfkit::Normaliser>();
    if (!state.normalisedStore)
        state.normalisedStore = std::make_unique<CByteBufferStore>();
    // The carried piece was normalised in the previous receive already; its
    // normalised form is in the normalised carry-over.
    const auto& pieces = firstPass.Pieces();
    for (std::size_t i = firstPass.CarriedBytes() > 0 ? 1 : 0; i < pieces.size(); ++i)
        state.normaliser->Normalise(pieces[i].data, pieces[i].length, *state.normalisedStore);
    state.normalisedCarry.BeginView(state.normalisedView);
    state.normalisedView.AddStore(*state.normalisedStore);
}

int HazardFilter::Scan(CScanSocketState& state, const DetectionDatabase& database, const nfkit::ScanView& view,
                       int pass, bool overwriteAllowed, KelmSocket socket, const struct sockaddr_in* remote,
                       const FilterHostContext* host, std::vector<std::uint64_t>& firstPassMembers)
{
    // Locals, not thread-locals: a host callback may filter another socket
    // on this thread before this scan is done.
    std::vector<Hit> hits;
    if (MatchMultiSploit(view, database.IndexFor(state.classification, pass), hits) == 0)
        return 0;
    const ReportFunction report = [&](std::uint32_t id, std::uint32_t subId, std::uint32_t action) {
        return m_reporter.Report(DetectionReport{socket, id, subId, action, remote}, host, m_trace);
    };
    HitScope scope{database, state, view, overwriteAllowed, m_trace, report, &firstPassMembers, pass == 1};
    return HandleHits(hits, scope);
}

// ---- Close ------------------------------------------------------------------------

std::int32_t HazardFilter::CloseSocket(KelmSocket socket)
{
    m_sockets.Remove(socket);
    return 0;
}

}  // namespace hazard
