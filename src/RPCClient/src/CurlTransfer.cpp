#include "CurlTransfer.h"

#include <curl/curl.h>

#include <array>
#include <cstdint>
#include <limits>
#include <memory>
#include <stdexcept>

#include "corvanta/rpc/RPCErrors.h"
#include "corvanta/support/CancellableWait.h"

namespace corvanta::detail {
namespace {

struct EasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct MultiDeleter {
    void operator()(CURLM* handle) const { curl_multi_cleanup(handle); }
};
struct HeaderListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;
using MultiHandle = std::unique_ptr<CURLM, MultiDeleter>;
using HeaderList = std::unique_ptr<curl_slist, HeaderListDeleter>;

RPCTransportError networkError(std::string description, bool timedOut = false,
                               bool cannotConnect = false) {
    return RPCTransportError(
        RPCTransportError::Network{std::move(description), timedOut, cannotConnect});
}

// Failures where the node is down, restarting or dropped the connection mid-request.
bool isUnreachable(CURLcode code) {
    switch (code) {
        case CURLE_COULDNT_CONNECT:
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_GOT_NOTHING:
        case CURLE_RECV_ERROR:
        case CURLE_SEND_ERROR:
        case CURLE_PARTIAL_FILE:
            return true;
        default:
            return false;
    }
}

// Room taken at once for an answer that announces its length, so a large one is one allocation
// rather than a run of doublings; beyond this only a bounded call trusts the announcement.
constexpr curl_off_t kLargestReservation = 64 * 1024 * 1024;

// The answer's body as it comes, within its bound.
struct BodySink {
    CURL* easy = nullptr;
    std::size_t limit = 0;
    std::string body;
    bool reserved = false;
    bool tooLarge = false;
};

std::size_t collectBody(char* data, std::size_t size, std::size_t count, void* target) {
    auto& sink = *static_cast<BodySink*>(target);
    const std::size_t length = size * count;
    // No exception may cross libcurl's C frames; a short count makes it abort the transfer.
    try {
        if (!sink.reserved) {
            sink.reserved = true;
            curl_off_t announced = -1;
            curl_easy_getinfo(sink.easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
            if (announced > 0 && std::uint64_t(announced) > sink.limit) {
                sink.tooLarge = true;
                return 0;
            }
            const bool bounded = sink.limit != std::numeric_limits<std::size_t>::max();
            if (announced > 0 && (bounded || announced <= kLargestReservation)) {
                sink.body.reserve(std::size_t(announced));
            }
        }
        if (length > sink.limit - sink.body.size()) {
            sink.tooLarge = true;
            return 0;
        }
        sink.body.append(data, length);
        return length;
    } catch (...) {
        return 0;
    }
}

// An easy handle and the multi handle that runs it. The multi handle holds the connections its
// transfers leave open, so a pair that is kept sends its next request over the same connection.
struct Handles {
    MultiHandle multi{curl_multi_init()};
    EasyHandle easy{curl_easy_init()};
};

// One request on a pair of handles: attached for the exchange, detached (as libcurl requires
// before either is freed or reused) when it ends.
class Transfer {
  public:
    Transfer(Handles& handles, const HttpPost& request)
        : multi_(handles.multi.get()), easy_(handles.easy.get()) {
        if (!multi_ || !easy_) throw networkError("cannot create an HTTP transfer");
        curl_easy_reset(easy_);  // the connection stays; the previous request's options go
        for (const auto& header : request.headers) {
            curl_slist* extended = curl_slist_append(headers_.get(), header.c_str());
            if (extended == nullptr) throw networkError("cannot build the request headers");
            headers_.release();
            headers_.reset(extended);
        }
        const long timeoutMs = static_cast<long>(request.timeout.count());
        set(CURLOPT_URL, request.url.c_str());
        set(CURLOPT_PROTOCOLS_STR, "http,https");
        set(CURLOPT_NOSIGNAL, 1L);
        // A proxy from the user's environment must never see loopback RPC or its credentials.
        set(CURLOPT_NOPROXY, "*");
        set(CURLOPT_POST, 1L);
        set(CURLOPT_POSTFIELDS, request.body.data());
        set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
        set(CURLOPT_HTTPHEADER, headers_.get());
        set(CURLOPT_TIMEOUT_MS, timeoutMs);
        // The node closes a connection idle for 30 s; one idle for less is never about to go.
        set(CURLOPT_MAXAGE_CONN, 20L);
        sink_.easy = easy_;
        sink_.limit = request.maxBodyBytes;
        set(CURLOPT_WRITEFUNCTION, &collectBody);
        set(CURLOPT_WRITEDATA, &sink_);
        set(CURLOPT_ERRORBUFFER, errorText_.data());
        const CURLMcode added = curl_multi_add_handle(multi_, easy_);
        if (added != CURLM_OK) throw networkError(curl_multi_strerror(added));
        attached_ = true;
    }

    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;

    ~Transfer() {
        if (attached_) curl_multi_remove_handle(multi_, easy_);
    }

    HttpAnswer run(const std::stop_token& stop) {
        CURLM* const multi = multi_;
        // Installed before the first check below, so a stop at any moment either is seen by
        // that check or wakes the poll.
        const std::stop_callback wake(stop, [multi] { curl_multi_wakeup(multi); });
        while (true) {
            throwIfStopRequested(stop);
            int running = 0;
            const CURLMcode performed = curl_multi_perform(multi, &running);
            if (performed != CURLM_OK) throw networkError(curl_multi_strerror(performed));
            if (running == 0) break;
            // libcurl shortens this wait to its own next deadline, the transfer timeout included.
            const CURLMcode polled = curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
            if (polled != CURLM_OK) throw networkError(curl_multi_strerror(polled));
        }
        return finish();
    }

  private:
    template <typename Value>
    void set(CURLoption option, Value value) {
        const CURLcode code = curl_easy_setopt(easy_, option, value);
        if (code != CURLE_OK) throw networkError(curl_easy_strerror(code));
    }

    HttpAnswer finish() {
        CURLcode result = CURLE_GOT_NOTHING;
        int queued = 0;
        while (const CURLMsg* message = curl_multi_info_read(multi_, &queued)) {
            if (message->msg == CURLMSG_DONE) result = message->data.result;
        }
        if (sink_.tooLarge) {
            throw RPCTransportError(RPCTransportError::ReplyTooLarge{sink_.limit});
        }
        if (result != CURLE_OK) {
            std::string description = errorText_.front() != '\0' ? std::string(errorText_.data())
                                                                 : curl_easy_strerror(result);
            throw networkError(std::move(description), result == CURLE_OPERATION_TIMEDOUT,
                               isUnreachable(result));
        }
        long status = 0;
        curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &status);
        return HttpAnswer{std::move(sink_.body), static_cast<int>(status)};
    }

    CURLM* const multi_;
    CURL* const easy_;
    HeaderList headers_;
    BodySink sink_;
    std::array<char, CURL_ERROR_SIZE> errorText_{};
    bool attached_ = false;
};

}  // namespace

void ensureCurlReady() {
    static const CURLcode initialized = curl_global_init(CURL_GLOBAL_DEFAULT);
    if (initialized != CURLE_OK) {
        throw std::runtime_error(std::string("libcurl cannot start: ") +
                                 curl_easy_strerror(initialized));
    }
}

HttpAnswer postOverCurl(const HttpPost& request, std::stop_token stop) {
    ensureCurlReady();
    throwIfStopRequested(stop);
    Handles handles;
    Transfer transfer(handles, request);
    return transfer.run(stop);
}

struct KeptChannel::State {
    Handles handles;
};

KeptChannel::KeptChannel() = default;
KeptChannel::~KeptChannel() = default;

HttpAnswer KeptChannel::post(const HttpPost& request, std::stop_token stop) {
    ensureCurlReady();
    throwIfStopRequested(stop);
    if (!state_) state_ = std::make_unique<State>();
    try {
        Transfer transfer(state_->handles, request);
        return transfer.run(stop);
    } catch (...) {
        // A connection left by a failed, timed-out or cancelled exchange may still carry that
        // exchange's answer: the next request starts on a fresh one.
        state_.reset();
        throw;
    }
}

}  // namespace corvanta::detail
