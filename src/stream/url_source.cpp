#include "stream/url_source.h"

#include <curl/curl.h>

#include <cstring>

#include "io/http_limits.h"
#include "io/quorvel_http_impl.h"
#include "io/tls_verification.h"

namespace quorvel {
namespace {

constexpr size_t kWaiting = size_t{1} << 20;  // received bytes held before the transfer pauses

}  // namespace

std::unique_ptr<ByteSource> openSource(const std::string& name, std::string& error) {
    if (name.rfind("http://", 0) == 0 || name.rfind("https://", 0) == 0) return UrlSource::open(name, error);
    return FileSource::open(name, error);
}

std::unique_ptr<UrlSource> UrlSource::open(const std::string& url, std::string& error) {
    static const bool ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    const std::string target = QuorvelHttpImpl::requestTarget(url.c_str());
    if (!ready || target.empty()) {
        error = "Invalid URL";
        return nullptr;
    }
    std::unique_ptr<UrlSource> s(new UrlSource);
    CURL* c = curl_easy_init();
    CURLM* m = curl_multi_init();
    s->easy_ = c;
    s->multi_ = m;
    if (!c || !m) {
        error = "Out of memory";
        return nullptr;
    }
    const HttpLimits limits = HttpLimits::current();
    curl_easy_setopt(c, CURLOPT_URL, target.c_str());
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(c, CURLOPT_USERAGENT, QuorvelHttpImpl::kDownloadAgent);
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(c, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(c, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, limits.connectSeconds);
    // Never an unbounded wait: a transfer that receives nothing for the idle time fails.
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, limits.idleSeconds);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &UrlSource::onData);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, s.get());
    if (!configureTlsVerification(c)) {
        error = "TLS is not available";
        return nullptr;
    }
    curl_multi_add_handle(m, c);
    return s;
}

UrlSource::~UrlSource() {
    if (multi_ && easy_) curl_multi_remove_handle(static_cast<CURLM*>(multi_), static_cast<CURL*>(easy_));
    if (easy_) curl_easy_cleanup(static_cast<CURL*>(easy_));
    if (multi_) curl_multi_cleanup(static_cast<CURLM*>(multi_));
}

size_t UrlSource::onData(char* data, size_t size, size_t count, void* self) {
    auto* s = static_cast<UrlSource*>(self);
    if (s->pending_.size() - s->taken_ >= kWaiting) {
        s->paused_ = true;
        return CURL_WRITEFUNC_PAUSE;  // delivered again once the reader has caught up
    }
    if (s->taken_ == s->pending_.size()) {
        s->pending_.clear();
        s->taken_ = 0;
    }
    s->pending_.append(data, size * count);
    return size * count;
}

ptrdiff_t UrlSource::read(void* buffer, size_t n) {
    auto* m = static_cast<CURLM*>(multi_);
    while (taken_ == pending_.size() && !finished_) {
        if (paused_) {
            paused_ = false;
            curl_easy_pause(static_cast<CURL*>(easy_), CURLPAUSE_CONT);
        }
        int running = 0;
        if (curl_multi_perform(m, &running) != CURLM_OK) {
            error_ = "The transfer failed";
            return -1;
        }
        int left = 0;
        while (CURLMsg* msg = curl_multi_info_read(m, &left)) {
            if (msg->msg != CURLMSG_DONE) continue;
            finished_ = true;
            if (msg->data.result != CURLE_OK) {
                error_ = curl_easy_strerror(msg->data.result);
                return -1;
            }
        }
        if (!running) finished_ = true;
        if (taken_ == pending_.size() && !finished_) curl_multi_poll(m, nullptr, 0, 1000, nullptr);
    }
    const size_t k = std::min(n, pending_.size() - taken_);
    std::memcpy(buffer, pending_.data() + taken_, k);
    taken_ += k;
    return static_cast<ptrdiff_t>(k);
}

}  // namespace quorvel
