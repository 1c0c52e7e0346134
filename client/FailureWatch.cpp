#include "client/FailureWatch.h"

namespace morvid {

bool TFailureWatch::Record(const std::string& taskKey, bool failed,
                           const std::function<bool()>& failedBefore) {
    const bool wasFailing =
        FSeen.insert(taskKey).second ? failedBefore && failedBefore() : FFailing.count(taskKey) > 0;
    if (failed) {
        FFailing.insert(taskKey);
    } else {
        FFailing.erase(taskKey);
    }
    return failed && !wasFailing;
}

} // namespace morvid
