#include "io/quorvel_http_impl.h"

#include <curl/curl.h>
#include <sys/mman.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <cstdint>
#include <memory>
#include <mutex>
#include <new>

#include "core/data_buffer.h"
#include "io/page_prefaulter.h"
#include "io/tls_verification.h"

namespace quorvel {
namespace {

struct CurlEasyFree {
    void operator()(CURL* h) const { curl_easy_cleanup(h); }
};
using CurlEasy = std::unique_ptr<CURL, CurlEasyFree>;
struct CurlListFree {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};
using CurlList = std::unique_ptr<curl_slist, CurlListFree>;
struct CurlUrlFree {
    void operator()(CURLU* u) const { curl_url_cleanup(u); }
};
struct CurlTextFree {
    void operator()(char* s) const { curl_free(s); }
};
using CurlText = std::unique_ptr<char, CurlTextFree>;

// libcurl's process-wide set-up, once; it is never undone, as the module may be used until exit.
bool libraryReady() {
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] { ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
    return ready;
}

// Fails a transfer that has neither sent nor received a byte for the idle limit since its
// connection was made (the connect limit covers the time before).
struct IdleWatch {
    CURL* handle;
    bool tls;
    std::chrono::milliseconds limit;
    std::chrono::steady_clock::time_point last = std::chrono::steady_clock::now();
    curl_off_t received = -1;
    curl_off_t sent = -1;
    bool expired = false;

    static int onProgress(void* self, curl_off_t, curl_off_t received, curl_off_t, curl_off_t sent) {
        IdleWatch& w = *static_cast<IdleWatch*>(self);
        const auto now = std::chrono::steady_clock::now();
        curl_off_t connectedAt = 0;
        curl_easy_getinfo(w.handle, w.tls ? CURLINFO_APPCONNECT_TIME_T : CURLINFO_CONNECT_TIME_T, &connectedAt);
        if (connectedAt <= 0 || received != w.received || sent != w.sent) {
            w.received = received;
            w.sent = sent;
            w.last = now;
            return 0;
        }
        w.expired = now - w.last >= w.limit;
        return w.expired ? 1 : 0;
    }
};

// A body is written once into fresh memory, where small pages cost a fault each (on virtual
// machines a dear one) and huge pages one per 2 MB. Advice only: where declined, nothing changes.
void adviseHugePages(void* block, uint64_t bytes) {
    constexpr uintptr_t kHuge = uintptr_t{2} << 20;
    const uintptr_t start = (reinterpret_cast<uintptr_t>(block) + kHuge - 1) & ~(kHuge - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(block) + bytes) & ~(kHuge - 1);
    if (end > start) madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
}

CurlText urlPart(CURLU* u, CURLUPart part, unsigned flags = 0) {
    char* s = nullptr;
    if (curl_url_get(u, part, &s, flags) != CURLUE_OK) return nullptr;
    return CurlText(s);
}

}  // namespace

// Where the body of a reply goes, and the bound it must stay within. A download gathers into a
// block of its own that doubles through realloc, which moves a large block's pages rather than
// copying them; the block then becomes the output's, or is appended to it, at the end.
struct QuorvelHttpImpl::Sink {
    StringBuffer* text = nullptr;  // a reply: appended to directly
    uint64_t limit = 0;
    CURL* handle = nullptr;  // the transfer, for its announced length
    bool tooLarge = false;
    uint8_t* block = nullptr;
    uint64_t size = 0;
    uint64_t capacity = 0;
    PagePrefaulter prefaulter;  // runs while a presized block fills

    Sink(StringBuffer* text, uint64_t limit) : text(text), limit(limit) {}
    ~Sink() {
        prefaulter.stop();
        std::free(block);
    }
    Sink(const Sink&) = delete;
    Sink& operator=(const Sink&) = delete;

    // Appends what was gathered to out, handing the block over when out is empty.
    void deliver(DataBuffer& out) {
        prefaulter.stop();
        if (out.empty() && block && size > 0) {
            out.adopt(block, static_cast<uint32_t>(size));
            block = nullptr;
            capacity = 0;
        } else {
            out.append(block, static_cast<uint32_t>(size));
        }
        size = 0;
    }

    // An announced length is trusted this far for the first block; beyond it the block doubles.
    static constexpr uint64_t kMaxPresize = 256u << 20;
    // From this announced length on, the block's pages are made present on a second thread.
    static constexpr uint64_t kPrefaulted = 8u << 20;

    static size_t write(char* bytes, size_t size, size_t count, void* self) {
        Sink& s = *static_cast<Sink*>(self);
        const uint64_t n = static_cast<uint64_t>(size) * count;
        const uint64_t have = s.text ? static_cast<uint64_t>(s.text->length()) : s.size;
        if (have + n > s.limit) {
            s.tooLarge = true;
            return 0;
        }
        const uint64_t need = have + n;
        try {
            if (s.text) {
                const uint64_t capacity = static_cast<uint64_t>(s.text->capacity());
                if (need + 1 > capacity)
                    s.text->reserve(static_cast<int32_t>(std::min(std::max(need, 2 * capacity), s.limit) - have));
                s.text->appendBytes(bytes, static_cast<int32_t>(n));
                return static_cast<size_t>(n);
            }
        } catch (...) {
            s.tooLarge = true;
            return 0;
        }
        if (need > s.capacity) {
            uint64_t grown = std::max({need, 2 * s.capacity, uint64_t{65536}});
            curl_off_t announced = -1;
            if (s.capacity == 0 && s.handle &&
                curl_easy_getinfo(s.handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced) == CURLE_OK && announced > 0)
                grown = std::max(grown, std::min(static_cast<uint64_t>(announced), kMaxPresize));
            grown = std::min(grown, s.limit);
            s.prefaulter.stop();
            void* moved = std::realloc(s.block, static_cast<size_t>(grown));
            if (!moved) {
                s.tooLarge = true;
                return 0;
            }
            s.block = static_cast<uint8_t*>(moved);
            s.capacity = grown;
            adviseHugePages(s.block, grown);
            if (announced >= static_cast<curl_off_t>(kPrefaulted) && s.size == 0)
                s.prefaulter.start(s.block, static_cast<size_t>(grown));
        }
        std::memcpy(s.block + s.size, bytes, static_cast<size_t>(n));
        s.size = need;
        s.prefaulter.written(static_cast<size_t>(need));
        return static_cast<size_t>(n);
    }
};

// What one request came to.
struct QuorvelHttpImpl::Exchange {
    enum class Stage { NoHost, NoRequest, NotSent, Answered };
    Stage stage = Stage::NoHost;
    long status = 0;
    std::string location;
};

QuorvelHttpImpl::QuorvelHttpImpl() : mode_(AccessMode::Preconfigured) { open(); }

QuorvelHttpImpl::QuorvelHttpImpl(AccessMode mode) : mode_(mode) { open(); }

QuorvelHttpImpl::QuorvelHttpImpl(const char* proxy) : mode_(AccessMode::Proxy), proxy_(proxy ? proxy : "") { open(); }

QuorvelHttpImpl::~QuorvelHttpImpl() { curl_easy_cleanup(static_cast<CURL*>(internet_)); }

void QuorvelHttpImpl::open() {
    if (!libraryReady()) return;
    CurlEasy h(curl_easy_init());
    if (!h) return;
    limits_ = HttpLimits::current();
    CURL* c = h.get();
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(c, CURLOPT_USERAGENT, kAgent);
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(c, CURLOPT_PATH_AS_IS, 1L);  // the path goes out as the caller wrote it
    curl_easy_setopt(c, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(c, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(c, CURLOPT_BUFFERSIZE, 256L * 1024);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, limits_.connectSeconds);
    switch (mode_) {
        case AccessMode::Preconfigured:
            break;  // libcurl reads the proxy environment variables
        case AccessMode::Direct:
            curl_easy_setopt(c, CURLOPT_PROXY, "");
            break;
        case AccessMode::Proxy:
            curl_easy_setopt(c, CURLOPT_PROXY, proxy_.data());
            curl_easy_setopt(c, CURLOPT_NOPROXY, "");  // the named proxy for every host, whatever no_proxy says
            break;
    }
    if (!configureTlsVerification(c)) return;
    internet_ = h.release();
}

std::string QuorvelHttpImpl::requestTarget(const char* url) {
    if (!url || !*url) return {};
    std::unique_ptr<CURLU, CurlUrlFree> u(curl_url());
    if (!u || curl_url_set(u.get(), CURLUPART_URL, url, CURLU_PATH_AS_IS) != CURLUE_OK) return {};
    CurlText host = urlPart(u.get(), CURLUPART_HOST);
    CurlText port = urlPart(u.get(), CURLUPART_PORT, CURLU_DEFAULT_PORT);
    CurlText path = urlPart(u.get(), CURLUPART_PATH);
    CurlText query = urlPart(u.get(), CURLUPART_QUERY);
    if (!host || !*host || !port) return {};
    std::string target = std::string_view(port.get()) == "80" ? "http://" : "https://";
    target.append(host.get()).append(":").append(port.get()).append(path ? path.get() : "/");
    if (query) target.append("?").append(query.get());
    return target;
}

void QuorvelHttpImpl::exchange(const std::string& target, const StringBuffer* postBody, Sink& sink,
                               Exchange& result) {
    result = Exchange{};
    if (target.empty()) return;
    result.stage = Exchange::Stage::NoRequest;
    if (!internet_) return;
    CurlEasy h(curl_easy_duphandle(static_cast<CURL*>(internet_)));
    if (!h) return;
    CURL* c = h.get();
    curl_easy_setopt(c, CURLOPT_URL, target.c_str());
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &Sink::write);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &sink);
    sink.handle = c;
    CurlList headers;
    if (postBody) {
        headers.reset(curl_slist_append(nullptr, "Content-Type: text/xml"));
        curl_slist* more = headers ? curl_slist_append(headers.get(), "Expect:") : nullptr;
        if (!more) return;
        curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
        curl_easy_setopt(c, CURLOPT_POST, 1L);
        curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(postBody->length()));
        curl_easy_setopt(c, CURLOPT_POSTFIELDS, postBody->data());
    } else {
        curl_easy_setopt(c, CURLOPT_HTTPGET, 1L);
        curl_easy_setopt(c, CURLOPT_USERAGENT, kDownloadAgent);
    }
    if (hasCredentials()) {
        // Offered only when the server asks, in the scheme it asks for.
        curl_easy_setopt(c, CURLOPT_HTTPAUTH, static_cast<unsigned long>(CURLAUTH_BASIC | CURLAUTH_DIGEST));
        curl_easy_setopt(c, CURLOPT_USERNAME, username().data());
        curl_easy_setopt(c, CURLOPT_PASSWORD, password().data());
    }
    IdleWatch idle{c, target.compare(0, 6, "https:") == 0, std::chrono::seconds(limits_.idleSeconds)};
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &IdleWatch::onProgress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &idle);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    const CURLcode rc = curl_easy_perform(c);
    sink.handle = nullptr;
    if (sink.tooLarge) throw std::bad_alloc();
    long status = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
    // A reply cut short still counts as a reply; one that stalled does not.
    result.stage = Exchange::Stage::NotSent;
    if (status <= 0 || rc == CURLE_OPERATION_TIMEDOUT || idle.expired) return;
    result.stage = Exchange::Stage::Answered;
    result.status = status;
    curl_header* location = nullptr;
    if (curl_easy_header(c, "Location", 0, CURLH_HEADER, -1, &location) == CURLHE_OK && location && location->value)
        result.location = location->value;
    // libcurl keeps the line end of a header with nothing on it.
    while (!result.location.empty() && isWhiteByte(static_cast<unsigned char>(result.location.back())))
        result.location.pop_back();
}

bool QuorvelHttpImpl::Download(const char* url, DataBuffer& out) {
    statusCode_.clear();
    std::string target = requestTarget(url);
    // What out holds already counts against what it can hold.
    Sink sink(nullptr, std::min<uint64_t>(limits_.maxBody, UINT32_MAX - uint64_t{out.size()}));
    Exchange reply;
    for (int redirects = 0;; ++redirects) {
        exchange(target, nullptr, sink, reply);
        sink.deliver(out);
        if (reply.stage != Exchange::Stage::Answered) return false;
        statusCode_.setString(intToString(static_cast<int32_t>(reply.status)));
        if (reply.status != 302 || reply.location.empty()) return reply.status == 200;
        if (redirects == kMaxRedirects) return false;
        out.clear();
        sink.limit = std::min<uint64_t>(limits_.maxBody, UINT32_MAX);
        target = requestTarget(reply.location.c_str());
    }
}

bool QuorvelHttpImpl::PostXml(const char* url, const StringBuffer& body, StringBuffer& reply, StringBuffer& error) {
    const std::string target = requestTarget(url);
    // The largest text a StringBuffer holds, leaving room for its terminator.
    Sink sink(&reply, std::min<uint64_t>(limits_.maxBody, INT32_MAX - 1));
    Exchange result;
    exchange(target, &body, sink, result);
    switch (result.stage) {
        case Exchange::Stage::NoHost:
            error.append("Failed to make Internet connection");
            return false;
        case Exchange::Stage::NoRequest:
            error.append("Failed to open HTTP request");
            return false;
        case Exchange::Stage::NotSent:
            error.append("Failed to send HTTP request");
            return false;
        case Exchange::Stage::Answered:
            return true;
    }
    return false;
}

}  // namespace quorvel
