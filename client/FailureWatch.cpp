#include "client/FailureWatch.h"

namespace morvid {

bool TFailureWatch::Record(const std::string& taskKey, bool failed) {
    if (!failed) {
        FFailing.erase(taskKey);
        return false;
    }
    return FFailing.insert(taskKey).second;
}

} // namespace morvid
