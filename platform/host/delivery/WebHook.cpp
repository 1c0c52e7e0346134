#include "platform/host/delivery/WebHook.h"

#include "platform/host/delivery/SmtpTransport.h"
#include "platform/rtl/JsonText.h"

#include <cstdio>
#include <curl/curl.h>
#include <memory>
#include <mutex>

namespace host {

namespace {

std::string SizeText(std::int64_t bytes) {
    char text[32];
    if (bytes < 1024) {
        std::snprintf(text, sizeof text, "%lld bytes", static_cast<long long>(bytes));
    } else if (bytes < 1024 * 1024) {
        std::snprintf(text, sizeof text, "%.1f KiB", static_cast<double>(bytes) / 1024);
    } else {
        std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(bytes) / (1024 * 1024));
    }
    return text;
}

// The lines a person reads in a chat: what ran, for when, how it went, what it wrote.
std::vector<std::pair<std::string, std::string>> Facts(const THookRun& run) {
    std::vector<std::pair<std::string, std::string>> facts{{"Report", run.Report}};
    if (!run.Due.empty()) {
        facts.emplace_back("Due", run.Due);
    }
    if (!run.Period.empty()) {
        facts.emplace_back("Period", run.Period);
    }
    facts.emplace_back("Result", run.Result);
    for (const THookFile& file : run.Files) {
        facts.emplace_back("File", file.Name + " (" + SizeText(file.Size) + ")");
    }
    return facts;
}

std::string ChatText(const THookRun& run) {
    std::string text = run.Task + ": " + run.Outcome;
    for (const auto& [name, value] : Facts(run)) {
        text += "\n" + name + ": " + value;
    }
    return text;
}

std::string OwnDocument(const THookRun& run) {
    std::string files;
    for (const THookFile& file : run.Files) {
        files += std::string(files.empty() ? "" : ",") + "{\"name\":" + rtl::JsonString(file.Name) +
                 ",\"size\":" + std::to_string(file.Size) + "}";
    }
    return "{\"task\":" + rtl::JsonString(run.Task) + ",\"report\":" + rtl::JsonString(run.Report) +
           ",\"due\":" + (run.Due.empty() ? "null" : rtl::JsonString(run.Due)) +
           ",\"period\":" + (run.Period.empty() ? "null" : rtl::JsonString(run.Period)) +
           ",\"outcome\":" + rtl::JsonString(run.Outcome) +
           ",\"result\":" + rtl::JsonString(run.Result) + ",\"files\":[" + files + "]}";
}

// The connector card the channels' incoming hooks take: a title and a list of facts.
std::string TeamsCard(const THookRun& run) {
    std::string facts;
    for (const auto& [name, value] : Facts(run)) {
        facts += std::string(facts.empty() ? "" : ",") + "{\"name\":" + rtl::JsonString(name) +
                 ",\"value\":" + rtl::JsonString(value) + "}";
    }
    const std::string title = run.Task + ": " + run.Outcome;
    return "{\"@type\":\"MessageCard\",\"@context\":\"https://schema.org/extensions\","
           "\"summary\":" +
           rtl::JsonString(title) + ",\"title\":" + rtl::JsonString(title) +
           ",\"sections\":[{\"facts\":[" + facts + "]}]}";
}

void InitialiseCurl() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

int CheckCancel(void* cancel, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<const std::atomic<bool>*>(cancel)->load() ? 1 : 0;
}

// Keeps the start of the reply's body: a hook's refusal says why there.
std::size_t KeepReply(char* data, std::size_t size, std::size_t count, void* context) {
    auto* reply = static_cast<std::string*>(context);
    const std::size_t bytes = size * count;
    if (reply->size() < 200) {
        reply->append(data, std::min(bytes, 200 - reply->size()));
    }
    return bytes;
}

} // namespace

std::string WebHookMessage(THookShape shape, const THookRun& run) {
    switch (shape) {
    case THookShape::Json:
        return OwnDocument(run);
    case THookShape::Slack:
    case THookShape::Mattermost:
        return "{\"text\":" + rtl::JsonString(ChatText(run)) + "}";
    case THookShape::Teams:
        return TeamsCard(run);
    }
    return OwnDocument(run);
}

TSendStatus ClassifyHookReply(int curlCode, long httpCode) noexcept {
    if (httpCode != 0) {
        if (httpCode >= 200 && httpCode < 300) {
            return TSendStatus::Sent;
        }
        return httpCode == 408 || httpCode == 429 || httpCode >= 500 ? TSendStatus::Transient
                                                                     : TSendStatus::Permanent;
    }
    // No answer came: the connection's faults count as they do for mail.
    return ClassifyFailure(curlCode, 0);
}

TSendResult PostWebHook(const std::string& url, const std::string& body,
                        const std::atomic<bool>* cancel, long timeoutSeconds) {
    InitialiseCurl();
    TSendResult result;
    const std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> easy(curl_easy_init(),
                                                                   &curl_easy_cleanup);
    curl_slist* headers = curl_slist_append(nullptr, "Content-Type: application/json");
    if (!easy || headers == nullptr) {
        curl_slist_free_all(headers);
        return {TSendStatus::Transient, 0, "Cannot start the web hook's request: out of memory"};
    }
    std::string reply;
    CURL* handle = easy.get();
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(handle, CURLOPT_POSTFIELDS, body.c_str());
    curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, 30L);
    curl_easy_setopt(handle, CURLOPT_TIMEOUT, timeoutSeconds);
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &KeepReply);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &reply);
    if (cancel != nullptr) {
        curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, &CheckCancel);
        curl_easy_setopt(handle, CURLOPT_XFERINFODATA, const_cast<std::atomic<bool>*>(cancel));
        curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
    }
    const CURLcode code = curl_easy_perform(handle);
    curl_slist_free_all(headers);
    long status = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    result.ReplyCode = static_cast<int>(status);
    result.Status = ClassifyHookReply(code, code == CURLE_OK ? status : 0);
    if (result.Status == TSendStatus::Sent) {
        return result;
    }
    // The URL stays out of the reason: a hook's address is often its only secret.
    if (code != CURLE_OK) {
        result.Reason = std::string("The web hook cannot be reached: ") + curl_easy_strerror(code);
    } else {
        const std::size_t end = reply.find_first_of("\r\n");
        result.Reason = "The web hook answered " + std::to_string(status) +
                        (reply.empty() ? "" : ": " + reply.substr(0, end));
    }
    return result;
}

} // namespace host
